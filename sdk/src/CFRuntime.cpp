// CFRuntime.cpp: retain counting, polymorphic functions, allocators, booleans and kCFNull.
#include "sdk/src/CFInternal.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace tovrasdk;

static_assert(std::atomic_ref<long>::required_alignment == alignof(long),
              "retain counts are updated in place");

struct __CFAllocator : __CFRuntimeBase {
  enum class Kind { System, Null, Custom } kind;
  CFAllocatorContext context;
};

struct __CFBoolean : __CFRuntimeBase {
  bool value;
};

struct __CFNull : __CFRuntimeBase {};

namespace {

__CFAllocator gSystemAllocator{ImmortalBase(kTypeAllocator), __CFAllocator::Kind::System, {}};
__CFAllocator gMallocAllocator{ImmortalBase(kTypeAllocator), __CFAllocator::Kind::System, {}};
__CFAllocator gNullAllocator{ImmortalBase(kTypeAllocator), __CFAllocator::Kind::Null, {}};
__CFBoolean gTrue{ImmortalBase(kTypeBoolean), true};
__CFBoolean gFalse{ImmortalBase(kTypeBoolean), false};
__CFNull gNull{ImmortalBase(kTypeNull)};

long& CountOf(CFTypeRef cf) noexcept {
  // Counts live inside objects handed out as const pointers, as Apple's do.
  return const_cast<__CFRuntimeBase*>(BaseOf(cf))->_retainCount;
}

}  // namespace

extern "C" {

const CFAllocatorRef kCFAllocatorDefault = nullptr;
const CFAllocatorRef kCFAllocatorSystemDefault = &gSystemAllocator;
const CFAllocatorRef kCFAllocatorMalloc = &gMallocAllocator;
const CFAllocatorRef kCFAllocatorNull = &gNullAllocator;
const CFBooleanRef kCFBooleanTrue = &gTrue;
const CFBooleanRef kCFBooleanFalse = &gFalse;
const CFNullRef kCFNull = &gNull;

CFTypeID CFAllocatorGetTypeID(void) {
  return kTypeAllocator;
}
CFTypeID CFBooleanGetTypeID(void) {
  return kTypeBoolean;
}
CFTypeID CFNullGetTypeID(void) {
  return kTypeNull;
}

Boolean CFBooleanGetValue(CFBooleanRef boolean) {
  return IsType(boolean, kTypeBoolean) && static_cast<const __CFBoolean*>(boolean)->value;
}

CFAllocatorRef CFAllocatorGetDefault(void) {
  return kCFAllocatorSystemDefault;
}

CFAllocatorRef CFAllocatorCreate(CFAllocatorRef, CFAllocatorContext* context) {
  if (context == nullptr || context->allocate == nullptr) return nullptr;
  auto* a = new (std::nothrow)
      __CFAllocator{MortalBase(kTypeAllocator), __CFAllocator::Kind::Custom, *context};
  if (a == nullptr) return nullptr;
  if (a->context.retain != nullptr)
    a->context.info = const_cast<void*>(a->context.retain(a->context.info));
  return a;
}

void* CFAllocatorAllocate(CFAllocatorRef allocator, CFIndex size, CFOptionFlags hint) {
  if (size <= 0) return nullptr;
  if (allocator == nullptr || !IsType(allocator, kTypeAllocator))
    return std::malloc(static_cast<size_t>(size));
  switch (allocator->kind) {
    case __CFAllocator::Kind::System:
      return std::malloc(static_cast<size_t>(size));
    case __CFAllocator::Kind::Null:
      return nullptr;
    case __CFAllocator::Kind::Custom:
      return allocator->context.allocate(size, hint, allocator->context.info);
  }
  return nullptr;
}

void* CFAllocatorReallocate(CFAllocatorRef allocator, void* ptr, CFIndex newsize,
                            CFOptionFlags hint) {
  if (ptr == nullptr) return CFAllocatorAllocate(allocator, newsize, hint);
  if (newsize <= 0) {
    CFAllocatorDeallocate(allocator, ptr);
    return nullptr;
  }
  if (allocator == nullptr || !IsType(allocator, kTypeAllocator) ||
      allocator->kind == __CFAllocator::Kind::System)
    return std::realloc(ptr, static_cast<size_t>(newsize));
  if (allocator->kind == __CFAllocator::Kind::Custom && allocator->context.reallocate != nullptr)
    return allocator->context.reallocate(ptr, newsize, hint, allocator->context.info);
  return nullptr;
}

void CFAllocatorDeallocate(CFAllocatorRef allocator, void* ptr) {
  if (ptr == nullptr) return;
  if (allocator == nullptr || !IsType(allocator, kTypeAllocator) ||
      allocator->kind == __CFAllocator::Kind::System) {
    std::free(ptr);
    return;
  }
  if (allocator->kind == __CFAllocator::Kind::Custom && allocator->context.deallocate != nullptr)
    allocator->context.deallocate(ptr, allocator->context.info);
}

CFTypeRef CFRetain(CFTypeRef cf) {
  if (cf == nullptr) return nullptr;
  std::atomic_ref<long> count(CountOf(cf));
  if (count.load(std::memory_order_relaxed) != kImmortal)
    count.fetch_add(1, std::memory_order_relaxed);
  return cf;
}

void CFRelease(CFTypeRef cf) {
  if (cf == nullptr) return;
  std::atomic_ref<long> count(CountOf(cf));
  if (count.load(std::memory_order_relaxed) == kImmortal) return;
  // acq_rel: every earlier use of the object happens before it is freed.
  if (count.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
  switch (BaseOf(cf)->_typeID) {
    case kTypeString:
      DestroyString(const_cast<__CFString*>(static_cast<const __CFString*>(cf)));
      break;
    case kTypeNumber:
      DestroyNumber(cf);
      break;
    case kTypeData:
      DestroyData(cf);
      break;
    case kTypeArray:
      DestroyArray(cf);
      break;
    case kTypeDictionary:
      DestroyDictionary(cf);
      break;
    case kTypeURL:
      DestroyURL(cf);
      break;
    case kTypeAllocator:
      DestroyAllocator(cf);
      break;
    case kTypeRunLoopTimer:
      DestroyTimer(cf);
      break;
    case kTypeRunLoopSource:
      DestroySource(cf);
      break;
    case kTypeFileDescriptor:
      DestroyFileDescriptor(cf);
      break;
    default:
      break;
  }
}

CFTypeRef CFAutorelease(CFTypeRef cf) {
  // No autorelease pool exists here: the reference is kept, which leaks rather than dangles.
  return cf;
}

CFIndex CFGetRetainCount(CFTypeRef cf) {
  if (cf == nullptr) return 0;
  std::atomic_ref<long> count(CountOf(cf));
  const long n = count.load(std::memory_order_relaxed);
  return n == kImmortal ? LONG_MAX : n;
}

CFTypeID CFGetTypeID(CFTypeRef cf) {
  return cf == nullptr ? 0 : BaseOf(cf)->_typeID;
}

Boolean CFEqual(CFTypeRef cf1, CFTypeRef cf2) {
  if (cf1 == cf2) return true;
  if (cf1 == nullptr || cf2 == nullptr) return false;
  const CFTypeID type = BaseOf(cf1)->_typeID;
  if (type != BaseOf(cf2)->_typeID) return false;
  switch (type) {
    case kTypeString:
      return StringView(static_cast<CFStringRef>(cf1)) == StringView(static_cast<CFStringRef>(cf2));
    case kTypeNumber:
      return EqualNumbers(static_cast<CFNumberRef>(cf1), static_cast<CFNumberRef>(cf2));
    case kTypeData:
      return EqualData(static_cast<CFDataRef>(cf1), static_cast<CFDataRef>(cf2));
    case kTypeArray:
      return EqualArrays(static_cast<CFArrayRef>(cf1), static_cast<CFArrayRef>(cf2));
    case kTypeDictionary:
      return EqualDictionaries(static_cast<CFDictionaryRef>(cf1),
                               static_cast<CFDictionaryRef>(cf2));
    case kTypeURL:
      return EqualURLs(static_cast<CFURLRef>(cf1), static_cast<CFURLRef>(cf2));
    default:
      return false;
  }
}

CFHashCode CFHash(CFTypeRef cf) {
  if (cf == nullptr) return 0;
  switch (BaseOf(cf)->_typeID) {
    case kTypeString: {
      const std::string_view s = StringView(static_cast<CFStringRef>(cf));
      return HashBytes(s.data(), s.size());
    }
    case kTypeNumber:
      return HashNumber(static_cast<CFNumberRef>(cf));
    case kTypeData:
      return HashBytes(CFDataGetBytePtr(static_cast<CFDataRef>(cf)),
                       static_cast<size_t>(CFDataGetLength(static_cast<CFDataRef>(cf))));
    case kTypeArray:
      return static_cast<CFHashCode>(CFArrayGetCount(static_cast<CFArrayRef>(cf)));
    case kTypeDictionary:
      return static_cast<CFHashCode>(CFDictionaryGetCount(static_cast<CFDictionaryRef>(cf)));
    case kTypeURL: {
      const std::string_view s = URLPath(static_cast<CFURLRef>(cf));
      return HashBytes(s.data(), s.size());
    }
    default:
      return static_cast<CFHashCode>(reinterpret_cast<uintptr_t>(cf));
  }
}

CFStringRef CFCopyDescription(CFTypeRef cf) {
  if (cf == nullptr) return nullptr;
  if (IsType(cf, kTypeString)) return static_cast<CFStringRef>(CFRetain(cf));
  return MakeString(Describe(cf));
}

CFStringRef CFCopyTypeIDDescription(CFTypeID type_id) {
  switch (type_id) {
    case kTypeAllocator:
      return MakeString("CFAllocator");
    case kTypeNull:
      return MakeString("CFNull");
    case kTypeBoolean:
      return MakeString("CFBoolean");
    case kTypeNumber:
      return MakeString("CFNumber");
    case kTypeData:
      return MakeString("CFData");
    case kTypeString:
      return MakeString("CFString");
    case kTypeArray:
      return MakeString("CFArray");
    case kTypeDictionary:
      return MakeString("CFDictionary");
    case kTypeURL:
      return MakeString("CFURL");
    case kTypeBundle:
      return MakeString("CFBundle");
    case kTypeRunLoop:
      return MakeString("CFRunLoop");
    case kTypeRunLoopTimer:
      return MakeString("CFRunLoopTimer");
    case kTypeRunLoopSource:
      return MakeString("CFRunLoopSource");
    case kTypeFileDescriptor:
      return MakeString("CFFileDescriptor");
    default:
      return nullptr;
  }
}

CFAllocatorRef CFGetAllocator(CFTypeRef) {
  return kCFAllocatorSystemDefault;
}

}  // extern "C"

namespace tovrasdk {

void DestroyAllocator(CFTypeRef cf) noexcept {
  auto* a = const_cast<__CFAllocator*>(static_cast<const __CFAllocator*>(cf));
  if (a->context.release != nullptr) a->context.release(a->context.info);
  delete a;
}

CFHashCode HashBytes(const void* bytes, size_t length) noexcept {
  // FNV-1a: cheap and good enough for dictionary buckets.
  CFHashCode h = 14695981039346656037UL;
  const auto* p = static_cast<const unsigned char*>(bytes);
  for (size_t i = 0; i < length; ++i) {
    h ^= p[i];
    h *= 1099511628211UL;
  }
  return h;
}

std::string Describe(CFTypeRef cf) {
  if (cf == nullptr) return "(null)";
  char buffer[64];
  switch (BaseOf(cf)->_typeID) {
    case kTypeString:
      return std::string(StringView(static_cast<CFStringRef>(cf)));
    case kTypeNumber:
      return DescribeNumber(static_cast<CFNumberRef>(cf));
    case kTypeBoolean:
      return CFBooleanGetValue(static_cast<CFBooleanRef>(cf)) ? "true" : "false";
    case kTypeNull:
      return "<CFNull>";
    case kTypeData:
      return DescribeData(static_cast<CFDataRef>(cf));
    case kTypeArray:
      return DescribeArray(static_cast<CFArrayRef>(cf));
    case kTypeDictionary:
      return DescribeDictionary(static_cast<CFDictionaryRef>(cf));
    case kTypeURL:
      return "file://" + std::string(URLPath(static_cast<CFURLRef>(cf)));
    default:
      std::snprintf(buffer, sizeof buffer, "<CFType %p>", cf);
      return buffer;
  }
}

}  // namespace tovrasdk
