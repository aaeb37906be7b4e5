#pragma once

// What every body a reader hands out must be, whatever the input: hand
// states within their enum, joints in joint order with finite positions (a
// joint not tracked may have none where the reader allows it) and tracking
// states within their enum.

#include "fuzz/FuzzCheck.h"
#include "sensor/sources/Source.h"

#include <cmath>

namespace fuzz {

enum class UntrackedJoints { HavePosition, MayLackPosition };

inline void checkBody(
    const camera::Body &body, UntrackedJoints untracked = UntrackedJoints::HavePosition)
{
    FUZZ_CHECK(body.handLeftState >= HandState_Unknown && body.handLeftState <= HandState_Lasso,
        QString::number(body.handLeftState));
    FUZZ_CHECK(body.handRightState >= HandState_Unknown && body.handRightState <= HandState_Lasso,
        QString::number(body.handRightState));
    for (int j = 0; j < JointType_Count; ++j) {
        const Joint &joint = body.joints[static_cast<std::size_t>(j)];
        FUZZ_CHECK(joint.JointType == j, QString::number(j));
        FUZZ_CHECK((untracked == UntrackedJoints::MayLackPosition
                       && joint.TrackingState == TrackingState_NotTracked)
                || (std::isfinite(joint.Position.X) && std::isfinite(joint.Position.Y)
                    && std::isfinite(joint.Position.Z)),
            QString::number(j));
        FUZZ_CHECK(joint.TrackingState >= TrackingState_NotTracked
                && joint.TrackingState <= TrackingState_Tracked,
            QString::number(joint.TrackingState));
    }
}

} // namespace fuzz
