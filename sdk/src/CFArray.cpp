// CFArray.cpp: ordered arrays that apply their call-back record to every value they keep.
#include "sdk/src/CFInternal.h"

#include <algorithm>
#include <cstdio>
#include <new>

using namespace tovrasdk;

struct __CFArray : __CFRuntimeBase {
  std::vector<const void*> values;
  CFArrayCallBacks callBacks;  // zeroed when the array was made without call-backs
  CFAllocatorRef allocator;    // retained; handed to the retain and release call-backs
  bool isMutable;
};

namespace {

const void* Keep(__CFArray* a, const void* value) {
  return a->callBacks.retain != nullptr ? a->callBacks.retain(a->allocator, value) : value;
}

void Drop(__CFArray* a, const void* value) {
  if (a->callBacks.release != nullptr) a->callBacks.release(a->allocator, value);
}

bool Same(CFArrayRef a, const void* x, const void* y) {
  return a->callBacks.equal != nullptr ? a->callBacks.equal(x, y) != 0 : x == y;
}

__CFArray* MakeArray(CFAllocatorRef allocator, const CFArrayCallBacks* callBacks, bool isMutable) {
  auto* a = new (std::nothrow) __CFArray{MortalBase(kTypeArray), {}, {}, allocator, isMutable};
  if (a == nullptr) return nullptr;
  if (callBacks != nullptr) a->callBacks = *callBacks;
  CFRetain(allocator);
  return a;
}

__CFArray* Writable(CFMutableArrayRef a) {
  return IsType(a, kTypeArray) && a->isMutable ? a : nullptr;
}

// The part of range that lies inside the array: [begin, end).
bool Clamp(CFArrayRef a, CFRange range, size_t& begin, size_t& end) {
  if (!IsType(a, kTypeArray) || range.location < 0 || range.length < 0) return false;
  begin = std::min(static_cast<size_t>(range.location), a->values.size());
  end = std::min(begin + static_cast<size_t>(range.length), a->values.size());
  return true;
}

}  // namespace

namespace tovrasdk {

void DestroyArray(CFTypeRef cf) noexcept {
  auto* a = const_cast<__CFArray*>(static_cast<const __CFArray*>(cf));
  for (const void* v : a->values) Drop(a, v);
  CFRelease(a->allocator);
  delete a;
}

bool EqualArrays(CFArrayRef a, CFArrayRef b) noexcept {
  if (a->values.size() != b->values.size()) return false;
  for (size_t i = 0; i < a->values.size(); ++i)
    if (!Same(a, a->values[i], b->values[i])) return false;
  return true;
}

std::string DescribeArray(CFArrayRef a) {
  std::string out = "(\n";
  for (const void* v : a->values) {
    out += "    ";
    if (a->callBacks.copyDescription != nullptr) {
      CFStringRef d = a->callBacks.copyDescription(v);
      out += std::string(StringView(d));
      CFRelease(d);
    } else {
      char buffer[32];
      std::snprintf(buffer, sizeof buffer, "%p", v);
      out += buffer;
    }
    out += ",\n";
  }
  return out + ")";
}

}  // namespace tovrasdk

extern "C" {

const CFArrayCallBacks kCFTypeArrayCallBacks = {0, TypeRetain, TypeRelease, CFCopyDescription,
                                                TypeEqual};

CFTypeID CFArrayGetTypeID(void) {
  return kTypeArray;
}

CFArrayRef CFArrayCreate(CFAllocatorRef allocator, const void** values, CFIndex numValues,
                         const CFArrayCallBacks* callBacks) {
  if (numValues < 0 || (values == nullptr && numValues > 0)) return nullptr;
  __CFArray* a = MakeArray(allocator, callBacks, false);
  if (a == nullptr) return nullptr;
  a->values.reserve(static_cast<size_t>(numValues));
  for (CFIndex i = 0; i < numValues; ++i) a->values.push_back(Keep(a, values[i]));
  return a;
}

CFArrayRef CFArrayCreateCopy(CFAllocatorRef allocator, CFArrayRef theArray) {
  if (!IsType(theArray, kTypeArray)) return nullptr;
  __CFArray* a = MakeArray(allocator, &theArray->callBacks, false);
  if (a == nullptr) return nullptr;
  for (const void* v : theArray->values) a->values.push_back(Keep(a, v));
  return a;
}

CFMutableArrayRef CFArrayCreateMutable(CFAllocatorRef allocator, CFIndex capacity,
                                       const CFArrayCallBacks* callBacks) {
  if (capacity < 0) return nullptr;
  return MakeArray(allocator, callBacks, true);
}

CFMutableArrayRef CFArrayCreateMutableCopy(CFAllocatorRef allocator, CFIndex capacity,
                                           CFArrayRef theArray) {
  if (capacity < 0 || !IsType(theArray, kTypeArray)) return nullptr;
  __CFArray* a = MakeArray(allocator, &theArray->callBacks, true);
  if (a == nullptr) return nullptr;
  for (const void* v : theArray->values) a->values.push_back(Keep(a, v));
  return a;
}

CFIndex CFArrayGetCount(CFArrayRef theArray) {
  return IsType(theArray, kTypeArray) ? static_cast<CFIndex>(theArray->values.size()) : 0;
}

const void* CFArrayGetValueAtIndex(CFArrayRef theArray, CFIndex idx) {
  if (!IsType(theArray, kTypeArray) || idx < 0 ||
      static_cast<size_t>(idx) >= theArray->values.size())
    return nullptr;
  return theArray->values[static_cast<size_t>(idx)];
}

void CFArrayGetValues(CFArrayRef theArray, CFRange range, const void** values) {
  size_t begin = 0, end = 0;
  if (values == nullptr || !Clamp(theArray, range, begin, end)) return;
  for (size_t i = begin; i < end; ++i) values[i - begin] = theArray->values[i];
}

CFIndex CFArrayGetFirstIndexOfValue(CFArrayRef theArray, CFRange range, const void* value) {
  size_t begin = 0, end = 0;
  if (!Clamp(theArray, range, begin, end)) return kCFNotFound;
  for (size_t i = begin; i < end; ++i)
    if (Same(theArray, theArray->values[i], value)) return static_cast<CFIndex>(i);
  return kCFNotFound;
}

Boolean CFArrayContainsValue(CFArrayRef theArray, CFRange range, const void* value) {
  return CFArrayGetFirstIndexOfValue(theArray, range, value) != kCFNotFound;
}

CFIndex CFArrayGetCountOfValue(CFArrayRef theArray, CFRange range, const void* value) {
  size_t begin = 0, end = 0;
  if (!Clamp(theArray, range, begin, end)) return 0;
  CFIndex n = 0;
  for (size_t i = begin; i < end; ++i)
    if (Same(theArray, theArray->values[i], value)) ++n;
  return n;
}

void CFArrayApplyFunction(CFArrayRef theArray, CFRange range, CFArrayApplierFunction applier,
                          void* context) {
  size_t begin = 0, end = 0;
  if (applier == nullptr || !Clamp(theArray, range, begin, end)) return;
  for (size_t i = begin; i < end; ++i) applier(theArray->values[i], context);
}

void CFArrayAppendValue(CFMutableArrayRef theArray, const void* value) {
  if (__CFArray* a = Writable(theArray)) a->values.push_back(Keep(a, value));
}

void CFArrayInsertValueAtIndex(CFMutableArrayRef theArray, CFIndex idx, const void* value) {
  __CFArray* a = Writable(theArray);
  if (a == nullptr || idx < 0 || static_cast<size_t>(idx) > a->values.size()) return;
  a->values.insert(a->values.begin() + idx, Keep(a, value));
}

void CFArraySetValueAtIndex(CFMutableArrayRef theArray, CFIndex idx, const void* value) {
  __CFArray* a = Writable(theArray);
  if (a == nullptr || idx < 0 || static_cast<size_t>(idx) > a->values.size()) return;
  if (static_cast<size_t>(idx) == a->values.size()) {
    a->values.push_back(Keep(a, value));
    return;
  }
  // Keep before drop: setting a value over itself must not free it.
  const void* kept = Keep(a, value);
  Drop(a, a->values[static_cast<size_t>(idx)]);
  a->values[static_cast<size_t>(idx)] = kept;
}

void CFArrayRemoveValueAtIndex(CFMutableArrayRef theArray, CFIndex idx) {
  __CFArray* a = Writable(theArray);
  if (a == nullptr || idx < 0 || static_cast<size_t>(idx) >= a->values.size()) return;
  const void* v = a->values[static_cast<size_t>(idx)];
  a->values.erase(a->values.begin() + idx);
  Drop(a, v);
}

void CFArrayRemoveAllValues(CFMutableArrayRef theArray) {
  __CFArray* a = Writable(theArray);
  if (a == nullptr) return;
  std::vector<const void*> old;
  old.swap(a->values);
  for (const void* v : old) Drop(a, v);
}

}  // extern "C"
