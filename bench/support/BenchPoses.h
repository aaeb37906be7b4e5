#pragma once

#include "algebra/DualQuaternion.h"
#include "sensor/sources/Source.h"

#include <vector>

namespace bench {

// n key poses as spatial capture stores them, from a right hand that sweeps
// once along a smooth loop in front of the camera (about 0.4 m wide, 1.6 to
// 2.0 m away) while turning by up to 150°: neighbouring poses are close, as
// when shown continuous poses become key positions.
std::vector<DualQuaternion> sweptKeyPoses(int n);

// A body frame holding the demonstration operator of body frame index.
camera::BodyFrame demoBodyFrame(std::int64_t index);

} // namespace bench
