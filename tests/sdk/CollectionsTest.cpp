// CollectionsTest.cpp: CFArray and CFDictionary call their call-back records as Apple's do.
#include <CoreFoundation/CoreFoundation.h>

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

// Values are small integers cast to pointers; the log counts what each call-back saw.
struct Log {
  std::map<intptr_t, int> retained;
  std::map<intptr_t, int> released;
  int equals = 0;
  int hashes = 0;
  int descriptions = 0;
  CFAllocatorRef lastAllocator = reinterpret_cast<CFAllocatorRef>(1);
};
Log gLog;

const void* Retain(CFAllocatorRef allocator, const void* v) {
  gLog.lastAllocator = allocator;
  gLog.retained[reinterpret_cast<intptr_t>(v)]++;
  return v;
}
void Release(CFAllocatorRef allocator, const void* v) {
  gLog.lastAllocator = allocator;
  gLog.released[reinterpret_cast<intptr_t>(v)]++;
}
Boolean Equal(const void* a, const void* b) {
  gLog.equals++;
  // Equal modulo 100, so that equality is visibly the call-back's and not the address.
  return reinterpret_cast<intptr_t>(a) % 100 == reinterpret_cast<intptr_t>(b) % 100;
}
CFHashCode Hash(const void* v) {
  gLog.hashes++;
  return static_cast<CFHashCode>(reinterpret_cast<intptr_t>(v) % 100);
}
CFStringRef Describe(const void* v) {
  gLog.descriptions++;
  return CFStringCreateWithFormat(nullptr, nullptr, CFSTR("#%ld"),
                                  static_cast<long>(reinterpret_cast<intptr_t>(v)));
}

const void* P(intptr_t i) {
  return reinterpret_cast<const void*>(i);
}

std::string Text(CFStringRef s) {
  char buffer[256];
  return CFStringGetCString(s, buffer, sizeof buffer, kCFStringEncodingUTF8) ? buffer : "<none>";
}

class Collections : public ::testing::Test {
 protected:
  void SetUp() override { gLog = Log{}; }
  const CFArrayCallBacks arrayCallBacks{0, Retain, Release, Describe, Equal};
  const CFDictionaryKeyCallBacks keyCallBacks{0, Retain, Release, Describe, Equal, Hash};
  const CFDictionaryValueCallBacks valueCallBacks{0, Retain, Release, Describe, Equal};
};

TEST_F(Collections, ArrayRetainsOnEntryReleasesOnExitAndComparesThroughEqual) {
  CFMutableArrayRef a = CFArrayCreateMutable(kCFAllocatorSystemDefault, 0, &arrayCallBacks);
  CFArrayAppendValue(a, P(1));
  CFArrayAppendValue(a, P(2));
  CFArrayInsertValueAtIndex(a, 0, P(3));
  EXPECT_EQ(gLog.lastAllocator, kCFAllocatorSystemDefault);
  EXPECT_EQ(CFArrayGetCount(a), 3);
  EXPECT_EQ(CFArrayGetValueAtIndex(a, 0), P(3));
  EXPECT_EQ(CFArrayGetValueAtIndex(a, 3), nullptr);
  EXPECT_EQ(CFArrayGetValueAtIndex(a, -1), nullptr);

  CFArraySetValueAtIndex(a, 0, P(4));  // retains 4, releases 3
  EXPECT_EQ(gLog.retained[4], 1);
  EXPECT_EQ(gLog.released[3], 1);
  CFArrayRemoveValueAtIndex(a, 1);  // releases 1
  EXPECT_EQ(gLog.released[1], 1);

  EXPECT_EQ(CFArrayGetFirstIndexOfValue(a, CFRangeMake(0, CFArrayGetCount(a)), P(102)),
            1);  // 102 ~ 2
  EXPECT_GT(gLog.equals, 0);

  CFArrayRef copy = CFArrayCreateCopy(nullptr, a);  // copies the record: retains each again
  EXPECT_EQ(gLog.retained[2], 2);
  EXPECT_TRUE(CFEqual(a, copy));

  CFStringRef d = CFCopyDescription(a);
  EXPECT_EQ(gLog.descriptions, 2);
  EXPECT_NE(Text(d).find("#4"), std::string::npos);
  CFRelease(d);

  CFArrayRemoveAllValues(a);
  EXPECT_EQ(gLog.released[4], 1);
  EXPECT_EQ(gLog.released[2], 1);
  CFRelease(a);
  CFRelease(copy);
  EXPECT_EQ(gLog.released[4], 2);
  EXPECT_EQ(gLog.released[2], 2);
  for (const auto& [value, n] : gLog.retained) EXPECT_EQ(gLog.released[value], n) << value;
}

TEST_F(Collections, ArrayWithoutCallBacksHoldsPlainPointersAndImmutableArraysStayPut) {
  const void* values[] = {P(1), P(2)};
  CFArrayRef plain = CFArrayCreate(nullptr, values, 2, nullptr);
  EXPECT_TRUE(gLog.retained.empty());
  EXPECT_EQ(CFArrayGetFirstIndexOfValue(plain, CFRangeMake(0, 2), P(102)), kCFNotFound);
  CFArrayAppendValue(const_cast<CFMutableArrayRef>(plain), P(3));
  EXPECT_EQ(CFArrayGetCount(plain), 2);
  CFRelease(plain);
  EXPECT_TRUE(gLog.released.empty());
}

TEST_F(Collections, TypeArrayCallBacksRetainCFObjectsAndSettingTheSameValueKeepsIt) {
  CFStringRef s = CFStringCreateWithCString(nullptr, "kept", kCFStringEncodingUTF8);
  CFMutableArrayRef a = CFArrayCreateMutable(nullptr, 0, &kCFTypeArrayCallBacks);
  CFArrayAppendValue(a, s);
  CFRelease(s);  // the array holds the only reference now
  CFArraySetValueAtIndex(a, 0, s);
  EXPECT_EQ(CFGetRetainCount(s), 1);
  EXPECT_EQ(Text(static_cast<CFStringRef>(CFArrayGetValueAtIndex(a, 0))), "kept");
  CFRelease(a);
}

TEST_F(Collections, DictionaryKeysAndValuesGoThroughTheirRecords) {
  CFMutableDictionaryRef d = CFDictionaryCreateMutable(nullptr, 0, &keyCallBacks, &valueCallBacks);
  CFDictionarySetValue(d, P(1), P(10));
  CFDictionarySetValue(d, P(2), P(20));
  EXPECT_EQ(CFDictionaryGetCount(d), 2);
  EXPECT_EQ(gLog.retained[1], 1);
  EXPECT_EQ(gLog.retained[10], 1);
  EXPECT_GT(gLog.hashes, 0);

  // Key 101 equals key 1 through the call-backs: found, and SetValue replaces the value only.
  EXPECT_EQ(CFDictionaryGetValue(d, P(101)), P(10));
  CFDictionarySetValue(d, P(101), P(11));
  EXPECT_EQ(CFDictionaryGetCount(d), 2);
  EXPECT_EQ(gLog.retained[101], 0);
  EXPECT_EQ(gLog.retained[11], 1);
  EXPECT_EQ(gLog.released[10], 1);

  CFDictionaryAddValue(d, P(2), P(21));  // key exists: nothing
  EXPECT_EQ(CFDictionaryGetValue(d, P(2)), P(20));
  CFDictionaryReplaceValue(d, P(3), P(30));  // key absent: nothing
  EXPECT_FALSE(CFDictionaryContainsKey(d, P(3)));
  const void* value = nullptr;
  EXPECT_FALSE(CFDictionaryGetValueIfPresent(d, P(3), &value));
  EXPECT_TRUE(CFDictionaryGetValueIfPresent(d, P(2), &value));
  EXPECT_EQ(value, P(20));

  CFDictionaryRemoveValue(d, P(2));
  EXPECT_EQ(gLog.released[2], 1);
  EXPECT_EQ(gLog.released[20], 1);
  CFRelease(d);
  for (const auto& [v, n] : gLog.retained) EXPECT_EQ(gLog.released[v], n) << v;
}

TEST_F(Collections, TypeDictionaryCallBacksAndEquality) {
  CFMutableDictionaryRef a = CFDictionaryCreateMutable(nullptr, 0, &kCFTypeDictionaryKeyCallBacks,
                                                       &kCFTypeDictionaryValueCallBacks);
  CFMutableDictionaryRef b = CFDictionaryCreateMutable(
      nullptr, 0, &kCFCopyStringDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
  CFStringRef key = CFStringCreateWithCString(nullptr, "name", kCFStringEncodingUTF8);
  const SInt32 v = 65536;
  CFNumberRef number = CFNumberCreate(nullptr, kCFNumberSInt32Type, &v);
  CFDictionarySetValue(a, key, number);
  CFDictionarySetValue(a, CFSTR("version"), CFSTR("1"));
  EXPECT_EQ(CFGetRetainCount(key), 2);
  EXPECT_EQ(CFGetRetainCount(number), 2);
  CFDictionarySetValue(b, CFSTR("version"), CFSTR("1"));
  CFDictionarySetValue(b, key, number);
  EXPECT_EQ(CFGetRetainCount(key), 2);  // b copied the key instead of retaining it
  EXPECT_TRUE(CFEqual(a, b));           // insertion order does not matter
  EXPECT_EQ(CFDictionaryGetValue(b, CFSTR("name")), number);

  CFDictionarySetValue(b, CFSTR("version"), CFSTR("2"));
  EXPECT_FALSE(CFEqual(a, b));

  const void* keys[2];
  const void* values[2];
  CFDictionaryGetKeysAndValues(a, keys, values);
  EXPECT_EQ(keys[0], key);
  EXPECT_EQ(values[0], number);

  CFDictionaryRef frozen = CFDictionaryCreateCopy(nullptr, a);
  CFDictionaryRemoveValue(const_cast<CFMutableDictionaryRef>(frozen), key);  // immutable: ignored
  EXPECT_EQ(CFDictionaryGetCount(frozen), 2);
  EXPECT_TRUE(CFEqual(frozen, a));

  CFDictionaryRemoveAllValues(a);
  EXPECT_EQ(CFDictionaryGetCount(a), 0);
  EXPECT_EQ(CFGetRetainCount(number), 3);  // b and frozen
  CFRelease(frozen);
  CFRelease(b);
  EXPECT_EQ(CFGetRetainCount(number), 1);
  EXPECT_EQ(CFGetRetainCount(key), 1);
  CFRelease(a);
  CFRelease(key);
  CFRelease(number);
}

TEST_F(Collections, DictionaryFromArraysAndWithoutCallBacks) {
  const void* keys[] = {P(1), P(2)};
  const void* values[] = {P(10), P(20)};
  CFDictionaryRef plain = CFDictionaryCreate(nullptr, keys, values, 2, nullptr, nullptr);
  EXPECT_EQ(CFDictionaryGetValue(plain, P(2)), P(20));
  EXPECT_EQ(CFDictionaryGetValue(plain, P(102)), nullptr);  // identity, not the test's Equal
  EXPECT_TRUE(gLog.retained.empty());
  CFRelease(plain);
  EXPECT_EQ(CFDictionaryCreate(nullptr, nullptr, values, 1, nullptr, nullptr), nullptr);
  EXPECT_EQ(CFDictionaryGetCount(nullptr), 0);
  EXPECT_EQ(CFDictionaryGetValue(nullptr, P(1)), nullptr);
}

}  // namespace
