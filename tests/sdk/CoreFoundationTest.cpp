// CoreFoundationTest.cpp: reference counts, strings, formatting, numbers, data and allocators of
// the stand-in.
#include <CoreFoundation/CoreFoundation.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

std::string Text(CFStringRef s) {
  char buffer[512];
  return CFStringGetCString(s, buffer, sizeof buffer, kCFStringEncodingUTF8) ? buffer : "<none>";
}

CFStringRef Str(const char* text) {
  return CFStringCreateWithCString(nullptr, text, kCFStringEncodingUTF8);
}

TEST(CFRefCount, RetainAndReleaseMoveTheCountAndCollectionsReleaseWhatTheyHold) {
  CFStringRef s = Str("value");
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(CFGetRetainCount(s), 1);
  EXPECT_EQ(CFRetain(s), s);
  EXPECT_EQ(CFGetRetainCount(s), 2);
  CFRelease(s);
  EXPECT_EQ(CFGetRetainCount(s), 1);

  CFMutableArrayRef array = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  CFArrayAppendValue(array, s);
  CFArrayAppendValue(array, s);
  EXPECT_EQ(CFGetRetainCount(s), 3);
  CFRelease(array);  // count 1 -> freed, releasing both entries
  EXPECT_EQ(CFGetRetainCount(s), 1);
  CFRelease(s);  // freed here; LeakSanitizer checks nothing is left
}

TEST(CFRefCount, NullIsToleratedAndConstantsAreImmortal) {
  EXPECT_EQ(CFRetain(nullptr), nullptr);
  CFRelease(nullptr);
  EXPECT_EQ(CFGetRetainCount(nullptr), 0);
  EXPECT_EQ(CFGetTypeID(nullptr), 0u);
  EXPECT_TRUE(CFEqual(nullptr, nullptr));
  EXPECT_FALSE(CFEqual(CFSTR("a"), nullptr));

  CFStringRef k = CFSTR("constant");
  const CFIndex before = CFGetRetainCount(k);
  CFRelease(k);
  CFRelease(k);
  CFRetain(k);
  EXPECT_EQ(CFGetRetainCount(k), before);
  EXPECT_EQ(Text(k), "constant");
  EXPECT_EQ(CFGetTypeID(k), CFStringGetTypeID());
  EXPECT_EQ(CFStringGetLength(k), 8);

  CFStringRef made = Str("constant");
  EXPECT_TRUE(CFEqual(k, made));
  EXPECT_EQ(CFHash(k), CFHash(made));
  CFRelease(made);

  EXPECT_EQ(__CFStringMakeConstantString("interned"), __CFStringMakeConstantString("interned"));
  EXPECT_EQ(Text(__CFStringMakeConstantString("interned")), "interned");
}

TEST(CFRefCount, TypeIdsAreDistinctAndCrossTypeEqualityIsFalse) {
  const CFTypeID ids[] = {CFStringGetTypeID(), CFNumberGetTypeID(),     CFDataGetTypeID(),
                          CFArrayGetTypeID(),  CFDictionaryGetTypeID(), CFBooleanGetTypeID(),
                          CFURLGetTypeID(),    CFBundleGetTypeID(),     CFAllocatorGetTypeID(),
                          CFNullGetTypeID(),   CFRunLoopGetTypeID()};
  for (size_t i = 0; i < std::size(ids); ++i)
    for (size_t j = i + 1; j < std::size(ids); ++j) EXPECT_NE(ids[i], ids[j]) << i << " " << j;

  const SInt32 one = 1;
  CFNumberRef n = CFNumberCreate(nullptr, kCFNumberSInt32Type, &one);
  CFStringRef s = Str("1");
  EXPECT_EQ(CFGetTypeID(n), CFNumberGetTypeID());
  EXPECT_FALSE(CFEqual(n, s));
  EXPECT_FALSE(CFEqual(kCFBooleanTrue, kCFBooleanFalse));
  EXPECT_TRUE(CFBooleanGetValue(kCFBooleanTrue));
  EXPECT_FALSE(CFBooleanGetValue(kCFBooleanFalse));
  CFRelease(n);
  CFRelease(s);
}

TEST(CFString, CreationAndConversionFollowTheEncoding) {
  struct Case {
    const char* bytes;
    CFStringEncoding encoding;
    bool creates;
    CFIndex utf16Length;
    const char* utf8;
  };
  const Case cases[] = {
      {"", kCFStringEncodingUTF8, true, 0, ""},
      {"Default", kCFStringEncodingUTF8, true, 7, "Default"},
      {"caf\xC3\xA9", kCFStringEncodingUTF8, true, 4, "caf\xC3\xA9"},
      {"\xF0\x9F\x8E\xB8", kCFStringEncodingUTF8, true, 2,
       "\xF0\x9F\x8E\xB8"},                                        // one code point, two units
      {"bad \xC3", kCFStringEncodingUTF8, false, 0, nullptr},      // truncated sequence
      {"\xC0\xAF", kCFStringEncodingUTF8, false, 0, nullptr},      // overlong
      {"\xED\xA0\x80", kCFStringEncodingUTF8, false, 0, nullptr},  // surrogate
      {"plain", kCFStringEncodingASCII, true, 5, "plain"},
      {"caf\xE9", kCFStringEncodingASCII, false, 0, nullptr},
      {"caf\xE9", kCFStringEncodingISOLatin1, true, 4, "caf\xC3\xA9"},
      {"x", 0x12345678u, false, 0, nullptr},
  };
  for (const Case& c : cases) {
    CFStringRef s = CFStringCreateWithCString(nullptr, c.bytes, c.encoding);
    EXPECT_EQ(s != nullptr, c.creates) << c.bytes;
    if (s == nullptr) continue;
    EXPECT_EQ(CFStringGetLength(s), c.utf16Length) << c.bytes;
    EXPECT_EQ(Text(s), c.utf8);
    CFRelease(s);
  }
  EXPECT_EQ(CFStringCreateWithCString(nullptr, nullptr, kCFStringEncodingUTF8), nullptr);
}

TEST(CFString, GetCStringFailsCleanlyWhenTheTextDoesNotFit) {
  CFStringRef s = Str("caf\xC3\xA9");  // 5 bytes + terminator
  char buffer[8];
  std::memset(buffer, 'x', sizeof buffer);
  EXPECT_FALSE(CFStringGetCString(s, buffer, 5, kCFStringEncodingUTF8));
  EXPECT_EQ(buffer[0], '\0');
  EXPECT_TRUE(CFStringGetCString(s, buffer, 6, kCFStringEncodingUTF8));
  EXPECT_STREQ(buffer, "caf\xC3\xA9");
  EXPECT_FALSE(CFStringGetCString(s, buffer, sizeof buffer, kCFStringEncodingASCII));
  EXPECT_TRUE(CFStringGetCString(s, buffer, sizeof buffer, kCFStringEncodingISOLatin1));
  EXPECT_STREQ(buffer, "caf\xE9");
  EXPECT_FALSE(CFStringGetCString(nullptr, buffer, sizeof buffer, kCFStringEncodingUTF8));
  EXPECT_FALSE(CFStringGetCString(s, nullptr, 0, kCFStringEncodingUTF8));
  EXPECT_EQ(CFStringGetMaximumSizeForEncoding(4, kCFStringEncodingUTF8), 12);
  CFRelease(s);
}

TEST(CFString, CompareCopyAndPrefixes) {
  CFStringRef a = Str("Alpha");
  CFStringRef b = CFStringCreateCopy(nullptr, a);
  EXPECT_NE(a, b);
  EXPECT_TRUE(CFEqual(a, b));
  EXPECT_EQ(CFStringCompare(a, CFSTR("Beta"), 0), kCFCompareLessThan);
  EXPECT_EQ(CFStringCompare(a, CFSTR("ALPHA"), kCFCompareCaseInsensitive), kCFCompareEqualTo);
  EXPECT_EQ(CFStringCompare(a, CFSTR("ALPHA"), 0), kCFCompareGreaterThan);
  EXPECT_TRUE(CFStringHasPrefix(a, CFSTR("Al")));
  EXPECT_TRUE(CFStringHasSuffix(a, CFSTR("pha")));
  EXPECT_FALSE(CFStringHasPrefix(a, CFSTR("pha")));
  EXPECT_EQ(CFStringGetIntValue(CFSTR("-42x")), -42);
  EXPECT_DOUBLE_EQ(CFStringGetDoubleValue(CFSTR("2.5")), 2.5);
  CFRelease(a);
  CFRelease(b);
}

TEST(CFString, FormatHandlesPrintfConversionsAndObjects) {
  const SInt32 seven = 7;
  CFNumberRef n = CFNumberCreate(nullptr, kCFNumberSInt32Type, &seven);
  struct Case {
    CFStringRef made;
    const char* expected;
  };
  const Case cases[] = {
      {CFStringCreateWithFormat(nullptr, nullptr,
                                CFSTR("AUPreset:\npreset number = %d\npreset name = %@"), 3,
                                CFSTR("Default")),
       "AUPreset:\npreset number = 3\npreset name = Default"},
      {CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%s|%5.2f|%-3d|%x|%%|%ld|%lld"), "txt",
                                3.14159, 4, 255, 123456789012L, -5LL),
       "txt| 3.14|4  |ff|%|123456789012|-5"},
      {CFStringCreateWithFormat(nullptr, nullptr, CFSTR("%*d|%.*f"), 4, 9, 1, 2.25), "   9|2.2"},
      {CFStringCreateWithFormat(nullptr, nullptr, CFSTR("[%@] [%@]"), n, nullptr), "[7] [(null)]"},
  };
  for (const Case& c : cases) {
    ASSERT_NE(c.made, nullptr) << c.expected;
    EXPECT_EQ(Text(c.made), c.expected);
    CFRelease(c.made);
  }
  CFRelease(n);
  EXPECT_EQ(CFStringCreateWithFormat(nullptr, nullptr, nullptr), nullptr);
}

TEST(CFNumber, ConversionsReportWhetherTheyWereExact) {
  struct Case {
    const char* what;
    CFNumberType madeAs;
    double value;
    CFNumberType readAs;
    bool exact;
    double read;
  };
  const Case cases[] = {
      {"int fits int8", kCFNumberSInt32Type, 42, kCFNumberSInt8Type, true, 42},
      {"int overflows int8", kCFNumberSInt32Type, 300, kCFNumberSInt8Type, false, 44},
      {"int to double", kCFNumberSInt32Type, -7, kCFNumberFloat64Type, true, -7},
      {"integral double to int", kCFNumberFloat64Type, 2.0, kCFNumberSInt32Type, true, 2},
      {"fraction truncates", kCFNumberFloat64Type, 1.75, kCFNumberSInt32Type, false, 1},
      {"negative fraction truncates", kCFNumberFloat64Type, -1.75, kCFNumberSInt32Type, false, -1},
      {"double to float inexact", kCFNumberFloat64Type, 0.1, kCFNumberFloat32Type, false,
       static_cast<float>(0.1)},
      {"double to float exact", kCFNumberFloat64Type, 0.5, kCFNumberFloat32Type, true, 0.5},
      {"float widens", kCFNumberFloat32Type, 0.25, kCFNumberFloat64Type, true, 0.25},
      {"huge double to int", kCFNumberFloat64Type, 1e20, kCFNumberSInt64Type, false,
       9223372036854775807.0},
  };
  for (const Case& c : cases) {
    CFNumberRef n = nullptr;
    // Only the kind the number is made as is converted: 1e20 has no int.
    if (c.madeAs == kCFNumberSInt32Type) {
      const auto i = static_cast<SInt32>(c.value);
      n = CFNumberCreate(nullptr, c.madeAs, &i);
    } else if (c.madeAs == kCFNumberFloat32Type) {
      const auto f = static_cast<float>(c.value);
      n = CFNumberCreate(nullptr, c.madeAs, &f);
    } else {
      n = CFNumberCreate(nullptr, c.madeAs, &c.value);
    }
    ASSERT_NE(n, nullptr) << c.what;
    double got = 0;
    bool exact = false;
    switch (c.readAs) {
      case kCFNumberSInt8Type: {
        SInt8 v = 0;
        exact = CFNumberGetValue(n, c.readAs, &v);
        got = v;
        break;
      }
      case kCFNumberSInt32Type: {
        SInt32 v = 0;
        exact = CFNumberGetValue(n, c.readAs, &v);
        got = v;
        break;
      }
      case kCFNumberSInt64Type: {
        SInt64 v = 0;
        exact = CFNumberGetValue(n, c.readAs, &v);
        got = static_cast<double>(v);
        break;
      }
      case kCFNumberFloat32Type: {
        Float32 v = 0;
        exact = CFNumberGetValue(n, c.readAs, &v);
        got = v;
        break;
      }
      default: {
        Float64 v = 0;
        exact = CFNumberGetValue(n, c.readAs, &v);
        got = v;
        break;
      }
    }
    EXPECT_EQ(exact, c.exact) << c.what;
    EXPECT_EQ(got, c.read) << c.what;
    CFRelease(n);
  }
}

// 64-bit integers read as floating point: near INT64_MAX the double is 2^63, which no int64_t
// holds (checking exactness by converting back was undefined behaviour, seen by UBSan).
TEST(CFNumber, LargeIntegersAsFloatingPoint) {
  struct Case {
    SInt64 value;
    bool exactAsDouble;
    bool exactAsFloat;
  };
  const Case cases[] = {
      {INT64_MAX, false, false},
      {INT64_MAX - 511, false, false},  // still rounds up to 2^63
      {INT64_MAX - 1023, true, false},  // 2^63 - 1024, a double; a float has 24 bits
      {INT64_MIN, true, true},          // -2^63 is a power of two
      {SInt64{1} << 62, true, true},
      {(SInt64{1} << 53) + 1, false, false},  // the first integer a double cannot hold
  };
  for (const Case& c : cases) {
    CFNumberRef n = CFNumberCreate(nullptr, kCFNumberSInt64Type, &c.value);
    Float64 d = 0;
    Float32 f = 0;
    EXPECT_EQ(CFNumberGetValue(n, kCFNumberFloat64Type, &d), c.exactAsDouble) << c.value;
    EXPECT_EQ(d, static_cast<double>(c.value)) << c.value;
    EXPECT_EQ(CFNumberGetValue(n, kCFNumberFloat32Type, &f), c.exactAsFloat) << c.value;
    EXPECT_EQ(f, static_cast<float>(static_cast<double>(c.value))) << c.value;
    CFRelease(n);
  }
}

TEST(CFNumber, StorageTypesEqualityAndBadInput) {
  const int i = 2;
  const double d = 2.0;
  const char c = 5;
  CFNumberRef ni = CFNumberCreate(nullptr, kCFNumberIntType, &i);
  CFNumberRef nd = CFNumberCreate(nullptr, kCFNumberDoubleType, &d);
  CFNumberRef nc = CFNumberCreate(nullptr, kCFNumberCharType, &c);
  EXPECT_EQ(CFNumberGetType(ni), kCFNumberSInt32Type);
  EXPECT_EQ(CFNumberGetType(nd), kCFNumberFloat64Type);
  EXPECT_EQ(CFNumberGetType(nc), kCFNumberSInt8Type);
  EXPECT_EQ(CFNumberGetByteSize(nc), 1);
  EXPECT_TRUE(CFNumberIsFloatType(nd));
  EXPECT_FALSE(CFNumberIsFloatType(ni));
  EXPECT_TRUE(CFEqual(ni, nd));
  EXPECT_EQ(CFHash(ni), CFHash(nd));
  EXPECT_FALSE(CFEqual(ni, nc));
  EXPECT_EQ(CFNumberCompare(nc, ni, nullptr), kCFCompareGreaterThan);
  EXPECT_EQ(CFNumberCreate(nullptr, kCFNumberIntType, nullptr), nullptr);
  EXPECT_EQ(CFNumberCreate(nullptr, static_cast<CFNumberType>(99), &i), nullptr);
  SInt32 out = 0;
  EXPECT_FALSE(CFNumberGetValue(nullptr, kCFNumberSInt32Type, &out));
  EXPECT_FALSE(CFNumberGetValue(ni, kCFNumberSInt32Type, nullptr));
  CFRelease(ni);
  CFRelease(nd);
  CFRelease(nc);
}

TEST(CFData, BytesAreCopiedAppendedAndReadInRange) {
  const UInt8 bytes[] = {1, 2, 3, 4, 5};
  CFDataRef fixed = CFDataCreate(nullptr, bytes, 5);
  ASSERT_NE(fixed, nullptr);
  EXPECT_NE(CFDataGetBytePtr(fixed), bytes);
  EXPECT_EQ(CFDataGetLength(fixed), 5);
  EXPECT_EQ(std::memcmp(CFDataGetBytePtr(fixed), bytes, 5), 0);

  CFMutableDataRef grow = CFDataCreateMutable(nullptr, 0);
  EXPECT_EQ(CFDataGetBytePtr(grow), nullptr);
  CFDataAppendBytes(grow, bytes, 2);
  CFDataAppendBytes(grow, bytes + 2, 3);
  EXPECT_TRUE(CFEqual(fixed, grow));
  CFDataIncreaseLength(grow, 2);
  EXPECT_EQ(CFDataGetLength(grow), 7);
  EXPECT_EQ(CFDataGetBytePtr(grow)[6], 0);
  CFDataSetLength(grow, 3);
  EXPECT_FALSE(CFEqual(fixed, grow));

  UInt8 out[4] = {9, 9, 9, 9};
  CFDataGetBytes(fixed, CFRangeMake(3, 10), out);  // clipped to the two bytes that exist
  EXPECT_EQ(out[0], 4);
  EXPECT_EQ(out[1], 5);
  EXPECT_EQ(out[2], 9);

  // An immutable data object ignores mutation; a made copy is equal and independent.
  CFDataAppendBytes(const_cast<CFMutableDataRef>(fixed), bytes, 1);
  EXPECT_EQ(CFDataGetLength(fixed), 5);
  CFMutableDataRef copy = CFDataCreateMutableCopy(nullptr, 0, fixed);
  CFDataAppendBytes(copy, bytes, 1);
  EXPECT_EQ(CFDataGetLength(copy), 6);
  EXPECT_EQ(CFDataCreate(nullptr, nullptr, 3), nullptr);
  EXPECT_EQ(CFDataCreate(nullptr, bytes, -1), nullptr);
  CFRelease(fixed);
  CFRelease(grow);
  CFRelease(copy);
}

struct AllocatorLog {
  int allocations = 0;
  int deallocations = 0;
  int retains = 0;
  int releases = 0;
};

TEST(CFAllocator, CustomAllocatorsAreCalledAndReleaseTheirInfo) {
  AllocatorLog log;
  CFAllocatorContext context{};
  context.info = &log;
  context.retain = [](const void* info) -> const void* {
    static_cast<AllocatorLog*>(const_cast<void*>(info))->retains++;
    return info;
  };
  context.release = [](const void* info) {
    static_cast<AllocatorLog*>(const_cast<void*>(info))->releases++;
  };
  context.allocate = [](CFIndex size, CFOptionFlags, void* info) -> void* {
    static_cast<AllocatorLog*>(info)->allocations++;
    return std::malloc(static_cast<size_t>(size));
  };
  context.deallocate = [](void* ptr, void* info) {
    static_cast<AllocatorLog*>(info)->deallocations++;
    std::free(ptr);
  };
  CFAllocatorRef allocator = CFAllocatorCreate(nullptr, &context);
  ASSERT_NE(allocator, nullptr);
  EXPECT_EQ(log.retains, 1);
  void* p = CFAllocatorAllocate(allocator, 40, 0);
  ASSERT_NE(p, nullptr);
  CFAllocatorDeallocate(allocator, p);
  EXPECT_EQ(log.allocations, 1);
  EXPECT_EQ(log.deallocations, 1);

  // Collections keep their allocator alive while they need it for their call-backs.
  CFMutableArrayRef array = CFArrayCreateMutable(allocator, 0, &kCFTypeArrayCallBacks);
  CFRelease(allocator);
  EXPECT_EQ(log.releases, 0);
  CFRelease(array);
  EXPECT_EQ(log.releases, 1);

  EXPECT_EQ(CFAllocatorAllocate(kCFAllocatorNull, 16, 0), nullptr);
  void* q = CFAllocatorAllocate(kCFAllocatorDefault, 16, 0);
  EXPECT_NE(q, nullptr);
  CFAllocatorDeallocate(nullptr, q);
  EXPECT_EQ(CFAllocatorCreate(nullptr, nullptr), nullptr);
}

}  // namespace
