// Build: resources and the twelve controls of the editor, in drawing order.
#include "ui/Build.h"

#include "core/TovraSat.h"
#include "gfx/IGfx.h"
#include "ui/GainDisplay.h"
#include "ui/GainTicks.h"
#include "ui/Headroom.h"
#include "ui/HqBadge.h"
#include "ui/Knob.h"
#include "ui/Plate.h"
#include "ui/PlateGeometry.h"
#include "ui/PresetBar.h"
#include "ui/SizeButton.h"
#include "ui/Toggle.h"
#include "ui/TrimReadout.h"
#include "ui/TrimTicks.h"

namespace TovraUI {

using namespace plug::gfx;

void Build(IGfx* g, TovraSat* plugin) {
  if (!g || !plugin) return;
  const float s = static_cast<float>(g->Width()) / kPlateWidth;
  auto plate = [s](float l, float t, float r, float b) { return IRECT(l, t, r, b).GetScaled(s); };

  // A resource that is missing or broken yields nothing to draw; the controls cope (Plate, Knob).
  g->LoadFont("Plain", "Roboto-Regular.ttf");
  const IBitmap plateImage = g->LoadBitmap("tovra_plate.png", 1, false, 0);
  const IBitmap capBig = g->LoadBitmap("cap_big.png", 1, false, 0);
  const IBitmap capSmall = g->LoadBitmap("cap_small.png", 1, false, 0);

  constexpr IColor kLampRed(255, 255, 40, 25);
  g->AttachControl(new Plate(g->GetBounds(), s, plateImage));
  g->AttachControl(new SizeButton(s, plugin));
  if (plugin->IsHq()) g->AttachControl(new HqBadge(s));
  g->AttachControl(new TrimTicks(plate(194, 1545, 464, 1815), TovraSat::kOutputTrim, s));
  g->AttachControl(new TrimReadout(plate(214, 1768, 444, 1812), TovraSat::kOutputTrim, s));
  g->AttachControl(new PresetBar(s, plugin), TovraSat::kPresetBarCtrlTag);
  g->AttachControl(new GainDisplay(plate(188, 188, 478, 388), TovraSat::kGain, s));
  g->AttachControl(new Headroom(s, plugin), TovraSat::kMeterCtrlTag);
  g->AttachControl(new Toggle(s, 575.f, 570.f, TovraSat::k48V, kLampRed, "48V"));
  g->AttachControl(new Toggle(s, 768.f, 766.f, TovraSat::kBypass, kLampRed, "Bypass"));
  g->AttachControl(new GainTicks(plate(82, 1116, 582, 1616), TovraSat::kGain, s));
  g->AttachControl(new Knob(plate(167, 1201, 497, 1531), TovraSat::kGain, s, 332.f, 1366.f, capBig,
                            260.f, 0.0, "Gain", 4.0));
  g->AttachControl(new Knob(plate(254, 1605, 404, 1755), TovraSat::kOutputTrim, s, 329.f, 1680.f,
                            capSmall, 118.f, 45.0, "Output trim (-24 to +12 dB)", 7.0));
}

}  // namespace TovraUI
