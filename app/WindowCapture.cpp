#include "app/WindowCapture.h"

#include "app/mainDialog.h"

#include <QCheckBox>
#include <QSlider>
#include <QStatusBar>

WindowCapture &WindowCapture::instance()
{
    static WindowCapture host;
    return host;
}

bool WindowCapture::captureChoice(Kinect::CaptureChoice &choice) const
{
    const Kinect::mainDialog *window = mainDialogInstance;
    if (!window)
        return false;
    choice.recording = window->startRecordingCheck->isChecked();
    choice.continuous = window->continuousCaptureCheck->isChecked();
    choice.keyPositions = window->keyPositionCaptureCheck->isChecked();
    if (window->spatialCaptureCheck->isChecked())
        choice.mode = PoseModeSpatial;
    else if (window->planarCaptureCheck->isChecked())
        choice.mode = PoseModePlanar;
    choice.smoothing = window->smoothingCheck->isChecked();
    return true;
}

void WindowCapture::captureStepped(
    const Kinect::CaptureEffects &effects, const Kinect::CaptureChoice &choice)
{
    Kinect::mainDialog *window = mainDialogInstance;
    if (!window)
        return;
    if (effects.recordingChanged)
        window->startRecordingCheck->setChecked(choice.recording);
    if (effects.continuousCaptured)
        showContinuousMotion();
    if (effects.keyPositionStored)
        showKeyPositions();
}

int WindowCapture::selectedContinuousPosition() const
{
    return mainDialogInstance ? mainDialogInstance->positionSlider->value() : -1;
}

void WindowCapture::showCaptureProblem(const QString &message)
{
    if (mainDialogInstance)
        mainDialogInstance->statusBar()->showMessage(message);
}

void WindowCapture::showKeyPositions()
{
    if (!mainDialogInstance)
        return;
    QCheckBox *box = mainDialogInstance->keyPositionsCheck;
    if (!box->isChecked())
        box->setChecked(true);
    else
        Q_EMIT box->stateChanged(Qt::Checked);
}

void WindowCapture::showContinuousMotion()
{
    if (!mainDialogInstance)
        return;
    Kinect::mainDialog &window = *mainDialogInstance;
    if (!window.continuousMotionCheck->isChecked()) {
        window.continuousMotionCheck->setChecked(true);
        if (!window.framesCheck->isChecked())
            window.framesCheck->setChecked(true);
    } else {
        Q_EMIT window.continuousMotionCheck->stateChanged(Qt::Checked);
    }
}
