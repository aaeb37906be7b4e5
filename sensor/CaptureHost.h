#pragma once

#include "sensor/CaptureRules.h"

class QString;

namespace Kinect {

// What capture needs from whoever runs it: the choices for each body frame,
// and where it reports what it did. The window implements it with its check
// boxes and status bar; a capture without a window, with plain values.
class CaptureHost {
public:
    virtual ~CaptureHost() = default;

    // The choices for the next body frame. False while capture is off: no
    // body is then stepped, not even for the gesture.
    virtual bool captureChoice(CaptureChoice &choice) const = 0;
    // What one body's step did; choice.recording is the state after it.
    virtual void captureStepped(const CaptureEffects &effects, const CaptureChoice &choice) = 0;
    // The continuous pose that "Select position" stores, or -1 for none.
    virtual int selectedContinuousPosition() const = 0;
    // Something the user should see at once ("Capture fell behind: ...").
    virtual void showCaptureProblem(const QString &message) = 0;
    // What the camera says of itself when it changes (a hand model's frame
    // rate, a browser that had to be restarted); nothing by default.
    virtual void showCameraStatus(const QString &) { }
};

} // namespace Kinect
