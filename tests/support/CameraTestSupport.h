#pragma once

#include "algebra/DualQuaternion.h"
#include "algebra/Pose.h"
#include "sensor/sources/Source.h"

#include <QVector3D>

#include <memory>

namespace Kinect {
class mainDialog;
class Sensor;
} // namespace Kinect

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

// The main window as the program builds it, with source behind its sensor.
// By default its polling threads are stopped, so that a test polls by hand
// and frames are processed exactly when the test says; with threads
// Running they take the frames as the program does. mainDialogInstance
// points at the window while it lives, and the process-wide capture state
// starts afresh.
class WindowWithSource {
public:
    enum Threads { Stopped, Running };
    explicit WindowWithSource(std::shared_ptr<camera::Source> source, Threads threads = Stopped);
    ~WindowWithSource();
    WindowWithSource(const WindowWithSource &) = delete;
    WindowWithSource &operator=(const WindowWithSource &) = delete;

    Kinect::mainDialog &window() { return *m_window; }
    Kinect::Sensor &sensor();

private:
    camera::ScopedSource m_installed;
    std::unique_ptr<Kinect::mainDialog> m_window;
};

} // namespace support
