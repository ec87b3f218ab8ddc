// CFNumber.cpp: numbers stored as 64-bit integers or doubles with their fixed-size type.
#include "sdk/src/CFInternal.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

using namespace tovrasdk;

struct __CFNumber : __CFRuntimeBase {
  CFNumberType type;  // storage type: SInt8/16/32/64 or Float32/64
  bool isFloat;
  int64_t integer;
  double real;
};

namespace {

// The fixed-size storage type for a requested type; 0 for an unknown type.
CFNumberType StorageType(CFNumberType t) noexcept {
  switch (t) {
    case kCFNumberSInt8Type:
    case kCFNumberCharType:
      return kCFNumberSInt8Type;
    case kCFNumberSInt16Type:
    case kCFNumberShortType:
      return kCFNumberSInt16Type;
    case kCFNumberSInt32Type:
    case kCFNumberIntType:
      return kCFNumberSInt32Type;
    case kCFNumberSInt64Type:
    case kCFNumberLongType:
    case kCFNumberLongLongType:
    case kCFNumberCFIndexType:
    case kCFNumberNSIntegerType:
      return kCFNumberSInt64Type;
    case kCFNumberFloat32Type:
    case kCFNumberFloatType:
      return kCFNumberFloat32Type;
    case kCFNumberFloat64Type:
    case kCFNumberDoubleType:
    case kCFNumberCGFloatType:
      return kCFNumberFloat64Type;
  }
  return static_cast<CFNumberType>(0);
}

size_t ByteSize(CFNumberType storage) noexcept {
  switch (storage) {
    case kCFNumberSInt8Type:
      return 1;
    case kCFNumberSInt16Type:
      return 2;
    case kCFNumberSInt32Type:
    case kCFNumberFloat32Type:
      return 4;
    default:
      return 8;
  }
}

template <typename T>
T Read(const void* p) noexcept {
  T v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

template <typename T>
void Write(void* p, T v) noexcept {
  std::memcpy(p, &v, sizeof v);
}

// Integer of the given byte size from a 64-bit value; exact when it fits.
bool StoreInteger(void* out, size_t size, int64_t v) noexcept {
  switch (size) {
    case 1:
      Write<int8_t>(out, static_cast<int8_t>(v));
      return v >= INT8_MIN && v <= INT8_MAX;
    case 2:
      Write<int16_t>(out, static_cast<int16_t>(v));
      return v >= INT16_MIN && v <= INT16_MAX;
    case 4:
      Write<int32_t>(out, static_cast<int32_t>(v));
      return v >= INT32_MIN && v <= INT32_MAX;
    default:
      Write<int64_t>(out, v);
      return true;
  }
}

}  // namespace

namespace tovrasdk {

void DestroyNumber(CFTypeRef cf) noexcept {
  delete static_cast<const __CFNumber*>(cf);
}

bool EqualNumbers(CFNumberRef a, CFNumberRef b) noexcept {
  return CFNumberCompare(a, b, nullptr) == kCFCompareEqualTo;
}

CFHashCode HashNumber(CFNumberRef n) noexcept {
  // Equal values hash alike whatever their types: integral doubles hash as integers.
  if (!n->isFloat) return static_cast<CFHashCode>(n->integer);
  const double d = n->real;
  if (std::isfinite(d) && d == std::trunc(d) && std::fabs(d) < 9.2e18)
    return static_cast<CFHashCode>(static_cast<int64_t>(d));
  return HashBytes(&d, sizeof d);
}

std::string DescribeNumber(CFNumberRef n) {
  char buffer[64];
  if (n->isFloat)
    std::snprintf(buffer, sizeof buffer, "%.17g", n->real);
  else
    std::snprintf(buffer, sizeof buffer, "%lld", static_cast<long long>(n->integer));
  return buffer;
}

}  // namespace tovrasdk

extern "C" {

CFTypeID CFNumberGetTypeID(void) {
  return kTypeNumber;
}

CFNumberRef CFNumberCreate(CFAllocatorRef, CFNumberType theType, const void* valuePtr) {
  const CFNumberType storage = StorageType(theType);
  if (valuePtr == nullptr || storage == 0) return nullptr;
  auto* n = new (std::nothrow) __CFNumber{MortalBase(kTypeNumber), storage, false, 0, 0.0};
  if (n == nullptr) return nullptr;
  switch (theType) {
    case kCFNumberSInt8Type:
      n->integer = Read<int8_t>(valuePtr);
      break;
    case kCFNumberCharType:
      n->integer = Read<signed char>(valuePtr);
      break;
    case kCFNumberSInt16Type:
      n->integer = Read<int16_t>(valuePtr);
      break;
    case kCFNumberShortType:
      n->integer = Read<short>(valuePtr);
      break;
    case kCFNumberSInt32Type:
      n->integer = Read<int32_t>(valuePtr);
      break;
    case kCFNumberIntType:
      n->integer = Read<int>(valuePtr);
      break;
    case kCFNumberSInt64Type:
      n->integer = Read<int64_t>(valuePtr);
      break;
    case kCFNumberLongType:
    case kCFNumberNSIntegerType:
      n->integer = Read<long>(valuePtr);
      break;
    case kCFNumberLongLongType:
      n->integer = Read<long long>(valuePtr);
      break;
    case kCFNumberCFIndexType:
      n->integer = Read<CFIndex>(valuePtr);
      break;
    case kCFNumberFloat32Type:
    case kCFNumberFloatType:
      n->isFloat = true, n->real = Read<float>(valuePtr);
      break;
    case kCFNumberFloat64Type:
    case kCFNumberDoubleType:
    case kCFNumberCGFloatType:
      n->isFloat = true, n->real = Read<double>(valuePtr);
      break;
  }
  return n;
}

CFNumberType CFNumberGetType(CFNumberRef number) {
  return IsType(number, kTypeNumber) ? number->type : static_cast<CFNumberType>(0);
}

CFIndex CFNumberGetByteSize(CFNumberRef number) {
  return IsType(number, kTypeNumber) ? static_cast<CFIndex>(ByteSize(number->type)) : 0;
}

Boolean CFNumberIsFloatType(CFNumberRef number) {
  return IsType(number, kTypeNumber) && number->isFloat;
}

Boolean CFNumberGetValue(CFNumberRef number, CFNumberType theType, void* valuePtr) {
  const CFNumberType target = StorageType(theType);
  if (!IsType(number, kTypeNumber) || valuePtr == nullptr || target == 0) return false;
  if (target == kCFNumberFloat32Type || target == kCFNumberFloat64Type) {
    const double d = number->isFloat ? number->real : static_cast<double>(number->integer);
    // An integer near INT64_MAX rounds up to 2^63, which no int64_t holds: converting that back
    // would be undefined, and the value is inexact anyway.
    const bool exact = number->isFloat ||
                       (d < 9223372036854775808.0 && static_cast<int64_t>(d) == number->integer);
    if (target == kCFNumberFloat32Type) {
      const auto f = static_cast<float>(d);
      Write<float>(valuePtr, f);
      return exact && (static_cast<double>(f) == d || std::isnan(d));
    }
    Write<double>(valuePtr, d);
    return exact;
  }
  const size_t size = ByteSize(target);
  if (!number->isFloat) return StoreInteger(valuePtr, size, number->integer);
  const double d = number->real;
  if (std::isnan(d)) {
    StoreInteger(valuePtr, size, 0);
    return false;
  }
  const double t = std::trunc(d);
  int64_t v = 0;
  bool inRange = true;
  if (t >= 9223372036854775807.0)
    v = INT64_MAX, inRange = false;
  else if (t < -9223372036854775808.0)
    v = INT64_MIN, inRange = false;
  else
    v = static_cast<int64_t>(t);
  const bool fits = StoreInteger(valuePtr, size, v);
  return fits && inRange && t == d;
}

CFComparisonResult CFNumberCompare(CFNumberRef number, CFNumberRef otherNumber, void*) {
  if (!IsType(number, kTypeNumber) || !IsType(otherNumber, kTypeNumber)) return kCFCompareLessThan;
  if (!number->isFloat && !otherNumber->isFloat) {
    if (number->integer == otherNumber->integer) return kCFCompareEqualTo;
    return number->integer < otherNumber->integer ? kCFCompareLessThan : kCFCompareGreaterThan;
  }
  const double a = number->isFloat ? number->real : static_cast<double>(number->integer);
  const double b =
      otherNumber->isFloat ? otherNumber->real : static_cast<double>(otherNumber->integer);
  // NaN sorts below every other value and equals itself, so comparisons stay a total order.
  if (std::isnan(a) || std::isnan(b)) {
    if (std::isnan(a) && std::isnan(b)) return kCFCompareEqualTo;
    return std::isnan(a) ? kCFCompareLessThan : kCFCompareGreaterThan;
  }
  if (a == b) return kCFCompareEqualTo;
  return a < b ? kCFCompareLessThan : kCFCompareGreaterThan;
}

}  // extern "C"
