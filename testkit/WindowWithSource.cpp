#include "testkit/WindowWithSource.h"

#include "app/mainDialog.h"
#include "sensor/CaptureRules.h"
#include "sensor/Sensor.h"
#include "view/GLWidget.h"

#include <QElapsedTimer>
#include <QTest>

namespace testkit {

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

WindowWithSource::~WindowWithSource()
{
    m_window.reset();
    mainDialogInstance = nullptr;
}

Kinect::Sensor &WindowWithSource::sensor() { return *m_window->sensor; }

bool WindowWithSource::showAndWait()
{
    m_window->showMaximized();
    if (!QTest::qWaitForWindowExposed(m_window.get(), 10000))
        return false;
    QElapsedTimer waited;
    waited.start();
    while (!m_window->glWidget->isValid() && waited.elapsed() < 10000)
        QTest::qWait(10);
    return m_window->glWidget->isValid();
}

} // namespace testkit
