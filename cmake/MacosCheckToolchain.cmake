# The macOS build cross-compiled and linked on Linux by `./run.sh macos-check`: Debian's clang-14
# for <arch>-apple-macos11 (arch from TOVRASAT_MACOS_ARCH, arm64 when unset), libc++ headers from
# libc++-14-dev, Apple's SDK headers and .tbd link stubs from the sysroot in TOVRASAT_MACOS_SYSROOT
# (environment variables, so the compiler checks see them too). LLVM's Mach-O linker links against
# the stubs; the C and C++ libraries have none there, so what they define is left to dyld's flat
# lookup, and the bundle check then proves that nothing else was left to it.
set(CMAKE_SYSTEM_NAME Darwin)
set(CMAKE_SYSTEM_VERSION 20.0)
set(arch $ENV{TOVRASAT_MACOS_ARCH})
if(NOT arch)
  set(arch arm64)
endif()
set(CMAKE_SYSTEM_PROCESSOR ${arch})
set(CMAKE_OSX_SYSROOT $ENV{TOVRASAT_MACOS_SYSROOT})
set(CMAKE_OSX_ARCHITECTURES ${arch})
set(CMAKE_OSX_DEPLOYMENT_TARGET 11.0)

set(CMAKE_C_COMPILER /usr/bin/clang-14)
set(CMAKE_CXX_COMPILER /usr/bin/clang++-14)
set(CMAKE_OBJCXX_COMPILER /usr/bin/clang++-14)
set(CMAKE_C_COMPILER_TARGET ${arch}-apple-macos11)
set(CMAKE_CXX_COMPILER_TARGET ${arch}-apple-macos11)
set(CMAKE_OBJCXX_COMPILER_TARGET ${arch}-apple-macos11)
set(CMAKE_AR /usr/bin/llvm-ar-14 CACHE FILEPATH "")
set(CMAKE_RANLIB /usr/bin/llvm-ranlib-14 CACHE FILEPATH "")
set(CMAKE_INSTALL_NAME_TOOL true CACHE FILEPATH "")
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
# codesign exists only on a Mac; the check links and inspects an unsigned bundle.
set(TOVRASAT_CODESIGN "" CACHE STRING "")

set(libcxx "-nostdinc++ -isystem /usr/lib/llvm-14/include/c++/v1")
set(CMAKE_CXX_FLAGS_INIT "${libcxx}")
set(CMAKE_OBJCXX_FLAGS_INIT "${libcxx}")

# clang-14 gives ld64 older than version 520 the -macosx_version_min flag, which ld64.lld refuses;
# naming a newer linker version makes it pass -platform_version. -nostdlib drops -lSystem and -lc++.
# The C++ flags reach the link line too, where -nostdinc++ means nothing.
set(link "--ld-path=/usr/bin/ld64.lld-14 -mlinker-version=609 -nostdlib -Wl,-undefined,dynamic_lookup")
string(APPEND link " -Wno-unused-command-line-argument")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "${link}")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "${link}")
set(CMAKE_EXE_LINKER_FLAGS_INIT "${link}")

set(CMAKE_FIND_ROOT_PATH $ENV{TOVRASAT_MACOS_SYSROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE BOTH)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
