#pragma once

#include "sensor/sources/Source.h"

#include <memory>

namespace Kinect {
class mainDialog;
} // namespace Kinect

namespace bench {

// The main window as the program builds it, with source behind its sensor
// and its two polling threads stopped: frames reach the sensor only when
// the caller calls its update slots, so a benchmark decides what happens
// between two measurements. mainDialogInstance points at the window while
// it lives, and the process-wide capture state starts afresh.
class PolledWindow {
public:
    explicit PolledWindow(std::shared_ptr<camera::Source> source);
    ~PolledWindow();
    PolledWindow(const PolledWindow &) = delete;
    PolledWindow &operator=(const PolledWindow &) = delete;

    Kinect::mainDialog &window() { return *m_window; }

    // Shows the window maximised and waits until it is on screen and its 3D
    // view has a GL context; false when that did not happen within 10 s.
    bool showAndWait();

private:
    camera::ScopedSource m_installed;
    std::unique_ptr<Kinect::mainDialog> m_window;
};

} // namespace bench
