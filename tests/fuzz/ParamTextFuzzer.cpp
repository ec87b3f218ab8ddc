// ParamTextFuzzer: text a user types for a parameter (a host's value-from-string), and the display
// of any value, for every kind of parameter.
//
// Properties: a parsed value is a number inside the parameter's range and the same under a locale
// with a decimal comma as under "C"; a display is at most 31 characters for any value, NaN and
// infinities included.
#include <clocale>
#include <cmath>
#include <memory>
#include <vector>

#include "plug/IParam.h"
#include "tests/fuzz/FuzzCheck.h"

namespace {

using plug::IParam;

std::vector<std::unique_ptr<IParam>> MakeParams() {
  std::vector<std::unique_ptr<IParam>> params;
  auto add = [&params] { return params.emplace_back(std::make_unique<IParam>()).get(); };
  add()->InitDouble("Gain", 24.0, 0.0, 100.0, 1.0, "%");
  add()->InitDouble("Output Trim", 0.0, -24.0, 12.0, 0.1, "dB");
  add()->InitBool("48V", true, "", 0, "", "off", "on");
  add()->InitInt("Voices", 4, -8, 64, "", IParam::kFlagSignDisplay);
  add()->InitEnum("Mode", 1, {"Soft", "Hard", "Fold"});
  add()->InitEnum("Slot", 0, 5);  // no display texts
  add()->InitGain("Level", -6.0, -70.0, 6.0, 0.01, IParam::kFlagNegateDisplay);
  add()->InitFrequency("Cut-off", 1000.0, 20.0, 20000.0, 0.5);
  add()->InitMilliseconds("Attack", 10.0, 0.0, 500.0);
  add()->InitPercentage("Mix", 50.0, 0.0, 100.0, IParam::kFlagSignDisplay);
  add()->InitSeconds("Decay", 1.0, 0.001, 30.0, 0.001);
  add()->InitAngleDegrees("Phase", 0.0, -180.0, 180.0);
  add()->InitPitch("Note", 60, 0, 127);
  add()->InitDouble("Curve", 0.5, 0.0, 1.0, 0.000001, "", IParam::kFlagSignDisplay, "",
                    IParam::ShapePowCurve(3.0));
  add()->InitDouble("Wide", 0.0, -1e300, 1e300, 1e-5, "", IParam::kFlagStepped);
  add()->InitDouble("Shown", 0.0, 0.0, 1.0, 0.01, "", 0, "", IParam::ShapeLinear{},
                    IParam::kUnitCustom,
                    [](double v, std::string& out) { out = v > 0.5 ? "high" : "low"; });
  return params;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::vector<std::unique_ptr<IParam>> params = MakeParams();
  static const bool haveCommaLocale = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;

  fuzz::Bytes in(data, size);
  const IParam& param = *params[in.Take<std::uint8_t>() % params.size()];
  const double value = in.Take<double>();
  const bool normalized = (in.Take<std::uint8_t>() & 1) != 0;
  const std::string text = in.TakeRest();

  std::setlocale(LC_NUMERIC, "C");
  const double parsed = param.StringToValue(text.c_str());
  FUZZ_CHECK(parsed >= param.GetMin() && parsed <= param.GetMax());
  std::string display;
  param.GetDisplay(value, normalized, display);
  FUZZ_CHECK(display.size() <= IParam::kMaxTextLength);
  const double normal = param.ToNormalized(value);
  FUZZ_CHECK(normal >= 0.0 && normal <= 1.0);
  const double fromNormal = param.FromNormalized(value);
  FUZZ_CHECK(fromNormal >= param.GetMin() && fromNormal <= param.GetMax());

  if (haveCommaLocale) {
    std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    FUZZ_CHECK(param.StringToValue(text.c_str()) == parsed);
    param.GetDisplay(value, normalized, display);
    FUZZ_CHECK(display.size() <= IParam::kMaxTextLength);
    std::setlocale(LC_NUMERIC, "C");
  }
  return 0;
}
