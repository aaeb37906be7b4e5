#pragma once

#include "sensor/KinectSdk.h"

namespace camera {

// The joint types' names without their "JointType_" prefix, indexed by
// JointType: how recordings, messages and body streams spell them.
inline constexpr const char *jointNames[JointType_Count]
    = { "SpineBase", "SpineMid", "Neck", "Head", "ShoulderLeft", "ElbowLeft", "WristLeft",
          "HandLeft", "ShoulderRight", "ElbowRight", "WristRight", "HandRight", "HipLeft",
          "KneeLeft", "AnkleLeft", "FootLeft", "HipRight", "KneeRight", "AnkleRight", "FootRight",
          "SpineShoulder", "HandTipLeft", "ThumbLeft", "HandTipRight", "ThumbRight" };

} // namespace camera
