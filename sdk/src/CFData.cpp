// CFData.cpp: byte buffers, immutable or growable.
#include "sdk/src/CFInternal.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

using namespace tovrasdk;

struct __CFData : __CFRuntimeBase {
  std::vector<UInt8> bytes;
  bool isMutable;
};

namespace {

__CFData* MakeData(const UInt8* bytes, size_t length, bool isMutable) {
  auto* d = new (std::nothrow) __CFData{MortalBase(kTypeData), {}, isMutable};
  if (d == nullptr) return nullptr;
  if (length > 0) d->bytes.assign(bytes, bytes + length);
  return d;
}

bool Mutable(CFDataRef d) noexcept {
  return IsType(d, kTypeData) && d->isMutable;
}

}  // namespace

namespace tovrasdk {

void DestroyData(CFTypeRef cf) noexcept {
  delete static_cast<const __CFData*>(cf);
}

bool EqualData(CFDataRef a, CFDataRef b) noexcept {
  return a->bytes == b->bytes;
}

std::string DescribeData(CFDataRef d) {
  std::string out = "<";
  char hex[4];
  for (size_t i = 0; i < d->bytes.size(); ++i) {
    if (i > 0 && i % 4 == 0) out.push_back(' ');
    std::snprintf(hex, sizeof hex, "%02x", d->bytes[i]);
    out += hex;
  }
  return out + ">";
}

}  // namespace tovrasdk

extern "C" {

CFTypeID CFDataGetTypeID(void) {
  return kTypeData;
}

CFDataRef CFDataCreate(CFAllocatorRef, const UInt8* bytes, CFIndex length) {
  if (length < 0 || (bytes == nullptr && length > 0)) return nullptr;
  return MakeData(bytes, static_cast<size_t>(length), false);
}

CFDataRef CFDataCreateCopy(CFAllocatorRef, CFDataRef theData) {
  if (!IsType(theData, kTypeData)) return nullptr;
  return MakeData(theData->bytes.data(), theData->bytes.size(), false);
}

CFMutableDataRef CFDataCreateMutable(CFAllocatorRef, CFIndex capacity) {
  if (capacity < 0) return nullptr;
  return MakeData(nullptr, 0, true);
}

CFMutableDataRef CFDataCreateMutableCopy(CFAllocatorRef, CFIndex capacity, CFDataRef theData) {
  if (capacity < 0 || !IsType(theData, kTypeData)) return nullptr;
  return MakeData(theData->bytes.data(), theData->bytes.size(), true);
}

CFIndex CFDataGetLength(CFDataRef theData) {
  return IsType(theData, kTypeData) ? static_cast<CFIndex>(theData->bytes.size()) : 0;
}

const UInt8* CFDataGetBytePtr(CFDataRef theData) {
  if (!IsType(theData, kTypeData) || theData->bytes.empty()) return nullptr;
  return theData->bytes.data();
}

UInt8* CFDataGetMutableBytePtr(CFMutableDataRef theData) {
  if (!Mutable(theData) || theData->bytes.empty()) return nullptr;
  return theData->bytes.data();
}

void CFDataGetBytes(CFDataRef theData, CFRange range, UInt8* buffer) {
  if (!IsType(theData, kTypeData) || buffer == nullptr || range.location < 0 || range.length <= 0)
    return;
  const auto size = static_cast<CFIndex>(theData->bytes.size());
  if (range.location >= size) return;
  const CFIndex n = std::min(range.length, size - range.location);
  std::memcpy(buffer, theData->bytes.data() + range.location, static_cast<size_t>(n));
}

void CFDataSetLength(CFMutableDataRef theData, CFIndex length) {
  if (!Mutable(theData) || length < 0) return;
  theData->bytes.resize(static_cast<size_t>(length), 0);
}

void CFDataIncreaseLength(CFMutableDataRef theData, CFIndex extraLength) {
  if (!Mutable(theData) || extraLength < 0) return;
  theData->bytes.resize(theData->bytes.size() + static_cast<size_t>(extraLength), 0);
}

void CFDataAppendBytes(CFMutableDataRef theData, const UInt8* bytes, CFIndex length) {
  if (!Mutable(theData) || bytes == nullptr || length <= 0) return;
  theData->bytes.insert(theData->bytes.end(), bytes, bytes + length);
}

}  // extern "C"
