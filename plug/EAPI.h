// Which host interface a build serves.
#pragma once

namespace plug {

enum EAPI : int {
  kAPIVST2 = 0,
  kAPIVST3 = 1,
  kAPIAU = 2,
  kAPIAUv3 = 3,
  kAPIAAX = 4,
  kAPIAPP = 5,
  kAPIWAM = 6,
  kAPIWEB = 7,
  kAPICLAP = 8
};

}  // namespace plug
