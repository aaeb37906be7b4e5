#include "sensor/sources/HandBodyBuilder.h"

#include <cmath>
#include <limits>

namespace camera {

using handfit::landmarkCount;
using handfit::Mat3;
using handfit::Pixel;
using handfit::Vec3;
using handfit::operator+;
using handfit::operator*;

namespace {

    constexpr UINT64 handTrackingId = 1;

    // A hand seen within this time, no farther than this many hand sizes
    // (wrist to middle knuckle) from where a side's hand was, is that hand.
    constexpr std::int64_t trackMicroseconds = 500000;
    constexpr double sameHandDistance = 1.0;

    // Where the right hand's tip and thumb joints lie from its centre, in the
    // hand's own axes (x toward the thumb, y toward the fingers), metres: the
    // depth camera's usual distances.
    constexpr double tipAlongY = 0.085;
    constexpr double thumbAlongX = 0.05;
    constexpr double thumbAlongY = 0.035;

    // One hand's landmarks as an unmirrored camera would have seen them, in
    // the picture's camera axes (x right, y down, z forward).
    struct CameraHand {
        std::array<Pixel, landmarkCount> pixels;
        std::array<Vec3, landmarkCount> world;
    };

    CameraHand unmirrored(const LandmarkHand &hand, const LandmarkFrame &frame)
    {
        // Mirroring flips x in the picture and in the model's 3D points alike.
        const double sign = frame.mirrored ? -1.0 : 1.0;
        CameraHand result;
        for (std::size_t i = 0; i < landmarkCount; ++i) {
            const double u = hand.image[i][0];
            result.pixels[i] = { frame.mirrored ? frame.width - u : u, hand.image[i][1] };
            result.world[i] = { sign * hand.world[i][0], hand.world[i][1], hand.world[i][2] };
        }
        return result;
    }

    // The tracker's axes from the picture's: X to the camera's left, Y up.
    CameraSpacePoint trackerPoint(const Vec3 &p)
    {
        return CameraSpacePoint { float(-p[0]), float(-p[1]), float(p[2]) };
    }

    void setJoint(Body &body, JointType type, const Vec3 &p)
    {
        Joint &joint = body.joints[std::size_t(type)];
        joint.Position = trackerPoint(p);
        const bool finite = std::isfinite(joint.Position.X) && std::isfinite(joint.Position.Y)
            && std::isfinite(joint.Position.Z);
        joint.TrackingState = finite ? TrackingState_Tracked : TrackingState_NotTracked;
    }

    Vec3 column(const Mat3 &m, std::size_t c) { return { m[0][c], m[1][c], m[2][c] }; }

} // namespace

HandState HandOpenness::update(double ratio)
{
    if (std::isnan(ratio))
        return m_state;
    if (m_state == HandState_Open || m_state == HandState_Closed) {
        if (ratio < closeBelow)
            m_state = HandState_Closed;
        else if (ratio > openAbove)
            m_state = HandState_Open;
    } else {
        m_state = ratio < 0.5 * (closeBelow + openAbove) ? HandState_Closed : HandState_Open;
    }
    return m_state;
}

HandBodyBuilder::HandBodyBuilder(double horizontalFovDegrees)
    : m_horizontalFov(horizontalFovDegrees)
{
}

HandBodyBuilder::HandBodyBuilder(double horizontalFovDegrees, const handfit::FitSettings &settings)
    : m_horizontalFov(horizontalFovDegrees)
    , m_fit(settings)
{
}

void HandBodyBuilder::reset()
{
    m_fit.reset();
    m_leftOpenness.reset();
    m_rightOpenness.reset();
    m_previousFitTime = 0;
    m_rightTrack = HandTrack();
    m_leftTrack = HandTrack();
    m_lastChoice = HandChoice();
}

HandBodyBuilder::HandChoice HandBodyBuilder::chooseHands(const LandmarkFrame &frame)
{
    struct Seen {
        bool labelledOperatorsRight;
        std::array<double, 2> palm; // unmirrored pixels
        double size; // wrist to middle knuckle, pixels
    };
    std::vector<Seen> seen;
    for (std::size_t i = 0; i < std::min<std::size_t>(frame.hands.size(), 2); ++i) {
        const LandmarkHand &hand = frame.hands[i];
        std::array<double, 2> palm { 0.0, 0.0 };
        for (std::size_t k : { 0, 5, 9, 13, 17 }) {
            palm[0] += 0.2 * hand.image[k][0];
            palm[1] += 0.2 * hand.image[k][1];
        }
        if (frame.mirrored)
            palm[0] = frame.width - palm[0];
        const double size
            = std::hypot(hand.image[9][0] - hand.image[0][0], hand.image[9][1] - hand.image[0][1]);
        seen.push_back({ hand.labelledRight == frame.mirrored, palm, size });
    }
    // How far, in hand sizes, a hand is from where a side's hand was last
    // seen; infinite when that side was not seen lately.
    auto distance = [&](const Seen &hand, const HandTrack &track) {
        if (!track.seen || frame.timeMicroseconds - track.time > trackMicroseconds
            || frame.timeMicroseconds < track.time || !(hand.size > 0.0))
            return std::numeric_limits<double>::infinity();
        return std::hypot(hand.palm[0] - track.u, hand.palm[1] - track.v) / hand.size;
    };

    HandChoice choice;
    if (seen.size() == 1) {
        const double toRight = distance(seen[0], m_rightTrack);
        const double toLeft = distance(seen[0], m_leftTrack);
        if (std::min(toRight, toLeft) < sameHandDistance)
            (toRight <= toLeft ? choice.right : choice.left) = 0;
        else
            (seen[0].labelledOperatorsRight ? choice.right : choice.left) = 0;
    } else if (seen.size() == 2) {
        const double kept = distance(seen[0], m_rightTrack) + distance(seen[1], m_leftTrack);
        const double swapped = distance(seen[1], m_rightTrack) + distance(seen[0], m_leftTrack);
        bool firstIsRight;
        if (std::isfinite(std::min(kept, swapped)))
            firstIsRight = kept <= swapped;
        else if (seen[0].labelledOperatorsRight != seen[1].labelledOperatorsRight)
            firstIsRight = seen[0].labelledOperatorsRight;
        else
            firstIsRight = seen[0].palm[0] < seen[1].palm[0];
        choice.right = firstIsRight ? 0 : 1;
        choice.left = firstIsRight ? 1 : 0;
    }
    for (const auto &[index, track] :
        { std::pair { choice.right, &m_rightTrack }, std::pair { choice.left, &m_leftTrack } }) {
        if (index < 0)
            continue;
        const Seen &hand = seen[std::size_t(index)];
        *track = HandTrack { true, hand.palm[0], hand.palm[1], frame.timeMicroseconds };
    }
    return choice;
}

Body HandBodyBuilder::bodyFrom(const LandmarkFrame &frame)
{
    Body body;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (int j = 0; j < JointType_Count; ++j) {
        Joint &joint = body.joints[std::size_t(j)];
        joint.JointType = JointType(j);
        joint.TrackingState = TrackingState_NotTracked;
        joint.Position = trackerPoint({ nan, nan, nan });
    }
    body.handLeftState = HandState_NotTracked;
    body.handRightState = HandState_NotTracked;
    const HandChoice choice = chooseHands(frame);
    m_lastChoice = choice;
    if ((choice.right < 0 && choice.left < 0) || frame.width <= 0 || frame.height <= 0)
        return body;
    body.tracked = true;
    body.trackingId = handTrackingId;
    const handfit::Pinhole pinhole
        = handfit::pinholeFromFieldOfView(frame.width, frame.height, m_horizontalFov);

    if (choice.left >= 0) {
        const CameraHand hand = unmirrored(frame.hands[std::size_t(choice.left)], frame);
        body.handLeftState = m_leftOpenness.update(handfit::opennessRatio(hand.world));
        const Vec3 t = handfit::solveTranslation(
            hand.world.data(), hand.pixels.data(), nullptr, landmarkCount, pinhole);
        const Vec3 centre = 0.2
            * (hand.world[0] + hand.world[5] + hand.world[9] + hand.world[13] + hand.world[17]);
        setJoint(body, JointType_HandLeft, centre + t);
        setJoint(body, JointType_HandTipLeft, hand.world[12] + t);
        setJoint(body, JointType_ThumbLeft, hand.world[4] + t);
        setJoint(body, JointType_WristLeft, hand.world[0] + t);
    }

    if (choice.right >= 0) {
        const CameraHand hand = unmirrored(frame.hands[std::size_t(choice.right)], frame);
        body.handRightState = m_rightOpenness.update(handfit::opennessRatio(hand.world));
        const double seconds
            = m_fit.hasPrevious() ? double(frame.timeMicroseconds - m_previousFitTime) * 1e-6 : 0.0;
        const handfit::RigidPose pose = m_fit.fit(
            hand.pixels, hand.world, pinhole, seconds, body.handRightState == HandState_Closed);
        if (m_fit.hasPrevious())
            m_previousFitTime = frame.timeMicroseconds;
        const Vec3 x = column(pose.rotation, 0);
        const Vec3 y = column(pose.rotation, 1);
        const Vec3 &centre = pose.translation;
        setJoint(body, JointType_HandRight, centre);
        setJoint(body, JointType_HandTipRight, centre + tipAlongY * y);
        setJoint(body, JointType_ThumbRight, centre + thumbAlongX * x + thumbAlongY * y);
        setJoint(body, JointType_WristRight, pose.rotation * m_fit.handTemplate()[0] + centre);
    }
    return body;
}

} // namespace camera
