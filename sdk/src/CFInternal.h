// CFInternal.h: object layouts and helpers shared by the CoreFoundation stand-in's sources.
#pragma once

#include <CoreFoundation/CoreFoundation.h>

#include <atomic>
#include <climits>
#include <string>
#include <string_view>
#include <vector>

// Every object starts with __CFRuntimeBase (declared in CFString.h for CFSTR): its type ID and
// its retain count, -1 for objects that live as long as the process.
namespace tovrasdk {

enum : CFTypeID {
  kTypeAllocator = 2,
  kTypeNull = 3,
  kTypeBoolean = 4,
  kTypeNumber = 5,
  kTypeData = 6,
  kTypeString = __kCFStringTypeIDValue,
  kTypeArray = 8,
  kTypeDictionary = 9,
  kTypeURL = 10,
  kTypeBundle = 11,
  kTypeRunLoop = 12,
  kTypeRunLoopTimer = 13,
  kTypeRunLoopSource = 14,
  kTypeFileDescriptor = 15,
};

constexpr long kImmortal = -1;

inline const __CFRuntimeBase* BaseOf(CFTypeRef cf) noexcept {
  return static_cast<const __CFRuntimeBase*>(cf);
}

inline bool IsType(CFTypeRef cf, CFTypeID type) noexcept {
  return cf != nullptr && BaseOf(cf)->_typeID == type;
}

inline __CFRuntimeBase MortalBase(CFTypeID type) noexcept {
  return __CFRuntimeBase{type, 1};
}
inline __CFRuntimeBase ImmortalBase(CFTypeID type) noexcept {
  return __CFRuntimeBase{type, kImmortal};
}

// The call-backs of the kCFType... records, for containers of CF objects: kept by their retain
// count, compared with CFEqual.
inline const void* TypeRetain(CFAllocatorRef, const void* value) {
  return CFRetain(value);
}
inline void TypeRelease(CFAllocatorRef, const void* value) {
  CFRelease(value);
}
inline Boolean TypeEqual(const void* a, const void* b) {
  return CFEqual(a, b);
}

// Frees an object whose count reached zero; defined per type in its source file.
void DestroyString(__CFString* s) noexcept;
void DestroyNumber(CFTypeRef cf) noexcept;
void DestroyData(CFTypeRef cf) noexcept;
void DestroyArray(CFTypeRef cf) noexcept;
void DestroyDictionary(CFTypeRef cf) noexcept;
void DestroyURL(CFTypeRef cf) noexcept;
void DestroyAllocator(CFTypeRef cf) noexcept;
void DestroyTimer(CFTypeRef cf) noexcept;
void DestroySource(CFTypeRef cf) noexcept;
void DestroyFileDescriptor(CFTypeRef cf) noexcept;

bool EqualNumbers(CFNumberRef a, CFNumberRef b) noexcept;
bool EqualData(CFDataRef a, CFDataRef b) noexcept;
bool EqualArrays(CFArrayRef a, CFArrayRef b) noexcept;
bool EqualDictionaries(CFDictionaryRef a, CFDictionaryRef b) noexcept;
bool EqualURLs(CFURLRef a, CFURLRef b) noexcept;
CFHashCode HashNumber(CFNumberRef n) noexcept;
CFHashCode HashBytes(const void* bytes, size_t length) noexcept;

// Text of an object for descriptions and %@; the string's own text for strings.
std::string Describe(CFTypeRef cf);
std::string DescribeArray(CFArrayRef a);
std::string DescribeDictionary(CFDictionaryRef d);
std::string DescribeNumber(CFNumberRef n);
std::string DescribeData(CFDataRef d);

// A new string holding text (assumed valid UTF-8), count 1; nullptr if allocation fails.
CFStringRef MakeString(std::string_view text);
std::string_view StringView(CFStringRef s) noexcept;
std::string_view URLPath(CFURLRef url) noexcept;

}  // namespace tovrasdk
