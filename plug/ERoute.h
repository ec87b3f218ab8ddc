// Direction of a bus or channel; every per-direction member of the processor exists twice.
#pragma once

namespace plug {

enum ERoute : int { kInput = 0, kOutput = 1 };

}  // namespace plug
