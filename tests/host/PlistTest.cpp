// PlistTest.cpp: XML property lists read into CoreFoundation values and written back.
#include "host/Plist.h"

#include <gtest/gtest.h>

namespace {

using host::CFRef;
using host::Plist;

const char* kDocument = R"(<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
  <key>name</key><string>Caf&#xE9; &amp; bar</string>
  <key>version</key><integer>65536</integer>
  <key>negative</key><integer>-7</integer>
  <key>gain</key><real>0.5</real>
  <key>on</key><true/>
  <key>off</key><false/>
  <key>data</key><data>
    AAEC/w==
  </data>
  <key>list</key><array><string>a</string><integer>2</integer><dict/></array>
</dict>
</plist>)";

const void* Get(CFPropertyListRef dict, const char* key) {
  CFRef<CFStringRef> k(CFStringCreateWithCString(nullptr, key, kCFStringEncodingUTF8));
  return CFDictionaryGetValue(static_cast<CFDictionaryRef>(dict), k.Get());
}

TEST(Plist, ReadsEveryValueKindAndWritesWhatItReads) {
  std::string error;
  CFRef<CFPropertyListRef> plist = Plist::Parse(kDocument, error);
  ASSERT_TRUE(plist) << error;
  ASSERT_EQ(CFGetTypeID(plist.Get()), CFDictionaryGetTypeID());
  EXPECT_EQ(CFDictionaryGetCount(static_cast<CFDictionaryRef>(plist.Get())), 8);

  CFRef<CFStringRef> name(
      CFStringCreateWithCString(nullptr, "Caf\xC3\xA9 & bar", kCFStringEncodingUTF8));
  EXPECT_TRUE(CFEqual(Get(plist.Get(), "name"), name.Get()));
  SInt32 version = 0;
  EXPECT_TRUE(CFNumberGetValue(static_cast<CFNumberRef>(Get(plist.Get(), "version")),
                               kCFNumberSInt32Type, &version));
  EXPECT_EQ(version, 65536);
  double gain = 0;
  CFNumberGetValue(static_cast<CFNumberRef>(Get(plist.Get(), "gain")), kCFNumberFloat64Type, &gain);
  EXPECT_EQ(gain, 0.5);
  EXPECT_EQ(Get(plist.Get(), "on"), kCFBooleanTrue);
  EXPECT_EQ(Get(plist.Get(), "off"), kCFBooleanFalse);
  auto data = static_cast<CFDataRef>(Get(plist.Get(), "data"));
  ASSERT_EQ(CFDataGetLength(data), 4);
  EXPECT_EQ(CFDataGetBytePtr(data)[3], 0xFF);
  EXPECT_EQ(CFArrayGetCount(static_cast<CFArrayRef>(Get(plist.Get(), "list"))), 3);

  std::string xml;
  ASSERT_TRUE(Plist::Write(plist.Get(), xml, error)) << error;
  EXPECT_NE(xml.find("<!DOCTYPE plist PUBLIC"), std::string::npos);
  EXPECT_NE(xml.find("<data>AAEC/w==</data>"), std::string::npos);
  CFRef<CFPropertyListRef> again = Plist::Parse(xml, error);
  ASSERT_TRUE(again) << error;
  EXPECT_TRUE(CFEqual(plist.Get(), again.Get()));
}

// Texts the host writes (preset names, exported states) read back exactly: a carriage return went
// out raw and came back as a line feed, as XML readers turn it into one, and a text of only blanks
// came back empty.
TEST(Plist, WrittenTextsReadBackExactly) {
  const std::string texts[] = {
      "a\rb", "a\r\nb", "line\nfeed\ttab", "<&>\"'", "\x01\x1f end", "  padded  ", " ", "\t\n"};
  for (const std::string& text : texts) {
    CFRef<CFStringRef> value(
        CFStringCreateWithCString(nullptr, text.c_str(), kCFStringEncodingUTF8));
    CFRef<CFMutableDictionaryRef> dict(CFDictionaryCreateMutable(
        nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
    CFDictionarySetValue(dict.Get(), value.Get(), value.Get());  // as key and as string
    std::string xml, error;
    ASSERT_TRUE(Plist::Write(dict.Get(), xml, error)) << error;
    CFRef<CFPropertyListRef> again = Plist::Parse(xml, error);
    ASSERT_TRUE(again) << error;
    EXPECT_TRUE(CFEqual(dict.Get(), again.Get())) << xml;
  }
}

TEST(Plist, MalformedInputIsAnErrorWithAReason) {
  struct Case {
    const char* xml;
    const char* reason;
  };
  const Case cases[] = {
      {"<plist><dict><key>a</key>", "bad XML"},
      {"<dict/>", "no <plist>"},
      {"<plist version=\"1.0\"></plist>", "empty"},
      {"<plist><dict><key>a</key></dict></plist>", "has no value"},
      {"<plist><dict><string>x</string></dict></plist>", "without <key>"},
      {"<plist><integer>12x</integer></plist>", "bad integer"},
      {"<plist><integer>99999999999999999999</integer></plist>", "bad integer"},
      {"<plist><real>fast</real></plist>", "bad real"},
      {"<plist><data>@@@@</data></plist>", "bad base64"},
      {"<plist><date-time/></plist>", "unknown"},
      {"<plist><string>\xC3</string></plist>", "UTF-8"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(Plist::Parse(c.xml, error)) << c.xml;
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.xml << " -> " << error;
  }
  std::string error;
  EXPECT_FALSE(Plist::ReadFile("/nonexistent/Info.plist", error));
  EXPECT_NE(error.find("cannot read"), std::string::npos);
}

TEST(Plist, WritingRefusesWhatAPropertyListCannotHold) {
  std::string xml, error;
  EXPECT_FALSE(Plist::Write(nullptr, xml, error));
  const SInt32 one = 1;
  CFRef<CFNumberRef> key(CFNumberCreate(nullptr, kCFNumberSInt32Type, &one));
  CFRef<CFMutableDictionaryRef> dict(CFDictionaryCreateMutable(
      nullptr, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
  CFDictionarySetValue(dict.Get(), key.Get(), key.Get());
  EXPECT_FALSE(Plist::Write(dict.Get(), xml, error));
  EXPECT_NE(error.find("not a string"), std::string::npos);
  CFRef<CFURLRef> url(
      CFURLCreateWithFileSystemPath(nullptr, CFSTR("/tmp"), kCFURLPOSIXPathStyle, true));
  EXPECT_FALSE(Plist::Write(url.Get(), xml, error));
}

}  // namespace
