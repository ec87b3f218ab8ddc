// IParam: initialisers, shapes, constraining, display and parsing.
#include "plug/IParam.h"

#include <locale.h>
#ifdef __APPLE__
#include <xlocale.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace plug {

namespace {

// Copies at most IParam::kMaxTextLength characters and always terminates; null reads as "".
void CopyText(char (&dst)[IParam::kMaxTextLength + 1], const char* src) {
  if (src == nullptr) src = "";
  std::size_t n = std::strlen(src);
  if (n > IParam::kMaxTextLength) n = IParam::kMaxTextLength;
  std::memcpy(dst, src, n);
  dst[n] = '\0';
}

// The display texts are fixed fields; a formatted number is cut to the same length.
void LimitDisplay(std::string& display) {
  if (display.size() > static_cast<std::size_t>(IParam::kMaxTextLength)) {
    display.resize(IParam::kMaxTextLength);
  }
}

constexpr double kExpShapeMinAnchor = 1e-8;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The "C" locale as an object, so that typed text reads the same whatever the process's (or the
// host application's) numeric locale is. Made once, kept for the life of the process.
locale_t CLocale() {
  static const locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
  return locale;
}

// The leading decimal number of text, for strtod to convert: strtod alone would also read
// hexadecimal ("0x10" is 16), "inf" and "nan", which typed text must not become. A full stop or a
// comma separates the decimals, under any locale: the comma is handed on as a full stop.
std::string LeadingDecimal(const char* text) {
  const char* c = text;
  while (*c != '\0' && std::strchr(" \t\n\v\f\r", *c) != nullptr) ++c;
  const char* start = c;
  if (*c == '+' || *c == '-') ++c;
  const auto digits = [&c] {
    const char* from = c;
    while (IsDigit(*c)) ++c;
    return c != from;
  };
  bool any = digits();
  const char* separator = nullptr;
  if (*c == '.' || *c == ',') {
    separator = c;
    ++c;
    any = digits() || any;
  }
  if (!any) return {};
  if (*c == 'e' || *c == 'E') {
    const char* mantissaEnd = c;
    ++c;
    if (*c == '+' || *c == '-') ++c;
    if (!digits()) c = mantissaEnd;
  }
  std::string number(start, c);
  if (separator != nullptr) number[static_cast<std::size_t>(separator - start)] = '.';
  return number;
}

}  // namespace

// ---------------------------------------------------------------------------------- shapes

std::unique_ptr<IParam::Shape> IParam::ShapeLinear::Clone() const {
  return std::make_unique<ShapeLinear>(*this);
}

IParam::EDisplayType IParam::ShapeLinear::GetDisplayType() const {
  return kDisplayLinear;
}

double IParam::ShapeLinear::NormalizedToValue(double normalized, const IParam& param) const {
  return param.GetMin() + normalized * (param.GetMax() - param.GetMin());
}

double IParam::ShapeLinear::ValueToNormalized(double value, const IParam& param) const {
  const double range = param.GetMax() - param.GetMin();
  // A zero-width range (step 0 and min == max) has one value; call it the bottom.
  return range > 0.0 ? (value - param.GetMin()) / range : 0.0;
}

IParam::ShapePowCurve::ShapePowCurve(double shape) : mShape(shape) {}

std::unique_ptr<IParam::Shape> IParam::ShapePowCurve::Clone() const {
  return std::make_unique<ShapePowCurve>(*this);
}

IParam::EDisplayType IParam::ShapePowCurve::GetDisplayType() const {
  if (mShape > 2.5) return kDisplayCubeRoot;
  if (mShape > 1.5) return kDisplaySquareRoot;
  if (mShape < 0.4) return kDisplayCubed;
  if (mShape < (2.0 / 3.0)) return kDisplaySquared;
  return kDisplayLinear;
}

double IParam::ShapePowCurve::NormalizedToValue(double normalized, const IParam& param) const {
  return param.GetMin() + (param.GetMax() - param.GetMin()) * std::pow(normalized, mShape);
}

double IParam::ShapePowCurve::ValueToNormalized(double value, const IParam& param) const {
  const double range = param.GetMax() - param.GetMin();
  if (!(range > 0.0)) return 0.0;
  return std::pow((value - param.GetMin()) / range, 1.0 / mShape);
}

std::unique_ptr<IParam::Shape> IParam::ShapeExp::Clone() const {
  return std::make_unique<ShapeExp>(*this);
}

void IParam::ShapeExp::Init(const IParam& param) {
  const double base = param.GetMin() > 0.0 ? param.GetMin() : kExpShapeMinAnchor;
  mAdd = std::log(base);
  mMul = std::log(param.GetMax() / base);
}

IParam::EDisplayType IParam::ShapeExp::GetDisplayType() const {
  return kDisplayLog;
}

double IParam::ShapeExp::NormalizedToValue(double normalized, const IParam&) const {
  return std::exp(mAdd + normalized * mMul);
}

double IParam::ShapeExp::ValueToNormalized(double value, const IParam&) const {
  return (std::log(value) - mAdd) / mMul;
}

// ---------------------------------------------------------------------------- construction

IParam::IParam() : mShape(std::make_unique<ShapeLinear>()) {}

IParam::~IParam() = default;

// ----------------------------------------------------------------------------- initialisers

void IParam::InitDouble(const char* name, double defaultVal, double minVal, double maxVal,
                        double step, const char* label, int flags, const char* group,
                        const Shape& shape, EParamUnit unit, DisplayFunc displayFunc) {
  if (mType == kTypeNone) mType = kTypeDouble;

  CopyText(mName, name);
  CopyText(mLabel, label);
  CopyText(mParamGroup, group);

  mMin = minVal;
  mMax = maxVal < minVal + step ? minVal + step : maxVal;
  mStep = step;
  mDefault = defaultVal;
  mUnit = unit;
  mFlags = flags;
  mDisplayFunction = std::move(displayFunc);

  // Constrain reads min, max, step and flags, all stored above.
  mValue.store(Constrain(defaultVal), std::memory_order_seq_cst);

  // Decimals shown: as many as the step needs, at most 6.
  mDisplayPrecision = 0;
  if (step != std::round(step)) {
    double scaled = step;
    int places = 0;
    while (places < 5) {
      scaled *= 10.0;
      ++places;
      if (scaled == std::round(scaled)) break;
    }
    if (scaled != std::round(scaled)) places = 6;
    mDisplayPrecision = places;
  }

  mShape = shape.Clone();
  mShape->Init(*this);
}

void IParam::InitInt(const char* name, int defaultVal, int minVal, int maxVal, const char* label,
                     int flags, const char* group) {
  if (mType == kTypeNone) mType = kTypeInt;
  InitDouble(name, static_cast<double>(defaultVal), static_cast<double>(minVal),
             static_cast<double>(maxVal), 1.0, label, flags | kFlagStepped, group, ShapeLinear{},
             kUnitCustom, nullptr);
}

void IParam::InitEnum(const char* name, int defaultVal, int count, const char* label, int flags,
                      const char* group) {
  if (mType == kTypeNone) mType = kTypeEnum;
  InitInt(name, defaultVal, 0, count - 1, label, flags | kFlagStepped, group);
}

void IParam::InitEnumWithItems(const char* name, int defaultVal, int count, const char* label,
                               int flags, const char* group, const char* const* items, int nItems) {
  InitEnum(name, defaultVal, count, label, flags, group);
  if (items == nullptr || items[0] == nullptr) return;
  const int n = std::min(count, nItems);
  for (int i = 0; i < n; ++i) {
    if (items[i] != nullptr) SetDisplayText(static_cast<double>(i), items[i]);
  }
}

void IParam::InitEnum(const char* name, int defaultVal, std::initializer_list<const char*> items,
                      int flags, const char* group) {
  const int count = static_cast<int>(items.size());
  InitEnum(name, defaultVal, count, "", flags, group);
  int i = 0;
  for (const char* item : items) {
    SetDisplayText(static_cast<double>(i++), item != nullptr ? item : "");
  }
}

void IParam::InitBool(const char* name, bool defaultVal, const char* label, int flags,
                      const char* group, const char* offText, const char* onText) {
  if (mType == kTypeNone) mType = kTypeBool;
  InitEnum(name, defaultVal ? 1 : 0, 2, label, flags, group);
  if (offText != nullptr) SetDisplayText(0.0, offText);
  if (onText != nullptr) SetDisplayText(1.0, onText);
}

void IParam::InitGain(const char* name, double defaultVal, double minVal, double maxVal,
                      double step, int flags, const char* group) {
  InitDouble(name, defaultVal, minVal, maxVal, step, "dB", flags, group, ShapeLinear{}, kUnitDB);
}

void IParam::InitSeconds(const char* name, double defaultVal, double minVal, double maxVal,
                         double step, int flags, const char* group) {
  InitDouble(name, defaultVal, minVal, maxVal, step, "Seconds", flags, group, ShapeLinear{},
             kUnitSeconds);
}

void IParam::InitFrequency(const char* name, double defaultVal, double minVal, double maxVal,
                           double step, int flags, const char* group) {
  InitDouble(name, defaultVal, minVal, maxVal, step, "Hz", flags, group, ShapeExp{},
             kUnitFrequency);
}

void IParam::InitMilliseconds(const char* name, double defaultVal, double minVal, double maxVal,
                              int flags, const char* group) {
  InitDouble(name, defaultVal, minVal, maxVal, 1.0, "ms", flags, group, ShapeLinear{},
             kUnitMilliseconds);
}

void IParam::InitPercentage(const char* name, double defaultVal, double minVal, double maxVal,
                            int flags, const char* group) {
  InitDouble(name, defaultVal, minVal, maxVal, 1.0, "%", flags, group, ShapeLinear{},
             kUnitPercentage);
}

void IParam::InitAngleDegrees(const char* name, double defaultVal, double minVal, double maxVal,
                              int flags, const char* group) {
  InitDouble(name, defaultVal, minVal, maxVal, 1.0, "degrees", flags, group, ShapeLinear{},
             kUnitDegrees);
}

void IParam::InitPitch(const char* name, int defaultVal, int minNote, int maxNote, int flags,
                       const char* group, bool middleCIsC4) {
  static const char* const kNoteNames[12] = {"C ", "C#", "D ", "D#", "E ", "F ",
                                             "F#", "G ", "G#", "A ", "A#", "B "};
  InitEnum(name, defaultVal, maxNote - minNote + 1, "", flags, group);
  int i = 0;
  for (int k = minNote; k <= maxNote; ++k, ++i) {
    // Floor division keeps the note name and octave right for notes below 0 as well.
    const int octaveOfK = (k >= 0 ? k / 12 : -((-k + 11) / 12));
    const int nameIdx = k - octaveOfK * 12;
    const int octave = octaveOfK - (middleCIsC4 ? 1 : 2);
    char text[kMaxTextLength + 1];
    std::snprintf(text, sizeof text, "%s%i", kNoteNames[nameIdx], octave);
    SetDisplayText(static_cast<double>(i), text);
  }
}

void IParam::Init(const IParam& other, const char* searchStr, const char* replaceStr,
                  const char* newGroup) {
  if (mType == kTypeNone) mType = other.Type();

  std::string name = other.GetName();
  if (searchStr != nullptr && searchStr[0] != '\0') {
    const std::size_t at = name.find(searchStr);
    if (at != std::string::npos) {
      name.erase(at, std::strlen(searchStr));
      if (replaceStr != nullptr && replaceStr[0] != '\0') name.insert(at, replaceStr);
    }
  }
  const char* group = (newGroup != nullptr && newGroup[0] != '\0') ? newGroup : other.GetGroup();

  InitDouble(name.c_str(), other.GetDefault(), other.GetMin(), other.GetMax(), other.GetStep(),
             other.mLabel, other.GetFlags(), group, other.GetShape(), other.Unit(),
             other.mDisplayFunction);
  for (const DisplayText& entry : other.mDisplayTexts) SetDisplayText(entry.mValue, entry.mText);
}

// ---------------------------------------------------------------------------- display texts

void IParam::SetDisplayText(double value, const char* text) {
  DisplayText entry;
  entry.mValue = value;
  CopyText(entry.mText, text);
  mDisplayTexts.push_back(entry);
}

int IParam::NDisplayTexts() const {
  return static_cast<int>(mDisplayTexts.size());
}

const char* IParam::GetDisplayTextAtIdx(int index, double* value) const {
  if (index < 0 || index >= NDisplayTexts()) return "";
  const DisplayText& entry = mDisplayTexts[static_cast<std::size_t>(index)];
  if (value != nullptr) *value = entry.mValue;
  return entry.mText;
}

const char* IParam::GetDisplayText(double value) const {
  for (const DisplayText& entry : mDisplayTexts) {
    if (entry.mValue == value) return entry.mText;
  }
  return "";
}

bool IParam::MapDisplayText(const char* text, double* value) const {
  if (text == nullptr) return false;
  for (const DisplayText& entry : mDisplayTexts) {
    if (std::strcmp(entry.mText, text) == 0) {
      if (value != nullptr) *value = entry.mValue;
      return true;
    }
  }
  return false;
}

// -------------------------------------------------------------------------------- accessors

const char* IParam::GetLabel() const {
  if (!mDisplayTexts.empty()) {
    const char* text = GetDisplayText(std::trunc(Value()));
    if (text[0] != '\0') return "";
  }
  return mLabel;
}

void IParam::GetBounds(double& lo, double& hi) const {
  lo = mMin;
  hi = mMax;
}

double IParam::GetDefault(bool normalized) const {
  return normalized ? ToNormalized(mDefault) : mDefault;
}

IParam::EShapeID IParam::GetShapeID() const {
  const Shape* shape = mShape.get();
  if (dynamic_cast<const ShapeLinear*>(shape) != nullptr) return kShapeLinear;
  if (dynamic_cast<const ShapePowCurve*>(shape) != nullptr) return kShapePowCurve;
  if (dynamic_cast<const ShapeExp*>(shape) != nullptr) return kShapeExponential;
  return kShapeUnknown;
}

double IParam::GetShapeValue() const {
  if (const auto* pow = dynamic_cast<const ShapePowCurve*>(mShape.get())) return pow->GetShape();
  return 0.0;
}

IParam::EDisplayType IParam::GetDisplayType() const {
  return mShape->GetDisplayType();
}

// ---------------------------------------------------------------------------------- values

double IParam::RoundToStep(double value) const {
  // std::round rounds halves away from zero. A step of 0 (or less) has no grid to round to.
  if (!(mStep > 0.0)) return value;
  return mStep * std::round(value / mStep);
}

double IParam::Constrain(double value) const {
  // A NaN would pass every comparison below and reach the audio as NaN.
  if (std::isnan(value)) value = std::isnan(mDefault) ? mMin : mDefault;
  if (GetStepped()) value = RoundToStep(value);
  if (value < mMin) return mMin;
  if (value > mMax) return mMax;
  return value;
}

double IParam::ToNormalized(double value) const {
  const double n = mShape->ValueToNormalized(Constrain(value), *this);
  if (!(n > 0.0)) return 0.0;  // also catches NaN
  return n < 1.0 ? n : 1.0;
}

double IParam::FromNormalized(double normalized) const {
  return Constrain(mShape->NormalizedToValue(normalized, *this));
}

// -------------------------------------------------------------------------------------- text

void IParam::GetDisplay(double value, bool normalized, std::string& display,
                        bool withDisplayText) const {
  if (normalized) value = FromNormalized(value);

  if (mDisplayFunction) {
    mDisplayFunction(value, display);
    return;
  }

  if (withDisplayText) {
    const char* text = GetDisplayText(value);
    if (text[0] != '\0') {
      display = text;
      return;
    }
  }

  // Zero never shows with a minus sign, whatever the flags say.
  double shown = 0.0;
  if (value != 0.0) shown = GetNegateDisplay() ? -value : value;

  char buf[64];
  if (mDisplayPrecision == 0) {
    // "%d" of the value rounded halves away from zero; printed from the rounded double so that
    // values beyond the int range cannot overflow, and with +0.0 so that -0.4 shows "0".
    double rounded = std::round(shown);
    if (rounded == 0.0) rounded = 0.0;
    std::snprintf(buf, sizeof buf, "%.0f", rounded);
  } else if (value != 0.0 && GetSignDisplay()) {
    char format[16];
    std::snprintf(format, sizeof format, "%%+.%df", mDisplayPrecision);
    std::snprintf(buf, sizeof buf, format, shown);
  } else {
    std::snprintf(buf, sizeof buf, "%.*f", mDisplayPrecision, shown);
  }
  display = buf;
  LimitDisplay(display);
}

void IParam::GetDisplay(std::string& display, bool withDisplayText) const {
  GetDisplay(Value(), false, display, withDisplayText);
}

void IParam::GetDisplayWithLabel(std::string& display, bool withDisplayText) const {
  GetDisplay(Value(), false, display, withDisplayText);
  const char* label = GetLabel();
  if (label[0] != '\0') {
    display += ' ';
    display += label;
  }
}

double IParam::StringToValue(const char* text) const {
  if (text == nullptr) text = "";
  double mapped = 0.0;
  if (MapDisplayText(text, &mapped)) return mapped;
  if (mType == kTypeBool || mType == kTypeEnum) return 0.0;

  double v = strtod_l(LeadingDecimal(text).c_str(), nullptr, CLocale());  // 0 without a number
  if (GetNegateDisplay()) v = -v;
  return Constrain(v);
}

void IParam::GetJSON(std::string& json, int index) const {
  // Each piece is formatted into a bounded buffer, as a fixed-size field would be.
  constexpr std::size_t kPieceMax = 8192;
  char piece[kPieceMax + 1];
  const auto append = [&](const char* format, auto... args) {
    std::snprintf(piece, sizeof piece, format, args...);
    json += piece;
  };
  json += "{";
  append("\"id\":%i, ", index);
  append("\"name\":\"%s\", ", mName);
  switch (mType) {
    case kTypeBool:
      json += "\"type\":\"bool\", ";
      break;
    case kTypeInt:
      json += "\"type\":\"int\", ";
      break;
    case kTypeEnum:
      json += "\"type\":\"enum\", ";
      break;
    case kTypeDouble:
      json += "\"type\":\"float\", ";
      break;
    case kTypeNone:
      break;
  }
  append("\"min\":%f, ", mMin);
  append("\"max\":%f, ", mMax);
  append("\"default\":%f, ", mDefault);
  append("\"display_type\":%i, ", static_cast<int>(GetDisplayType()));
  json += "\"rate\":\"control\"";
  json += "}";
}

}  // namespace plug
