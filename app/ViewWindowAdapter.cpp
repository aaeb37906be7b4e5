#include "app/ViewWindowAdapter.h"

#include "app/mainDialog.h"
#include "sensor/Sensor.h"
#include "session/PoseSession.h"

#include <QCheckBox>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>

ViewWindowAdapter::ViewWindowAdapter(Kinect::mainDialog &window)
    : m_window(window)
{
}

bool ViewWindowAdapter::isCurrent() const
{
    return mainDialogInstance == &m_window && m_window.sensor;
}

ViewControls::Settings ViewWindowAdapter::settings() const
{
    Settings s;
    s.whiteBackground = m_window.whiteBackgroundCheck->isChecked();
    s.captureMode
        = m_window.planarCaptureCheck->isChecked() || m_window.spatialCaptureCheck->isChecked();
    s.showKeyPositions = m_window.keyPositionsCheck->isChecked();
    s.showTrajectory = m_window.trajectoryCheck->isChecked();
    s.showFrames = m_window.framesCheck->isChecked();
    s.showObject = m_window.objectCheck->isChecked();
    s.objectSize = static_cast<float>(m_window.objectSizeSlider->value()) / 100.0f;
    s.selectedPosition = m_window.positionSlider->value();
    return s;
}

bool ViewWindowAdapter::isChecked(MotionKind kind) const
{
    return m_window.motionKindChecks[size_t(kind)]->isChecked();
}

void ViewWindowAdapter::setChecked(MotionKind kind, bool checked)
{
    m_window.motionKindChecks[size_t(kind)]->setChecked(checked);
}

int ViewWindowAdapter::degree(MotionKind kind) const
{
    const QSpinBox *spin = m_window.motionKindDegreeSpins[size_t(kind)];
    return spin ? spin->value() : 0;
}

void ViewWindowAdapter::setDegreeRange(MotionKind kind, int maximum)
{
    if (QSpinBox *spin = m_window.motionKindDegreeSpins[size_t(kind)])
        spin->setRange(0, maximum);
}

void ViewWindowAdapter::setKeyPositionsShown(bool shown)
{
    m_window.keyPositionsCheck->setChecked(shown);
}

void ViewWindowAdapter::setObjectShown(bool shown) { m_window.objectCheck->setChecked(shown); }

void ViewWindowAdapter::announceDensity()
{
    // sliderMoved reaches the density label, which a keyboard change of the
    // slider leaves behind.
    QSlider *slider = m_window.densitySlider;
    const int value = slider->value();
    slider->setValue(value);
    Q_EMIT slider->sliderMoved(value);
}

void ViewWindowAdapter::setShownPositionCount(int count)
{
    m_window.positionSlider->setRange(0, count - 1);
}

void ViewWindowAdapter::setPosesAvailable(bool keyPositions, bool continuousPositions)
{
    m_window.exportButton->setEnabled(keyPositions);
    m_window.keyPositionsCheck->setEnabled(keyPositions);
    for (const MotionKindInfo &kind : motionKinds())
        if (kind.source == MotionSource::ContinuousPositions)
            m_window.motionKindChecks[size_t(kind.kind)]->setEnabled(continuousPositions);
}

void ViewWindowAdapter::showMessage(const QString &message)
{
    m_window.statusBar()->showMessage(message);
}

void ViewWindowAdapter::clearMessage(const QString &message)
{
    if (m_window.statusBar()->currentMessage() == message)
        m_window.statusBar()->clearMessage();
}

std::vector<DualQuaternion> ViewWindowAdapter::keyPositions() const
{
    return m_window.session->keyPositions();
}

int ViewWindowAdapter::keyPositionCount() const { return m_window.session->keyPositionCount(); }

std::vector<DualQuaternion> ViewWindowAdapter::continuousPositions() const
{
    return m_window.session->continuousPositions();
}

int ViewWindowAdapter::continuousPositionCount() const
{
    return m_window.session->continuousPositionCount();
}

void ViewWindowAdapter::addKeyPosition(const DualQuaternion &pose)
{
    m_window.session->addKeyPosition(pose);
}

void ViewWindowAdapter::replaceKeyPositions(std::vector<DualQuaternion> poses, const QString &text)
{
    m_window.session->replaceKeyPositions(std::move(poses), text);
}
