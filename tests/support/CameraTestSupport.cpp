#include "tests/support/CameraTestSupport.h"

#include "algebra/KeyPoseList.h"
#include "app/mainDialog.h"
#include "sensor/CaptureRules.h"
#include "sensor/PollingThreads.h"
#include "sensor/Sensor.h"

namespace support {

namespace {

    void setJoint(camera::Body &body, JointType type, const QVector3D &p)
    {
        Joint &joint = body.joints[std::size_t(type)];
        joint.JointType = type;
        joint.Position = CameraSpacePoint { p.x(), p.y(), p.z() };
        joint.TrackingState = TrackingState_Tracked;
    }

} // namespace

camera::Body standingBody(const QVector3D &handCentre, const QVector3D &handTip,
    const QVector3D &thumbTip, HandState handLeftState, float offsetX)
{
    static const float joints[JointType_Count][3] = { { 0.0f, 0.05f, 2.0f }, { 0.0f, 0.3f, 2.0f },
        { 0.0f, 0.6f, 2.0f }, { 0.0f, 0.72f, 2.0f }, { -0.18f, 0.5f, 2.0f },
        { -0.25f, 0.25f, 2.0f }, { -0.27f, 0.02f, 2.0f }, { -0.27f, -0.05f, 2.0f },
        { 0.18f, 0.5f, 2.0f }, { 0.3f, 0.3f, 1.85f }, { 0.3f, 0.2f, 1.75f }, { 0.3f, 0.25f, 1.7f },
        { -0.1f, 0.0f, 2.0f }, { -0.11f, -0.43f, 2.0f }, { -0.12f, -0.83f, 2.0f },
        { -0.14f, -0.88f, 1.93f }, { 0.1f, 0.0f, 2.0f }, { 0.11f, -0.43f, 2.0f },
        { 0.12f, -0.83f, 2.0f }, { 0.14f, -0.88f, 1.93f }, { 0.0f, 0.53f, 2.0f },
        { -0.27f, -0.12f, 2.0f }, { -0.24f, -0.07f, 1.98f }, { 0.3f, 0.33f, 1.7f },
        { 0.25f, 0.28f, 1.7f } };
    camera::Body body;
    body.tracked = true;
    body.trackingId = 7;
    body.handLeftState = handLeftState;
    body.handRightState = HandState_Open;
    const QVector3D shift(offsetX, 0.0f, 0.0f);
    for (int j = 0; j < JointType_Count; ++j)
        setJoint(body, JointType(j), QVector3D(joints[j][0], joints[j][1], joints[j][2]) + shift);
    setJoint(body, JointType_HandRight, handCentre);
    setJoint(body, JointType_HandTipRight, handTip);
    setJoint(body, JointType_ThumbRight, thumbTip);
    return body;
}

camera::Body standingBody(HandState handLeftState, float offsetX)
{
    const QVector3D shift(offsetX, 0.0f, 0.0f);
    return standingBody(QVector3D(0.3f, 0.25f, 1.7f) + shift, QVector3D(0.3f, 0.33f, 1.7f) + shift,
        QVector3D(0.25f, 0.28f, 1.7f) + shift, handLeftState, offsetX);
}

camera::BodyFrame frameWith(const camera::Body &body, int slot)
{
    camera::BodyFrame frame;
    frame.bodies[std::size_t(slot)] = body;
    return frame;
}

DualQuaternion handPose(const camera::Body &body, PoseMode mode)
{
    auto point = [&](JointType type) {
        const CameraSpacePoint &p = body.joints[std::size_t(type)].Position;
        return QVector3D(p.X, p.Y, p.Z);
    };
    KeyPoseList list;
    list.appendFromPoints(point(JointType_HandRight), point(JointType_HandTipRight),
        point(JointType_ThumbRight), mode);
    return list.at(0);
}

WindowWithSource::WindowWithSource(std::shared_ptr<camera::Source> source, Threads threads)
    : m_installed(std::move(source))
{
    Kinect::stillFrameCount = 0;
    Kinect::gestureLatch = 0;
    m_window = std::make_unique<Kinect::mainDialog>();
    if (threads == Stopped)
        m_window->stopPolling();
    mainDialogInstance = m_window.get();
}

WindowWithSource::~WindowWithSource() { m_window.reset(); }

Kinect::Sensor &WindowWithSource::sensor() { return *m_window->sensor; }

} // namespace support
