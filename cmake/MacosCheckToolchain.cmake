# The macOS build cross-compiled on Linux by `./run.sh macos-check`: Debian's clang-14 for
# arm64-apple-macos11, libc++ headers from libc++-14-dev, Apple's SDK headers from the sysroot in
# TOVRASAT_MACOS_SYSROOT (an environment variable, so the compiler checks see it too). Only object
# files are made: there are no Apple libraries here to link against.
set(CMAKE_SYSTEM_NAME Darwin)
set(CMAKE_SYSTEM_PROCESSOR arm64)
set(CMAKE_SYSTEM_VERSION 20.0)
set(CMAKE_OSX_SYSROOT $ENV{TOVRASAT_MACOS_SYSROOT})
set(CMAKE_OSX_ARCHITECTURES arm64)
set(CMAKE_OSX_DEPLOYMENT_TARGET 11.0)

set(CMAKE_C_COMPILER /usr/bin/clang-14)
set(CMAKE_CXX_COMPILER /usr/bin/clang++-14)
set(CMAKE_OBJCXX_COMPILER /usr/bin/clang++-14)
set(CMAKE_C_COMPILER_TARGET arm64-apple-macos11)
set(CMAKE_CXX_COMPILER_TARGET arm64-apple-macos11)
set(CMAKE_OBJCXX_COMPILER_TARGET arm64-apple-macos11)
set(CMAKE_AR /usr/bin/llvm-ar-14 CACHE FILEPATH "")
set(CMAKE_RANLIB /usr/bin/llvm-ranlib-14 CACHE FILEPATH "")
set(CMAKE_INSTALL_NAME_TOOL true CACHE FILEPATH "")
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

set(libcxx "-nostdinc++ -isystem /usr/lib/llvm-14/include/c++/v1")
set(CMAKE_CXX_FLAGS_INIT "${libcxx}")
set(CMAKE_OBJCXX_FLAGS_INIT "${libcxx}")

set(CMAKE_FIND_ROOT_PATH $ENV{TOVRASAT_MACOS_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
