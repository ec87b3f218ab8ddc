// TovraSatHQ: the HQ plug-in, TovraSat with its oversampled chain, its own codes and name.
#pragma once

#include "core/TovraSat.h"

// What the HQ component's factory makes: everything but the codes, the name, the processing
// chain and its latency is TovraSat's own.
class TovraSatHQ final : public TovraSat {
 public:
  // Threads: main.
  explicit TovraSatHQ(const plug::InstanceInfo& info) : TovraSat(info, EVariant::kHq) {}
};
