#pragma once

#include "algebra/DualQuaternion.h"
#include "algebra/Pose.h"
#include "sensor/sources/Source.h"

#include <QVector3D>

namespace support {

// A tracked person standing 2 m from the camera with all 25 joints set,
// shifted sideways by offsetX metres; the right hand's centre, tip and thumb
// are the given points.
camera::Body standingBody(const QVector3D &handCentre, const QVector3D &handTip,
    const QVector3D &thumbTip, HandState handLeftState = HandState_Unknown, float offsetX = 0.0f);
// The same with the right hand held up in front of the chest.
camera::Body standingBody(HandState handLeftState = HandState_Unknown, float offsetX = 0.0f);

// A body frame with body in the given slot and the other slots empty.
camera::BodyFrame frameWith(const camera::Body &body, int slot = 0);

// The pose capture makes of a body's right hand, computed through the pose
// list's own construction.
DualQuaternion handPose(const camera::Body &body, PoseMode mode);

} // namespace support
