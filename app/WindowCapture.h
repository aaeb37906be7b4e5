#pragma once

#include "sensor/CaptureHost.h"

// Capture as the window runs it: the capture check boxes give the choices,
// and what capture stores is shown as the window shows it. It acts on the
// window the program shows (mainDialogInstance) and, while there is none,
// leaves capture off.
class WindowCapture : public Kinect::CaptureHost {
public:
    // The one host the program's sensors report to.
    static WindowCapture &instance();

    bool captureChoice(Kinect::CaptureChoice &choice) const override;
    void captureStepped(
        const Kinect::CaptureEffects &effects, const Kinect::CaptureChoice &choice) override;
    int selectedContinuousPosition() const override;
    void showCaptureProblem(const QString &message) override;
    void showCameraStatus(const QString &status) override { showCaptureProblem(status); }

    // Checks "Key positions", or announces it again so that the 3D view
    // redraws.
    static void showKeyPositions();
    // Checks "Continuous motion", with "Frames" the first time, or announces
    // it again.
    static void showContinuousMotion();
};
