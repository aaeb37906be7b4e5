#pragma once

#include "algebra/DualQuaternion.h"
#include "algebra/Pose.h"

#include <QVector3D>

#include <chrono>
#include <optional>

namespace Kinect {

// Capture state shared by the whole process, kept across recordings, mode
// changes and list resets: the number of consecutive still body frames, and
// 1 while a recording that the left-hand gesture started is running.
extern int stillFrameCount;
extern int gestureLatch;

// The capture choices, read once per body frame; in the window, its capture
// check boxes.
struct CaptureChoice {
    bool recording = false; // "Start recording"
    bool continuous = false; // "Continuous capture"
    bool keyPositions = false; // "Key position capture", looked at without continuous
    PoseMode mode = -1; // "Spatial capture" before "Planar capture"; -1 for neither
    bool smoothing = false; // "Smooth joints": joints smoothed before the pose is computed
};

// The right hand of a tracked body: centre, tip and thumb tip, in metres.
struct HandJoints {
    QVector3D centre;
    QVector3D tip;
    QVector3D thumb;
};

// What one body's step did.
struct CaptureEffects {
    // The gesture started or stopped recording (choice.recording changed).
    bool recordingChanged = false;
    // A continuous capture step ran (it captured a pose if a mode is chosen).
    bool continuousCaptured = false;
    // The hand was still for another 100 frames (a key position was captured
    // if a mode is chosen).
    bool keyPositionStored = false;
    // The pose captured, for the continuous poses or as a key position.
    std::optional<DualQuaternion> pose;
};

// The capture rules, free of widgets and lists: for each tracked body of a
// body frame the left-hand gesture starts or stops recording, and while
// recording the right hand's pose is captured every frame as a continuous
// pose, or as a key position after it has been held still for 100 frames
// (3.3 s at the body tracker's 30 Hz). A right hand whose joints are not all
// finite numbers (not seen) captures nothing and counts as moving.
//
// Sources at other frame rates (a webcam runs at what its hand model
// manages, a video file at its own rate) count stillness by the frames' own
// times instead: held still for the time of 100 frames at 30 Hz, with the
// reference settling for the time of 10; a gap of more than maxStillGap
// between two frames restarts the count, since the hand was not seen.
//
// Still means: the two image points of the pose (G+ and G-, from the hand
// centre and the rotation q) lie within 0.2 of those of the reference frame,
// counting q and -q as the same rotation, and the hand centre lies within
// 5 cm of that frame's. The reference is the last moving frame, or, for the
// first ten still frames after it, the latest one: it settles where the hand
// comes to rest.
class CaptureRules {
public:
    using Time = std::chrono::microseconds;
    static constexpr Time holdTime { 3333333 };
    static constexpr Time settlingTime { 333333 };
    static constexpr Time maxStillGap { 500000 };

    // Whether stillness is counted by the frames' times (true) or by the
    // count of frames (false, the default).
    void setCountByTime(bool byTime);
    bool countsByTime() const { return m_byTime; }

    // One tracked body: the gesture step, then, while recording, the capture
    // step. choice.recording follows the gesture, so later bodies of the
    // same frame see it. frameTime is the body frame's time, read only when
    // counting by time.
    CaptureEffects step(
        CaptureChoice &choice, int handLeftState, const HandJoints &hand, Time frameTime = Time(0));

private:
    bool gestureStep(CaptureChoice &choice, int handLeftState);
    bool keyPositionStep(
        PoseMode mode, const HandJoints &hand, Time time, std::optional<DualQuaternion> &pose);
    // Whether the pose counts as still against the reference; a moving (or
    // not a number) pose becomes the new reference.
    bool isStill(const Quaternion &q, const QVector3D &centre, Time time);
    // Makes the next pose the reference, as after a moving one.
    void forgetReference(Time time);

    // G+ and G- (x, y, z, w) and the hand centre of the last body frame that
    // counted as moving; all zero at first, so the first frame moves.
    double m_referencePoints[2][4] = {};
    QVector3D m_referenceCentre;
    // Still frames left in which the reference follows the hand.
    int m_settlingFrames = 0;
    bool m_byTime = false;
    // Counting by time: the last frame that moved (the reference settles
    // after it), where the current still count began, the last frame seen.
    Time m_movedAt { 0 };
    Time m_stillSince { 0 };
    Time m_lastFrame { 0 };
};

} // namespace Kinect
