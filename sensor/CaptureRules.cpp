#include "sensor/CaptureRules.h"

#include "sensor/KinectSdk.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace Kinect {

int stillFrameCount = 0;
int gestureLatch = 0;

namespace {

    // The image points of a held hand stay within this distance of those of
    // the last moving frame, and this many still frames in a row make a key
    // position.
    constexpr double stillDistance = 0.2;
    constexpr int stillFramesPerKeyPosition = 100;
    // Half the length of the translation quaternions that turn a hand pose
    // into its two image points.
    constexpr double imagePointLength = 20.0;
    // The image points hardly see a translation (a metre moves them by
    // about 0.035), so the hand centre is held to this distance, in metres,
    // on its own: well above a tracker's jitter of a held hand, well below a
    // hand carried from one pose to the next.
    // A tracker's hand centre wanders by up to about 4 cm while the hand is
    // held (real recordings), so less would cut held poses short.
    constexpr float stillCentreDistance = 0.05f;
    // A hand slows down into a hold: the frames that end its approach are
    // already still against the last moving frame, which then lies near the
    // edge of the still region around the hold, and jitter in the hold can
    // cross that edge and restart the count long after the hand came to
    // rest. So the reference follows the hand for this many still frames
    // after a moving one (a third of a second) and stays from then on.
    constexpr int settlingFrames = 10;

    bool isFinite(const QVector3D &v)
    {
        return std::isfinite(v.x()) && std::isfinite(v.y()) && std::isfinite(v.z());
    }

    bool isFinite(const HandJoints &hand)
    {
        return isFinite(hand.centre) && isFinite(hand.tip) && isFinite(hand.thumb);
    }

} // namespace

void CaptureRules::setCountByTime(bool byTime) { m_byTime = byTime; }

CaptureEffects CaptureRules::step(
    CaptureChoice &choice, int handLeftState, const HandJoints &hand, Time frameTime)
{
    CaptureEffects effects;
    effects.recordingChanged = gestureStep(choice, handLeftState);
    if (!choice.recording)
        return effects;
    if (choice.continuous) {
        if (!isFinite(hand))
            return effects;
        if (choice.mode >= 0)
            effects.pose = poseFromMatrix(
                frameFromPoints(hand.centre, hand.tip, hand.thumb, choice.mode), choice.mode);
        effects.continuousCaptured = true;
    } else if (choice.keyPositions) {
        effects.keyPositionStored = keyPositionStep(choice.mode, hand, frameTime, effects.pose);
    }
    return effects;
}

bool CaptureRules::gestureStep(CaptureChoice &choice, int handLeftState)
{
    if (!choice.recording) {
        if (handLeftState == HandState_Closed && gestureLatch == 0) {
            gestureLatch = 1;
            choice.recording = true;
            return true;
        }
    } else if (handLeftState == HandState_Open && gestureLatch == 1) {
        gestureLatch = 0;
        choice.recording = false;
        return true;
    }
    return false;
}

bool CaptureRules::keyPositionStep(
    PoseMode mode, const HandJoints &hand, Time time, std::optional<DualQuaternion> &pose)
{
    Matrix4 frame;
    if (mode >= 0)
        frame = frameFromPoints(hand.centre, hand.tip, hand.thumb, mode);
    // A hand not seen is not held: its NaN joints make the frame move, and
    // so does the first frame after a gap. (The quaternion of a NaN matrix is
    // not computed: that would print.)
    const bool seen = isFinite(hand);
    if (!seen || (m_byTime && time - m_lastFrame > maxStillGap))
        forgetReference(time);
    m_lastFrame = time;
    if (!seen || !isStill(rotationMatrixToQuaternion(frame), hand.centre, time)) {
        stillFrameCount = 0;
        m_stillSince = time;
        return false;
    }
    ++stillFrameCount;
    if (m_byTime ? time - m_stillSince < holdTime : stillFrameCount < stillFramesPerKeyPosition)
        return false;
    m_stillSince = time;
    if (mode >= 0)
        pose = poseFromMatrix(frame, mode);
    stillFrameCount = 0;
    return true;
}

void CaptureRules::forgetReference(Time time)
{
    // A reference no pose is still against: the next pose becomes it.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    m_referenceCentre = QVector3D(nan, nan, nan);
    m_settlingFrames = settlingFrames;
    m_movedAt = time;
}

bool CaptureRules::isStill(const Quaternion &q, const QVector3D &centre, Time time)
{
    const Quaternion plus = poseQuaternionPlus(q, centre, imagePointLength);
    const Quaternion minus = poseQuaternionMinus(q, centre, imagePointLength);
    // A rotation and its negation are the same pose, and both image points
    // change sign with q: the distance is the smaller of the two. Without
    // this, a hand whose quaternion has two components of equal size flips
    // sign with every bit of jitter and never counts as still.
    double same = 0.0;
    double negated = 0.0;
    for (int k = 0; k < 4; ++k) {
        const double p = plus.data()[k];
        const double m = minus.data()[k];
        const double refPlus = m_referencePoints[0][k];
        const double refMinus = m_referencePoints[1][k];
        same += (refPlus - p) * (refPlus - p) + (refMinus - m) * (refMinus - m);
        negated += (refPlus + p) * (refPlus + p) + (refMinus + m) * (refMinus + m);
    }
    const double d = std::sqrt(std::min(same, negated));
    const float shift = (centre - m_referenceCentre).length();
    // Written so that a NaN anywhere counts as moving.
    const bool still = d < stillDistance && shift <= stillCentreDistance;
    const bool settling = m_byTime ? time - m_movedAt < settlingTime : m_settlingFrames > 0;
    if (still && !settling)
        return true;
    if (!still) {
        m_settlingFrames = settlingFrames;
        m_movedAt = time;
    } else if (!m_byTime) {
        --m_settlingFrames;
    }
    for (int k = 0; k < 4; ++k) {
        m_referencePoints[0][k] = plus.data()[k];
        m_referencePoints[1][k] = minus.data()[k];
    }
    m_referenceCentre = centre;
    return still;
}

} // namespace Kinect
