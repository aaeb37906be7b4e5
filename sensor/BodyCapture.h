#pragma once

#include "sensor/CaptureRules.h"
#include "sensor/JointSmoother.h"

#include <array>

class PoseSession;

namespace camera {
struct Body;
struct BodyFrame;
}

namespace Kinect {

class CaptureHost;

// The right hand of a body as capture reads it: centre, tip and thumb tip,
// each from the last joint of its type (zero when there is none).
HandJoints rightHandOf(const camera::Body &body);

// Capture from body frames into a pose session: the capture rules run over
// the tracked bodies (their joints smoothed first when the choices say so),
// what they capture is stored in the session, and the host gives the choices
// and hears what each step did. Free of widgets and threads; without a host
// it captures nothing.
class BodyCapture {
public:
    // Neither is owned; both must outlive the capture (or the host be
    // replaced first).
    explicit BodyCapture(PoseSession &session, CaptureHost *host = nullptr);

    void setHost(CaptureHost *host) { m_host = host; }
    CaptureHost *host() const { return m_host; }

    // One body frame: the choices are read once, then the tracked bodies
    // are stepped in slot order, so that a gesture of one is seen by the
    // next.
    void processFrame(const camera::BodyFrame &frame);
    // One tracked body, with the choices of its frame and the frame's time.
    void step(CaptureChoice &choice, int handLeftState, const HandJoints &hand,
        CaptureRules::Time frameTime = CaptureRules::Time(0));
    // "Select position": the continuous pose the host selects becomes a key
    // position; nothing for a position outside the list.
    void storeSelectedPosition();
    // The smoothing starts afresh, as when a source starts.
    void restartSmoothing();
    // Whether stillness is counted by the frames' times, for a camera that
    // is not a 30 Hz body tracker (see CaptureRules).
    void setCountByTime(bool byTime) { m_rules.setCountByTime(byTime); }

private:
    PoseSession &m_session;
    CaptureHost *m_host;
    CaptureRules m_rules;
    // One smoother a body slot; each restarts when its slot loses its body.
    std::array<JointSmoother, BODY_COUNT> m_smoothers;
};

} // namespace Kinect
