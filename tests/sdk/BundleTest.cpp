// BundleTest.cpp: the host's main bundle, registered bundles and file URLs.
#include <CoreFoundation/CoreFoundation.h>
#include <TovraSdk/HostBundle.h>

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

std::string Text(CFStringRef s) {
  char buffer[1024];
  return s != nullptr && CFStringGetCString(s, buffer, sizeof buffer, kCFStringEncodingUTF8)
             ? buffer
             : "<none>";
}

std::string PathOf(CFURLRef url) {
  UInt8 buffer[1024];
  return CFURLGetFileSystemRepresentation(url, true, buffer, sizeof buffer)
             ? reinterpret_cast<char*>(buffer)
             : "<none>";
}

TEST(HostBundle, MainBundleReportsWhatTheHostSet) {
  CFBundleRef main = CFBundleGetMainBundle();
  ASSERT_NE(main, nullptr);
  TovraSdkSetMainBundle("com.example.daw", "12.3.4", "/Applications/DAW.app");
  CFStringRef id = CFBundleGetIdentifier(main);
  EXPECT_EQ(Text(id), "com.example.daw");
  EXPECT_EQ(Text(static_cast<CFStringRef>(
                CFBundleGetValueForInfoDictionaryKey(main, kCFBundleVersionKey))),
            "12.3.4");
  EXPECT_EQ(Text(static_cast<CFStringRef>(
                CFBundleGetValueForInfoDictionaryKey(main, kCFBundleIdentifierKey))),
            "com.example.daw");
  CFURLRef url = CFBundleCopyBundleURL(main);
  EXPECT_EQ(PathOf(url), "/Applications/DAW.app");
  CFRelease(url);

  // Changing it later leaves earlier Get-rule results readable.
  TovraSdkSetMainBundle(nullptr, nullptr, nullptr);
  EXPECT_EQ(Text(id), "com.example.daw");
  EXPECT_EQ(CFBundleGetIdentifier(main), nullptr);
  EXPECT_EQ(CFBundleGetValueForInfoDictionaryKey(main, kCFBundleVersionKey), nullptr);
  EXPECT_EQ(CFBundleCopyBundleURL(main), nullptr);
  EXPECT_EQ(CFGetRetainCount(main), LONG_MAX);
}

TEST(HostBundle, RegisteredBundlesAreFoundByIdentifierWithTheirResources) {
  const std::filesystem::path root =
      std::filesystem::temp_directory_path() /
      ("tovrasdk_bundle_test_" + std::to_string(::getpid()) + ".component");
  std::filesystem::create_directories(root / "Contents/Resources/img");
  std::ofstream(root / "Contents/Resources/img/plate.png") << "png";

  EXPECT_FALSE(TovraSdkRegisterBundle(nullptr, "/x", nullptr));
  EXPECT_FALSE(TovraSdkRegisterBundle("", "/x", nullptr));
  EXPECT_EQ(CFBundleGetBundleWithIdentifier(CFSTR("com.example.unknown")), nullptr);
  ASSERT_TRUE(TovraSdkRegisterBundle("com.example.plug", root.c_str(), "1.0.0"));
  CFBundleRef bundle = CFBundleGetBundleWithIdentifier(CFSTR("com.example.plug"));
  ASSERT_NE(bundle, nullptr);
  EXPECT_NE(bundle, CFBundleGetMainBundle());
  EXPECT_EQ(Text(CFBundleGetIdentifier(bundle)), "com.example.plug");

  CFURLRef url = CFBundleCopyBundleURL(bundle);
  EXPECT_EQ(PathOf(url), root.string());
  EXPECT_TRUE(CFURLHasDirectoryPath(url));
  EXPECT_EQ(Text(CFURLGetString(url)), "file://" + root.string() + "/");
  CFRelease(url);

  CFURLRef found = CFBundleCopyResourceURL(bundle, CFSTR("plate"), CFSTR("png"), CFSTR("img"));
  EXPECT_EQ(PathOf(found), (root / "Contents/Resources/img/plate.png").string());
  CFRelease(found);
  EXPECT_EQ(CFBundleCopyResourceURL(bundle, CFSTR("missing"), CFSTR("png"), CFSTR("img")), nullptr);

  ASSERT_TRUE(TovraSdkRegisterBundle("com.example.plug", "/elsewhere", nullptr));
  EXPECT_EQ(CFBundleGetBundleWithIdentifier(CFSTR("com.example.plug")),
            bundle);  // same object, new path
  url = CFBundleCopyBundleURL(bundle);
  EXPECT_EQ(PathOf(url), "/elsewhere");
  CFRelease(url);
  std::filesystem::remove_all(root);
}

TEST(CFURL, PathsRoundTripAndBadInputGivesNull) {
  CFURLRef url =
      CFURLCreateWithFileSystemPath(nullptr, CFSTR("/tmp/a/"), kCFURLPOSIXPathStyle, false);
  CFStringRef path = CFURLCopyFileSystemPath(url, kCFURLPOSIXPathStyle);
  EXPECT_EQ(Text(path), "/tmp/a");
  EXPECT_EQ(Text(CFURLGetString(url)), "file:///tmp/a");
  CFURLRef same = CFURLCreateFromFileSystemRepresentation(
      nullptr, reinterpret_cast<const UInt8*>("/tmp/a"), 6, false);
  EXPECT_TRUE(CFEqual(url, same));
  UInt8 tiny[4];
  EXPECT_FALSE(CFURLGetFileSystemRepresentation(url, true, tiny, sizeof tiny));
  EXPECT_EQ(CFURLCreateWithFileSystemPath(nullptr, CFSTR("C:\\x"), kCFURLWindowsPathStyle, false),
            nullptr);
  EXPECT_EQ(CFURLCreateWithFileSystemPath(nullptr, nullptr, kCFURLPOSIXPathStyle, false), nullptr);
  CFRelease(path);
  CFRelease(url);
  CFRelease(same);
}

}  // namespace
