// CFDictionary.cpp: key/value dictionaries in insertion order, keyed through their call-backs.
#include "sdk/src/CFInternal.h"

#include <new>

using namespace tovrasdk;

struct __CFDictionary : __CFRuntimeBase {
  struct Entry {
    const void* key;
    const void* value;
    CFHashCode hash;
  };
  std::vector<Entry> entries;
  CFDictionaryKeyCallBacks keyCallBacks;      // zeroed: plain pointers
  CFDictionaryValueCallBacks valueCallBacks;  // zeroed: plain pointers
  CFAllocatorRef allocator;                   // retained; handed to retain and release
  bool isMutable;
};

namespace {

CFHashCode TypeHash(const void* value) {
  return CFHash(value);
}

const void* CopyStringKey(CFAllocatorRef allocator, const void* value) {
  if (IsType(value, kTypeString))
    return CFStringCreateCopy(allocator, static_cast<CFStringRef>(value));
  return CFRetain(value);
}

CFHashCode HashKey(CFDictionaryRef d, const void* key) {
  return d->keyCallBacks.hash != nullptr
             ? d->keyCallBacks.hash(key)
             : static_cast<CFHashCode>(reinterpret_cast<uintptr_t>(key));
}

bool SameKey(CFDictionaryRef d, const void* a, const void* b) {
  return d->keyCallBacks.equal != nullptr ? d->keyCallBacks.equal(a, b) != 0 : a == b;
}

bool SameValue(CFDictionaryRef d, const void* a, const void* b) {
  return d->valueCallBacks.equal != nullptr ? d->valueCallBacks.equal(a, b) != 0 : a == b;
}

const __CFDictionary::Entry* Find(CFDictionaryRef d, const void* key) {
  const CFHashCode h = HashKey(d, key);
  for (const auto& e : d->entries)
    if (e.hash == h && SameKey(d, e.key, key)) return &e;
  return nullptr;
}

const void* KeepKey(__CFDictionary* d, const void* key) {
  return d->keyCallBacks.retain != nullptr ? d->keyCallBacks.retain(d->allocator, key) : key;
}
const void* KeepValue(__CFDictionary* d, const void* value) {
  return d->valueCallBacks.retain != nullptr ? d->valueCallBacks.retain(d->allocator, value)
                                             : value;
}
void DropKey(__CFDictionary* d, const void* key) {
  if (d->keyCallBacks.release != nullptr) d->keyCallBacks.release(d->allocator, key);
}
void DropValue(__CFDictionary* d, const void* value) {
  if (d->valueCallBacks.release != nullptr) d->valueCallBacks.release(d->allocator, value);
}

__CFDictionary* MakeDictionary(CFAllocatorRef allocator,
                               const CFDictionaryKeyCallBacks* keyCallBacks,
                               const CFDictionaryValueCallBacks* valueCallBacks, bool isMutable) {
  auto* d = new (std::nothrow)
      __CFDictionary{MortalBase(kTypeDictionary), {}, {}, {}, allocator, isMutable};
  if (d == nullptr) return nullptr;
  if (keyCallBacks != nullptr) d->keyCallBacks = *keyCallBacks;
  if (valueCallBacks != nullptr) d->valueCallBacks = *valueCallBacks;
  CFRetain(allocator);
  return d;
}

void Put(__CFDictionary* d, const void* key, const void* value, bool add, bool replace) {
  auto* existing = const_cast<__CFDictionary::Entry*>(Find(d, key));
  if (existing != nullptr) {
    if (!replace) return;
    // Keep before drop: storing the same value again must not free it.
    const void* kept = KeepValue(d, value);
    DropValue(d, existing->value);
    existing->value = kept;
    return;
  }
  if (!add) return;
  const void* k = KeepKey(d, key);
  d->entries.push_back({k, KeepValue(d, value), HashKey(d, k)});
}

__CFDictionary* Writable(CFMutableDictionaryRef d) {
  return IsType(d, kTypeDictionary) && d->isMutable ? d : nullptr;
}

__CFDictionary* CopyInto(__CFDictionary* d, CFDictionaryRef from) {
  if (d == nullptr) return nullptr;
  for (const auto& e : from->entries) {
    const void* k = KeepKey(d, e.key);
    d->entries.push_back({k, KeepValue(d, e.value), HashKey(d, k)});
  }
  return d;
}

}  // namespace

namespace tovrasdk {

void DestroyDictionary(CFTypeRef cf) noexcept {
  auto* d = const_cast<__CFDictionary*>(static_cast<const __CFDictionary*>(cf));
  for (const auto& e : d->entries) {
    DropKey(d, e.key);
    DropValue(d, e.value);
  }
  CFRelease(d->allocator);
  delete d;
}

bool EqualDictionaries(CFDictionaryRef a, CFDictionaryRef b) noexcept {
  if (a->entries.size() != b->entries.size()) return false;
  for (const auto& e : a->entries) {
    const auto* other = Find(b, e.key);
    if (other == nullptr || !SameValue(a, e.value, other->value)) return false;
  }
  return true;
}

std::string DescribeDictionary(CFDictionaryRef d) {
  auto text = [](CFDictionaryCopyDescriptionCallBack describe, const void* v) {
    if (describe == nullptr) {
      char buffer[32];
      std::snprintf(buffer, sizeof buffer, "%p", v);
      return std::string(buffer);
    }
    CFStringRef s = describe(v);
    std::string out(StringView(s));
    CFRelease(s);
    return out;
  };
  std::string out = "{\n";
  for (const auto& e : d->entries)
    out += "    " + text(d->keyCallBacks.copyDescription, e.key) + " = " +
           text(d->valueCallBacks.copyDescription, e.value) + ";\n";
  return out + "}";
}

}  // namespace tovrasdk

extern "C" {

const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks = {
    0, TypeRetain, TypeRelease, CFCopyDescription, TypeEqual, TypeHash};
const CFDictionaryKeyCallBacks kCFCopyStringDictionaryKeyCallBacks = {
    0, CopyStringKey, TypeRelease, CFCopyDescription, TypeEqual, TypeHash};
const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks = {0, TypeRetain, TypeRelease,
                                                                    CFCopyDescription, TypeEqual};

CFTypeID CFDictionaryGetTypeID(void) {
  return kTypeDictionary;
}

CFDictionaryRef CFDictionaryCreate(CFAllocatorRef allocator, const void** keys, const void** values,
                                   CFIndex numValues, const CFDictionaryKeyCallBacks* keyCallBacks,
                                   const CFDictionaryValueCallBacks* valueCallBacks) {
  if (numValues < 0 || ((keys == nullptr || values == nullptr) && numValues > 0)) return nullptr;
  __CFDictionary* d = MakeDictionary(allocator, keyCallBacks, valueCallBacks, false);
  if (d == nullptr) return nullptr;
  for (CFIndex i = 0; i < numValues; ++i) Put(d, keys[i], values[i], true, true);
  return d;
}

CFDictionaryRef CFDictionaryCreateCopy(CFAllocatorRef allocator, CFDictionaryRef theDict) {
  if (!IsType(theDict, kTypeDictionary)) return nullptr;
  return CopyInto(
      MakeDictionary(allocator, &theDict->keyCallBacks, &theDict->valueCallBacks, false), theDict);
}

CFMutableDictionaryRef CFDictionaryCreateMutable(CFAllocatorRef allocator, CFIndex capacity,
                                                 const CFDictionaryKeyCallBacks* keyCallBacks,
                                                 const CFDictionaryValueCallBacks* valueCallBacks) {
  if (capacity < 0) return nullptr;
  return MakeDictionary(allocator, keyCallBacks, valueCallBacks, true);
}

CFMutableDictionaryRef CFDictionaryCreateMutableCopy(CFAllocatorRef allocator, CFIndex capacity,
                                                     CFDictionaryRef theDict) {
  if (capacity < 0 || !IsType(theDict, kTypeDictionary)) return nullptr;
  return CopyInto(MakeDictionary(allocator, &theDict->keyCallBacks, &theDict->valueCallBacks, true),
                  theDict);
}

CFIndex CFDictionaryGetCount(CFDictionaryRef theDict) {
  return IsType(theDict, kTypeDictionary) ? static_cast<CFIndex>(theDict->entries.size()) : 0;
}

Boolean CFDictionaryContainsKey(CFDictionaryRef theDict, const void* key) {
  return IsType(theDict, kTypeDictionary) && Find(theDict, key) != nullptr;
}

const void* CFDictionaryGetValue(CFDictionaryRef theDict, const void* key) {
  if (!IsType(theDict, kTypeDictionary)) return nullptr;
  const auto* e = Find(theDict, key);
  return e != nullptr ? e->value : nullptr;
}

Boolean CFDictionaryGetValueIfPresent(CFDictionaryRef theDict, const void* key,
                                      const void** value) {
  if (!IsType(theDict, kTypeDictionary)) return false;
  const auto* e = Find(theDict, key);
  if (e == nullptr) return false;
  if (value != nullptr) *value = e->value;
  return true;
}

void CFDictionaryGetKeysAndValues(CFDictionaryRef theDict, const void** keys, const void** values) {
  if (!IsType(theDict, kTypeDictionary)) return;
  for (size_t i = 0; i < theDict->entries.size(); ++i) {
    if (keys != nullptr) keys[i] = theDict->entries[i].key;
    if (values != nullptr) values[i] = theDict->entries[i].value;
  }
}

void CFDictionaryApplyFunction(CFDictionaryRef theDict, CFDictionaryApplierFunction applier,
                               void* context) {
  if (!IsType(theDict, kTypeDictionary) || applier == nullptr) return;
  for (const auto& e : theDict->entries) applier(e.key, e.value, context);
}

void CFDictionaryAddValue(CFMutableDictionaryRef theDict, const void* key, const void* value) {
  if (__CFDictionary* d = Writable(theDict)) Put(d, key, value, true, false);
}

void CFDictionarySetValue(CFMutableDictionaryRef theDict, const void* key, const void* value) {
  if (__CFDictionary* d = Writable(theDict)) Put(d, key, value, true, true);
}

void CFDictionaryReplaceValue(CFMutableDictionaryRef theDict, const void* key, const void* value) {
  if (__CFDictionary* d = Writable(theDict)) Put(d, key, value, false, true);
}

void CFDictionaryRemoveValue(CFMutableDictionaryRef theDict, const void* key) {
  __CFDictionary* d = Writable(theDict);
  if (d == nullptr) return;
  const auto* e = Find(d, key);
  if (e == nullptr) return;
  const auto entry = *e;
  d->entries.erase(d->entries.begin() + (e - d->entries.data()));
  DropKey(d, entry.key);
  DropValue(d, entry.value);
}

void CFDictionaryRemoveAllValues(CFMutableDictionaryRef theDict) {
  __CFDictionary* d = Writable(theDict);
  if (d == nullptr) return;
  std::vector<__CFDictionary::Entry> old;
  old.swap(d->entries);
  for (const auto& e : old) {
    DropKey(d, e.key);
    DropValue(d, e.value);
  }
}

}  // extern "C"
