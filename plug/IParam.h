// One plug-in parameter: typed value with range, step, shape, unit, flags and display texts.
#pragma once

#include <atomic>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace plug {

// A parameter is initialised once on the main thread, before the host can render; after that
// only its value changes. The value is the one field shared between threads: it is an atomic
// double with sequentially consistent loads and stores, so the render thread may read it while
// the main thread or a host thread writes it. Every other field is read without synchronisation.
//
// Texts (name, label, group, display texts) hold at most kMaxTextLength characters; longer texts
// are cut there, never written past a field.
class IParam {
 public:
  static constexpr int kMaxTextLength = 31;

  enum EParamType : int {
    kTypeNone = 0,
    kTypeBool = 1,
    kTypeInt = 2,
    kTypeEnum = 3,
    kTypeDouble = 4
  };

  enum EParamUnit : int {
    kUnitPercentage = 0,
    kUnitSeconds = 1,
    kUnitMilliseconds = 2,
    kUnitSamples = 3,
    kUnitDB = 4,
    kUnitLinearGain = 5,
    kUnitPan = 6,
    kUnitPhase = 7,
    kUnitDegrees = 8,
    kUnitMeters = 9,
    kUnitRate = 10,
    kUnitRatio = 11,
    kUnitFrequency = 12,
    kUnitOctaves = 13,
    kUnitCents = 14,
    kUnitAbsCents = 15,
    kUnitSemitones = 16,
    kUnitMIDINote = 17,
    kUnitMIDICC = 18,
    kUnitBPM = 19,
    kUnitBeats = 20,
    kUnitCustom = 21
  };

  enum EDisplayType : int {
    kDisplayLinear = 0,
    kDisplayLog = 1,
    kDisplayExp = 2,
    kDisplaySquared = 3,
    kDisplaySquareRoot = 4,
    kDisplayCubed = 5,
    kDisplayCubeRoot = 6
  };

  enum EFlags : int {
    kFlagsNone = 0,
    kFlagCannotAutomate = 0x1,  // the host is told not to automate it
    kFlagStepped = 0x2,         // stored, parsed and shown values are whole multiples of step
    kFlagNegateDisplay = 0x4,  // the number shown is the negated value; parsed text is negated back
    kFlagSignDisplay = 0x8,    // positive numbers are shown with "+"
    kFlagMeta = 0x10           // changing it changes other parameters
  };

  // Shape ids reported by GetShapeID.
  enum EShapeID : int {
    kShapeLinear = 0,
    kShapePowCurve = 1,
    kShapeExponential = 2,
    kShapeUnknown = 3
  };

  // Custom formatter: when set it replaces every other display rule.
  using DisplayFunc = std::function<void(double value, std::string& display)>;

  struct DisplayText {
    double mValue = 0.0;
    char mText[kMaxTextLength + 1] = {};
  };

  // Maps real values to and from the normalised range 0..1. Shapes are immutable after Init.
  class Shape {
   public:
    virtual ~Shape() = default;
    virtual std::unique_ptr<Shape> Clone() const = 0;
    // Called once the parameter's range is set.
    virtual void Init(const IParam& param) { (void)param; }
    virtual EDisplayType GetDisplayType() const = 0;
    virtual double NormalizedToValue(double normalized, const IParam& param) const = 0;
    virtual double ValueToNormalized(double value, const IParam& param) const = 0;
  };

  // value = min + n * (max - min)
  class ShapeLinear final : public Shape {
   public:
    std::unique_ptr<Shape> Clone() const override;
    EDisplayType GetDisplayType() const override;
    double NormalizedToValue(double normalized, const IParam& param) const override;
    double ValueToNormalized(double value, const IParam& param) const override;
  };

  // value = min + (max - min) * n^s
  class ShapePowCurve final : public Shape {
   public:
    explicit ShapePowCurve(double shape);
    std::unique_ptr<Shape> Clone() const override;
    EDisplayType GetDisplayType() const override;
    double NormalizedToValue(double normalized, const IParam& param) const override;
    double ValueToNormalized(double value, const IParam& param) const override;
    double GetShape() const { return mShape; }

   private:
    double mShape;
  };

  // value = exp(a + n * m) with a = ln(base), m = ln(max / base), base = min when min > 0,
  // else 1e-8 (a logarithm needs a positive anchor).
  class ShapeExp final : public Shape {
   public:
    std::unique_ptr<Shape> Clone() const override;
    void Init(const IParam& param) override;
    EDisplayType GetDisplayType() const override;
    double NormalizedToValue(double normalized, const IParam& param) const override;
    double ValueToNormalized(double value, const IParam& param) const override;

   private:
    double mMul = 1.0;
    double mAdd = 0.0;
  };

  IParam();
  ~IParam();
  IParam(const IParam&) = delete;
  IParam& operator=(const IParam&) = delete;

  // --- Initialisers. Threads: main, during construction. Each sets the type only while it is
  // still kTypeNone, so the outermost initialiser decides it; all end in InitDouble.

  void InitDouble(const char* name, double defaultVal, double minVal, double maxVal, double step,
                  const char* label = "", int flags = 0, const char* group = "",
                  const Shape& shape = ShapeLinear{}, EParamUnit unit = kUnitCustom,
                  DisplayFunc displayFunc = nullptr);
  void InitInt(const char* name, int defaultVal, int minVal, int maxVal, const char* label = "",
               int flags = 0, const char* group = "");
  // Without item texts: an enum of count entries and no display texts.
  void InitEnum(const char* name, int defaultVal, int count, const char* label = "", int flags = 0,
                const char* group = "");
  // With item texts: display texts 0, 1, ... from the texts in order. Only the texts actually
  // passed are added (never more than count), so a short list cannot read past its end.
  template <typename... Items>
  void InitEnum(const char* name, int defaultVal, int count, const char* label, int flags,
                const char* group, const char* firstItem, Items... moreItems) {
    const char* items[] = {firstItem, moreItems...};
    InitEnumWithItems(name, defaultVal, count, label, flags, group, items,
                      static_cast<int>(sizeof...(Items)) + 1);
  }
  void InitEnum(const char* name, int defaultVal, std::initializer_list<const char*> items,
                int flags = 0, const char* group = "");
  void InitBool(const char* name, bool defaultVal, const char* label = "", int flags = 0,
                const char* group = "", const char* offText = "off", const char* onText = "on");
  void InitGain(const char* name, double defaultVal, double minVal, double maxVal, double step,
                int flags = 0, const char* group = "");
  void InitSeconds(const char* name, double defaultVal, double minVal, double maxVal, double step,
                   int flags = 0, const char* group = "");
  void InitFrequency(const char* name, double defaultVal, double minVal, double maxVal, double step,
                     int flags = 0, const char* group = "");
  void InitMilliseconds(const char* name, double defaultVal, double minVal, double maxVal,
                        int flags = 0, const char* group = "");
  void InitPercentage(const char* name, double defaultVal, double minVal, double maxVal,
                      int flags = 0, const char* group = "");
  void InitAngleDegrees(const char* name, double defaultVal, double minVal, double maxVal,
                        int flags = 0, const char* group = "");
  // An enum over the notes minNote..maxNote named like "C#3"; middleCIsC4 picks the octave count.
  void InitPitch(const char* name, int defaultVal, int minNote, int maxNote, int flags = 0,
                 const char* group = "", bool middleCIsC4 = false);
  // Copies other under a new name: the first occurrence of searchStr in its name is replaced by
  // replaceStr; newGroup, when not empty, replaces the group.
  void Init(const IParam& other, const char* searchStr = "", const char* replaceStr = "",
            const char* newGroup = "");

  // --- Display texts. Threads: main for SetDisplayText (construction only), any for reads.

  // Appends one entry; an existing entry with the same value stays first in every look-up.
  void SetDisplayText(double value, const char* text);
  int NDisplayTexts() const;
  // Text of entry index and, when value is not null, its value; "" (value untouched) when index
  // is outside the table.
  const char* GetDisplayTextAtIdx(int index, double* value = nullptr) const;
  // The first entry whose value equals value exactly, else "".
  const char* GetDisplayText(double value) const;
  // The value of the first entry whose text equals text exactly (case-sensitive).
  bool MapDisplayText(const char* text, double* value) const;

  // --- Accessors. Threads: any.

  const char* GetName() const { return mName; }
  // The label, except that a value shown by a non-empty display text gets none ("on", not "on dB").
  const char* GetLabel() const;
  const char* GetGroup() const { return mParamGroup; }
  void GetBounds(double& lo, double& hi) const;
  double GetMin() const { return mMin; }
  double GetMax() const { return mMax; }
  double GetRange() const { return mMax - mMin; }
  double GetStep() const { return mStep; }
  double GetDefault(bool normalized = false) const;
  EParamType Type() const { return mType; }
  EParamUnit Unit() const { return mUnit; }
  int GetFlags() const { return mFlags; }
  bool GetCanAutomate() const { return (mFlags & kFlagCannotAutomate) == 0; }
  bool GetStepped() const { return (mFlags & kFlagStepped) != 0; }
  bool GetNegateDisplay() const { return (mFlags & kFlagNegateDisplay) != 0; }
  bool GetSignDisplay() const { return (mFlags & kFlagSignDisplay) != 0; }
  bool GetMeta() const { return (mFlags & kFlagMeta) != 0; }
  int GetDisplayPrecision() const { return mDisplayPrecision; }
  // Threads: main, during construction.
  void SetDisplayPrecision(int precision) { mDisplayPrecision = precision; }
  EShapeID GetShapeID() const;
  // A power curve's exponent, else 0.
  double GetShapeValue() const;
  EDisplayType GetDisplayType() const;
  const Shape& GetShape() const { return *mShape; }
  bool HasDisplayFunc() const { return static_cast<bool>(mDisplayFunction); }

  // --- Values. Threads: any (atomic), except where noted.

  double Value() const { return mValue.load(std::memory_order_seq_cst); }
  bool Bool() const { return Value() >= 0.5; }
  int Int() const { return static_cast<int>(Value()); }
  void Set(double value) { mValue.store(Constrain(value), std::memory_order_seq_cst); }
  void SetNormalized(double normalized) { Set(FromNormalized(normalized)); }
  // Stores the default as given, even when it lies outside the range.
  void SetToDefault() { mValue.store(mDefault, std::memory_order_seq_cst); }
  double GetNormalized() const { return ToNormalized(Value()); }

  // Rounds to the step when stepped (halves away from zero), then clamps to min..max.
  // NaN, which no range contains, becomes the clamped default.
  double Constrain(double value) const;
  // Clamped to 0..1.
  double ToNormalized(double value) const;
  double FromNormalized(double normalized) const;

  // --- Text. Threads: main (they allocate, so never render).

  // The display text of value (normalised or real). Real values are shown as given, unclamped.
  void GetDisplay(double value, bool normalized, std::string& display,
                  bool withDisplayText = true) const;
  // The current value.
  void GetDisplay(std::string& display, bool withDisplayText = true) const;
  // The current value's display, then a blank and GetLabel() when that is not empty.
  void GetDisplayWithLabel(std::string& display, bool withDisplayText = true) const;
  // Parses user text: a display text, else 0 for bool and enum, else the leading decimal number,
  // with a full stop or a comma before its decimals under any locale.
  double StringToValue(const char* text) const;
  // Appends a one-line JSON description.
  void GetJSON(std::string& json, int index) const;

 private:
  void InitEnumWithItems(const char* name, int defaultVal, int count, const char* label, int flags,
                         const char* group, const char* const* items, int nItems);
  double RoundToStep(double value) const;

  static_assert(std::atomic<double>::is_always_lock_free);

  EParamType mType = kTypeNone;
  EParamUnit mUnit = kUnitCustom;
  std::atomic<double> mValue{0.0};
  double mMin = 0.0;
  double mMax = 1.0;
  double mStep = 1.0;
  double mDefault = 0.0;
  int mDisplayPrecision = 0;
  int mFlags = 0;
  char mName[kMaxTextLength + 1] = {};
  char mLabel[kMaxTextLength + 1] = {};
  char mParamGroup[kMaxTextLength + 1] = {};
  std::unique_ptr<Shape> mShape;
  DisplayFunc mDisplayFunction;
  std::vector<DisplayText> mDisplayTexts;
};

}  // namespace plug
