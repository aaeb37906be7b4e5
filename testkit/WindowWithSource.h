#pragma once

#include "sensor/sources/Source.h"

#include <memory>

namespace Kinect {
class mainDialog;
class Sensor;
} // namespace Kinect

namespace testkit {

// The main window as the program builds it, with source behind its sensor.
// By default its polling threads are stopped, so that the caller polls by
// hand and frames are processed exactly when it says; with threads Running
// they take the frames as the program does. mainDialogInstance points at
// the window while it lives, and the process-wide capture state starts
// afresh.
class WindowWithSource {
public:
    enum Threads { Stopped, Running };
    explicit WindowWithSource(std::shared_ptr<camera::Source> source, Threads threads = Stopped);
    ~WindowWithSource();
    WindowWithSource(const WindowWithSource &) = delete;
    WindowWithSource &operator=(const WindowWithSource &) = delete;

    Kinect::mainDialog &window() { return *m_window; }
    Kinect::Sensor &sensor();

    // Shows the window maximised and waits until it is on screen and its 3D
    // view has a GL context; false when that did not happen within 10 s.
    bool showAndWait();

private:
    camera::ScopedSource m_installed;
    std::unique_ptr<Kinect::mainDialog> m_window;
};

} // namespace testkit
