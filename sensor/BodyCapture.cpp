#include "sensor/BodyCapture.h"

#include "sensor/CaptureHost.h"
#include "sensor/sources/Source.h"
#include "session/PoseSession.h"

namespace Kinect {

HandJoints rightHandOf(const camera::Body &body)
{
    // By the joints' own types: a slot a source left unnamed is no hand joint.
    HandJoints hand;
    for (const Joint &joint : body.joints) {
        const CameraSpacePoint &p = joint.Position;
        if (joint.JointType == JointType_HandRight)
            hand.centre = QVector3D(p.X, p.Y, p.Z);
        else if (joint.JointType == JointType_HandTipRight)
            hand.tip = QVector3D(p.X, p.Y, p.Z);
        else if (joint.JointType == JointType_ThumbRight)
            hand.thumb = QVector3D(p.X, p.Y, p.Z);
    }
    return hand;
}

BodyCapture::BodyCapture(PoseSession &session, CaptureHost *host)
    : m_session(session)
    , m_host(host)
{
}

void BodyCapture::processFrame(const camera::BodyFrame &frame)
{
    CaptureChoice choice;
    if (!m_host || !m_host->captureChoice(choice))
        return;
    // Frame times count 100 ns.
    const double seconds = double(frame.relativeTime) * 1e-7;
    const CaptureRules::Time time(frame.relativeTime / 10);
    for (std::size_t slot = 0; slot < frame.bodies.size(); ++slot) {
        const camera::Body &body = frame.bodies[slot];
        if (!body.tracked || !choice.smoothing) {
            m_smoothers[slot].reset();
            if (body.tracked)
                step(choice, body.handLeftState, rightHandOf(body), time);
            continue;
        }
        camera::Body smoothed = body;
        m_smoothers[slot].smooth(smoothed, seconds);
        step(choice, smoothed.handLeftState, rightHandOf(smoothed), time);
    }
}

void BodyCapture::restartSmoothing()
{
    for (JointSmoother &smoother : m_smoothers)
        smoother.reset();
}

void BodyCapture::step(
    CaptureChoice &choice, int handLeftState, const HandJoints &hand, CaptureRules::Time frameTime)
{
    const CaptureEffects effects = m_rules.step(choice, handLeftState, hand, frameTime);
    if (effects.pose) {
        if (effects.continuousCaptured)
            m_session.appendContinuousPosition(*effects.pose);
        else
            m_session.captureKeyPosition(*effects.pose);
    }
    if (m_host)
        m_host->captureStepped(effects, choice);
}

void BodyCapture::storeSelectedPosition()
{
    const int i = m_host ? m_host->selectedContinuousPosition() : -1;
    if (i >= 0 && i < m_session.continuousPositionCount())
        m_session.addKeyPosition(m_session.continuousPosition(i));
}

} // namespace Kinect
