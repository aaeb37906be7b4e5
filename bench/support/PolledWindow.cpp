#include "bench/support/PolledWindow.h"

#include "app/mainDialog.h"
#include "sensor/CaptureRules.h"
#include "sensor/PollingThreads.h"
#include "sensor/Sensor.h"
#include "view/GLWidget.h"

#include <QElapsedTimer>
#include <QTest>

namespace bench {

PolledWindow::PolledWindow(std::shared_ptr<camera::Source> source)
    : m_installed(std::move(source))
{
    Kinect::stillFrameCount = 0;
    Kinect::gestureLatch = 0;
    m_window = std::make_unique<Kinect::mainDialog>();
    m_window->stopPolling();
    mainDialogInstance = m_window.get();
}

PolledWindow::~PolledWindow()
{
    m_window.reset();
    mainDialogInstance = nullptr;
}

bool PolledWindow::showAndWait()
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

} // namespace bench
