// Latency (figure 6): from the moment a body frame falls due in the camera
// to the end of the paint that shows its pose, over a run of the demo
// source through the real main window (polling threads running), with
// continuous spatial capture checked as a user would. The demo operator
// closes the left hand 2.7 s in and recording starts; from then on every
// body frame the sensor takes adds a pose, and the 3D view repaints.
//
//   xvfb-run -a build/bench/bench/drive_latency [SECONDS]
//
// "Due" is the demo clock's time for the frame; "end of the paint" is the
// view's frameSwapped(), after the window has been composed and swapped.
// A frame the sensor never takes (a newer one was due when it polled)
// shows no pose of its own: it is counted as dropped.

#include "app/mainDialog.h"
#include "bench/support/ProcessStats.h"
#include "bench/support/ResultTable.h"
#include "sensor/Sensor.h"
#include "sensor/sources/DemoOperator.h"
#include "sensor/sources/DemoSource.h"
#include "view/GLWidget.h"

#include <QApplication>
#include <QCheckBox>
#include <QTest>
#include <QTimer>

#include <unistd.h>

#include <algorithm>
#include <functional>
#include <iostream>
#include <string>

using bench::Row;

namespace {

double nowSeconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The demo camera, telling the driver when the sensor takes a body frame
// and when each frame fell due.
class TimedDemoSource : public camera::Source {
public:
    std::function<void(std::int64_t index, double due)> bodyFrameTaken;

    bool open() override
    {
        m_openedAt = nowSeconds();
        return m_demo.open();
    }
    void close() override { m_demo.close(); }
    std::int64_t latestBodyFrame() override
    {
        const std::int64_t latest = m_demo.latestBodyFrame();
        m_latestDue = std::max(m_latestDue, latest);
        return latest;
    }
    void bodyFrame(std::int64_t index, camera::BodyFrame &frame) override
    {
        m_demo.bodyFrame(index, frame);
        if (bodyFrameTaken)
            bodyFrameTaken(index, dueAt(index));
    }
    std::int64_t latestColorFrame() override { return m_demo.latestColorFrame(); }
    void colorFrame(std::int64_t index, camera::ColorImage &image) override
    {
        m_demo.colorFrame(index, image);
    }

    double dueAt(std::int64_t index) const
    {
        return m_openedAt + double(index) / camera::DemoOperator::framesPerSecond;
    }
    double openedAt() const { return m_openedAt; }
    std::int64_t latestDue() const { return m_latestDue; }

private:
    camera::DemoSource m_demo;
    double m_openedAt = 0.0;
    std::int64_t m_latestDue = -1;
};

std::string framesOf(double seconds)
{
    return bench::formatNumber(seconds * bench::cameraHz, 1) + " camera frames, "
        + bench::formatNumber(seconds * bench::displayHz, 1) + " display frames";
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication application(argc, argv);
    const int seconds = argc > 1 ? std::max(5, std::atoi(argv[1])) : 30;

    auto source = std::make_shared<TimedDemoSource>();
    camera::ScopedSource installed(source);
    Kinect::stillFrameCount = 0;
    Kinect::gestureLatch = 0;
    Kinect::mainDialog window;
    mainDialogInstance = &window;
    window.continuousCaptureCheck->setChecked(true);
    window.spatialCaptureCheck->setChecked(true);
    window.showMaximized();

    // A frame the sensor took and that no paint has shown yet, with the
    // number of poses before the sensor handled it: once that number has
    // grown, the frame added a pose.
    struct Taken {
        double due;
        double taken;
        int posesBefore;
    };
    std::vector<Taken> pending;
    std::vector<double> latencies;
    std::vector<double> takeDelays;
    std::vector<double> paintTimes;
    std::vector<double> paintDurations;
    double paintStarted = 0.0;
    int capturedFrames = 0;
    double recordingStarted = 0.0;
    const double runStart = source->openedAt();

    source->bodyFrameTaken = [&](std::int64_t, double due) {
        pending.push_back(Taken { due, nowSeconds(), window.sensor->continuousPositionCount() });
    };

    class PaintStart : public QObject {
    public:
        explicit PaintStart(double &started)
            : m_started(started)
        {
        }
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == QEvent::Paint)
                m_started = nowSeconds();
            return false;
        }

    private:
        double &m_started;
    } paintStart(paintStarted);
    window.glWidget->installEventFilter(&paintStart);

    QObject::connect(window.glWidget, &QOpenGLWidget::frameSwapped, [&] {
        const double now = nowSeconds();
        const int poses = window.sensor->continuousPositionCount();
        bool showedNewPose = false;
        for (size_t k = 0; k < pending.size(); ++k) {
            const int after = k + 1 < pending.size() ? pending[k + 1].posesBefore : poses;
            if (after <= pending[k].posesBefore)
                continue;
            if (capturedFrames++ == 0)
                recordingStarted = pending[k].due;
            latencies.push_back(now - pending[k].due);
            takeDelays.push_back(pending[k].taken - pending[k].due);
            showedNewPose = true;
        }
        pending.clear();
        if (showedNewPose) {
            paintTimes.push_back(now);
            if (paintStarted > 0.0)
                paintDurations.push_back(now - paintStarted);
        }
        paintStarted = 0.0;
    });

    const double cpuBefore = bench::cpuSeconds(getpid());
    const double wallBefore = nowSeconds();
    const int remaining = std::max(1000, int((runStart + seconds - nowSeconds()) * 1000.0));
    QTimer::singleShot(remaining, &application, &QApplication::quit);
    application.exec();
    const double cpuShare = (bench::cpuSeconds(getpid()) - cpuBefore) / (nowSeconds() - wallBefore);
    mainDialogInstance = nullptr;

    if (latencies.empty()) {
        std::cerr << "drive_latency: no pose was captured and shown\n";
        bench::printRow(Row { "6", "Latency: body frame due → its pose shown", "n/a",
            "no pose was captured and shown", "" });
        return 1;
    }
    const double median = bench::median(latencies);
    const double p95 = bench::percentile(latencies, 95.0);
    bench::printRow(Row { "6",
        "Latency: body frame due → end of the paint that shows its pose (demo run of "
            + std::to_string(seconds) + " s, continuous spatial capture)",
        bench::formatDuration(median),
        "p95 " + bench::formatDuration(p95) + ", " + std::to_string(latencies.size()) + " poses",
        "median " + framesOf(median) + "; p95 " + framesOf(p95) });
    bench::printRow(Row { "6", "… of which due → taken by the sensor",
        bench::formatDuration(bench::median(takeDelays)),
        "p95 " + bench::formatDuration(bench::percentile(takeDelays, 95.0)), "" });

    const std::int64_t dueWhileRecording = std::max<std::int64_t>(1,
        std::min<std::int64_t>(source->latestDue(), camera::DemoOperator::leftHandOpensAt - 1)
            - camera::DemoOperator::leftHandClosesAt + 1);
    const double recordingSeconds = std::max(1e-3, nowSeconds() - recordingStarted);
    bench::printRow(Row { "6", "Body frames that became poses while recording",
        std::to_string(capturedFrames) + " of " + std::to_string(dueWhileRecording),
        bench::formatNumber(100.0 - 100.0 * capturedFrames / double(dueWhileRecording), 0)
            + "% dropped (a newer frame was due when the sensor polled)",
        "" });
    bench::printRow(Row { "6", "3D view paints showing new poses while recording",
        bench::formatNumber(paintTimes.size() / recordingSeconds, 1) + " per second",
        paintDurations.empty()
            ? ""
            : "paint median " + bench::formatDuration(bench::median(paintDurations)) + ", last "
                + bench::formatDuration(paintDurations.back()) + " at "
                + std::to_string(window.sensor->continuousPositionCount()) + " poses",
        "" });
    bench::printRow(Row { "6", "CPU of the program during the run",
        bench::formatNumber(100.0 * cpuShare, 0) + "% of one core", "all threads", "" });
    return 0;
}
