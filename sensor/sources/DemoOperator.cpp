#include "sensor/sources/DemoOperator.h"

#include <algorithm>
#include <cmath>

namespace camera {

namespace {

    // The script's timing, in frames of a cycle.
    constexpr int firstMoveAt = 90;
    constexpr int moveFrames = 30;
    constexpr int holdFrames = 150;
    constexpr int poseCount = 8;
    constexpr int leftRaiseAt = 60;
    constexpr int leftLowerAt = 1536;
    constexpr int leftMoveFrames = 21;

    // Hand geometry, metres, in the hand's own frame (y toward the fingers,
    // x toward the thumb).
    const QVector3D tipOffset(0.0f, 0.085f, 0.0f);
    const QVector3D thumbOffset(0.05f, 0.035f, 0.0f);
    const QVector3D wristOffset(0.0f, -0.07f, 0.0f);
    const QVector3D fistTipOffset(0.0f, 0.05f, 0.0f);
    const QVector3D fistThumbOffset(0.035f, 0.03f, 0.0f);
    constexpr float upperArm = 0.29f;
    constexpr float forearm = 0.27f;

    // Where the body stands: shoulders 0.5 m above the camera, 2 m away.
    const QVector3D shoulderLeft(-0.18f, 0.50f, 2.0f);
    const QVector3D shoulderRight(0.18f, 0.50f, 2.0f);

    struct HandPose {
        QVector3D centre;
        QQuaternion orientation;
    };

    // Fingers up, palm toward the camera: the right thumb points to -X.
    QQuaternion palmForward() { return QQuaternion::fromAxisAndAngle(0.0f, 1.0f, 0.0f, 180.0f); }

    const HandPose &rightRest()
    {
        // Hanging by the side: fingers down, thumb toward the camera.
        static const HandPose pose { QVector3D(0.25f, -0.08f, 1.97f),
            QQuaternion::fromAxes(QVector3D(0.0f, 0.0f, -1.0f), QVector3D(0.0f, -1.0f, 0.0f),
                QVector3D(-1.0f, 0.0f, 0.0f)) };
        return pose;
    }

    const HandPose &leftRest()
    {
        static const HandPose pose { QVector3D(-0.25f, -0.08f, 1.97f),
            QQuaternion::fromAxes(QVector3D(0.0f, 0.0f, -1.0f), QVector3D(0.0f, -1.0f, 0.0f),
                QVector3D(-1.0f, 0.0f, 0.0f)) };
        return pose;
    }

    const HandPose &leftRaised()
    {
        // A fist in front of the chest, thumb toward the body's middle.
        static const HandPose pose { QVector3D(-0.10f, 0.22f, 1.72f), QQuaternion() };
        return pose;
    }

    // The eight shown poses: positions and orientations at least 30 degrees
    // apart from one another, all within reach of the right shoulder.
    const std::vector<HandPose> &shownPoses()
    {
        static const std::vector<HandPose> poses = [] {
            const QQuaternion base = palmForward();
            auto turned = [&](float x, float y, float z, float degrees) {
                return QQuaternion::fromAxisAndAngle(x, y, z, degrees) * base;
            };
            return std::vector<HandPose> {
                { QVector3D(0.28f, 0.22f, 1.72f), base },
                { QVector3D(0.10f, 0.36f, 1.68f), turned(0.0f, 0.0f, 1.0f, 55.0f) },
                { QVector3D(0.32f, 0.10f, 1.66f), turned(1.0f, 0.0f, 0.0f, -65.0f) },
                { QVector3D(0.20f, 0.42f, 1.78f), turned(0.0f, 1.0f, 0.0f, 75.0f) },
                { QVector3D(0.36f, 0.30f, 1.74f), turned(1.0f, 1.0f, 0.0f, 60.0f) },
                { QVector3D(0.06f, 0.16f, 1.68f), turned(0.0f, 0.0f, 1.0f, 95.0f) },
                { QVector3D(0.27f, 0.14f, 1.78f),
                    QQuaternion::fromAxisAndAngle(1.0f, 0.0f, 0.0f, 40.0f)
                        * turned(0.0f, 1.0f, 0.0f, -50.0f) },
                { QVector3D(0.16f, 0.30f, 1.64f), turned(0.0f, 1.0f, 1.0f, -110.0f) },
            };
        }();
        return poses;
    }

    // Eases in and out: 0 at 0, 1 at 1, flat at both ends.
    float smoothStep(float t)
    {
        t = std::min(std::max(t, 0.0f), 1.0f);
        return t * t * (3.0f - 2.0f * t);
    }

    HandPose blend(const HandPose &from, const HandPose &to, float t)
    {
        const float s = smoothStep(t);
        return HandPose { from.centre + (to.centre - from.centre) * s,
            QQuaternion::slerp(from.orientation, to.orientation, s) };
    }

    HandPose rightHand(int frame)
    {
        const std::vector<HandPose> &poses = shownPoses();
        const int lastMoveEnd = firstMoveAt + poseCount * (moveFrames + holdFrames);
        if (frame < firstMoveAt)
            return rightRest();
        if (frame >= lastMoveEnd)
            return blend(poses.back(), rightRest(), float(frame - lastMoveEnd) / moveFrames);
        const int pose = (frame - firstMoveAt) / (moveFrames + holdFrames);
        const int intoPose = (frame - firstMoveAt) % (moveFrames + holdFrames);
        const HandPose &from = pose == 0 ? rightRest() : poses[std::size_t(pose - 1)];
        return blend(from, poses[std::size_t(pose)], float(intoPose) / moveFrames);
    }

    HandPose leftHand(int frame)
    {
        if (frame < leftLowerAt)
            return blend(leftRest(), leftRaised(), float(frame - leftRaiseAt) / leftMoveFrames);
        return blend(leftRaised(), leftRest(), float(frame - leftLowerAt) / leftMoveFrames);
    }

    // Deterministic noise in [-1, 1] for one coordinate of one joint in one
    // frame (an integer hash, so that every run sees the same operator).
    float noise(std::uint32_t frame, std::uint32_t joint, std::uint32_t axis)
    {
        std::uint32_t h = frame * 0x9E3779B1u ^ (joint * 0x85EBCA77u + axis * 0xC2B2AE3Du);
        h ^= h >> 16;
        h *= 0x7FEB352Du;
        h ^= h >> 15;
        h *= 0x846CA68Bu;
        h ^= h >> 16;
        return float(h & 0xFFFFu) / 32767.5f - 1.0f;
    }

    // The elbow of an arm from shoulder to wrist, bent toward pole.
    QVector3D elbow(const QVector3D &shoulder, const QVector3D &wrist, const QVector3D &pole)
    {
        const QVector3D toWrist = wrist - shoulder;
        const float reach
            = std::min(std::max(toWrist.length(), 0.05f), upperArm + forearm - 0.001f);
        const QVector3D along = toWrist.normalized();
        const float a = (upperArm * upperArm - forearm * forearm + reach * reach) / (2.0f * reach);
        const float h = std::sqrt(std::max(upperArm * upperArm - a * a, 0.0f));
        const QVector3D bend = (pole - along * QVector3D::dotProduct(pole, along)).normalized();
        return shoulder + along * a + bend * h;
    }

    void setJoint(Body &body, JointType type, const QVector3D &p)
    {
        Joint &joint = body.joints[std::size_t(type)];
        joint.JointType = type;
        joint.Position = CameraSpacePoint { p.x(), p.y(), p.z() };
        joint.TrackingState = TrackingState_Tracked;
    }

    struct Arm {
        JointType shoulder, elbow, wrist, hand, handTip, thumb;
    };

    // An arm whose hand is at pose, its elbow bent toward pole; the
    // shoulder must be set already.
    void setArm(Body &body, const Arm &arm, const HandPose &pose, const QVector3D &tip,
        const QVector3D &thumb, const QVector3D &pole)
    {
        const QVector3D wrist = pose.centre + pose.orientation.rotatedVector(wristOffset);
        const CameraSpacePoint &s = body.joints[std::size_t(arm.shoulder)].Position;
        setJoint(body, arm.hand, pose.centre);
        setJoint(body, arm.handTip, pose.centre + pose.orientation.rotatedVector(tip));
        setJoint(body, arm.thumb, pose.centre + pose.orientation.rotatedVector(thumb));
        setJoint(body, arm.wrist, wrist);
        setJoint(body, arm.elbow, elbow(QVector3D(s.X, s.Y, s.Z), wrist, pole));
    }

} // namespace

const std::vector<DemoOperator::HeldPose> &DemoOperator::heldPoses()
{
    static const std::vector<HeldPose> held = [] {
        std::vector<HeldPose> result;
        const std::vector<HandPose> &poses = shownPoses();
        for (int i = 0; i < poseCount; ++i) {
            const HandPose &pose = poses[std::size_t(i)];
            const int first = firstMoveAt + i * (moveFrames + holdFrames) + moveFrames;
            result.push_back(HeldPose { first, first + holdFrames - 1, pose.orientation,
                pose.centre, pose.centre + pose.orientation.rotatedVector(tipOffset),
                pose.centre + pose.orientation.rotatedVector(thumbOffset) });
        }
        return result;
    }();
    return held;
}

Body DemoOperator::body(std::int64_t frameIndex)
{
    const int frame = int(frameIndex % cycleFrames);
    const float seconds = float(frameIndex % (cycleFrames * 100)) / framesPerSecond;
    // Slow sway and breathing of the trunk, a few millimetres.
    const QVector3D sway(
        0.004f * std::sin(1.3f * seconds), 0.003f * std::sin(1.6f * seconds), 0.0f);

    Body body;
    body.tracked = true;
    body.trackingId = 72057594037928001ull;
    body.handLeftState
        = frame >= leftHandClosesAt && frame < leftHandOpensAt ? HandState_Closed : HandState_Open;
    body.handRightState = HandState_Open;

    setJoint(body, JointType_SpineBase, QVector3D(0.0f, 0.05f, 2.02f));
    setJoint(body, JointType_SpineMid, QVector3D(0.0f, 0.30f, 2.03f) + sway * 0.5f);
    setJoint(body, JointType_SpineShoulder, QVector3D(0.0f, 0.53f, 2.02f) + sway);
    setJoint(body, JointType_Neck, QVector3D(0.0f, 0.60f, 2.01f) + sway);
    setJoint(body, JointType_Head, QVector3D(0.0f, 0.72f, 1.99f) + sway);
    setJoint(body, JointType_ShoulderLeft, shoulderLeft + sway);
    setJoint(body, JointType_ShoulderRight, shoulderRight + sway);
    setJoint(body, JointType_HipLeft, QVector3D(-0.10f, 0.0f, 2.02f));
    setJoint(body, JointType_KneeLeft, QVector3D(-0.11f, -0.43f, 1.99f));
    setJoint(body, JointType_AnkleLeft, QVector3D(-0.12f, -0.83f, 2.03f));
    setJoint(body, JointType_FootLeft, QVector3D(-0.14f, -0.88f, 1.93f));
    setJoint(body, JointType_HipRight, QVector3D(0.10f, 0.0f, 2.02f));
    setJoint(body, JointType_KneeRight, QVector3D(0.11f, -0.43f, 1.99f));
    setJoint(body, JointType_AnkleRight, QVector3D(0.12f, -0.83f, 2.03f));
    setJoint(body, JointType_FootRight, QVector3D(0.14f, -0.88f, 1.93f));

    setArm(body,
        Arm { JointType_ShoulderRight, JointType_ElbowRight, JointType_WristRight,
            JointType_HandRight, JointType_HandTipRight, JointType_ThumbRight },
        rightHand(frame), tipOffset, thumbOffset, QVector3D(0.7f, -1.0f, 0.3f));
    setArm(body,
        Arm { JointType_ShoulderLeft, JointType_ElbowLeft, JointType_WristLeft, JointType_HandLeft,
            JointType_HandTipLeft, JointType_ThumbLeft },
        leftHand(frame), fistTipOffset, fistThumbOffset, QVector3D(-0.7f, -1.0f, 0.3f));

    // Tracker noise: at most 1.5 mm on each axis, under 2.6 mm in all.
    for (int j = 0; j < JointType_Count; ++j) {
        CameraSpacePoint &p = body.joints[std::size_t(j)].Position;
        const auto f = std::uint32_t(frameIndex);
        p.X += 0.0015f * noise(f, std::uint32_t(j), 0);
        p.Y += 0.0015f * noise(f, std::uint32_t(j), 1);
        p.Z += 0.0015f * noise(f, std::uint32_t(j), 2);
    }
    return body;
}

} // namespace camera
