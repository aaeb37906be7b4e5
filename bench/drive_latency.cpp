// Capture latency and loss (figure 6), through the real main window with its
// polling threads running.
//
// 1. A demo run of SECONDS (default 30) with continuous spatial capture
//    checked as a user would: the demo operator closes the left hand 2.7 s
//    in and recording starts; from then on every body frame the skeleton
//    thread takes adds a pose, and the 3D view repaints. For each pose: the
//    time from its body frame falling due to the skeleton thread taking it,
//    and to the end of the paint that shows it. "Due" is the demo clock's
//    time for the frame; "end of the paint" is the view's frameSwapped(),
//    after the window has been composed and swapped. A frame the thread
//    never takes (a newer one was due when it looked) is counted as dropped.
// 2. Every recording of ../shared/recordings/kinect-csv (or the directory
//    HANDMOTION_RECORDINGS names) replayed at its pace into continuous
//    capture while the view shows 20 key positions as all four kinds of
//    motion with frames and objects: how many body frames did not become
//    poses.
//
//   xvfb-run -a build/bench/bench/drive_latency [SECONDS]

#include "algebra/DualQuaternion.h"
#include "app/mainDialog.h"
#include "bench/support/ProcessStats.h"
#include "bench/support/Recordings.h"
#include "bench/support/ResultTable.h"
#include "sensor/CaptureRules.h"
#include "sensor/Sensor.h"
#include "sensor/sources/DemoOperator.h"
#include "sensor/sources/DemoSource.h"
#include "testkit/BenchmarkStart.h"
#include "testkit/ReplayFromGo.h"
#include "testkit/WatchedSource.h"
#include "testkit/WindowWithSource.h"
#include "view/GLWidget.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTest>
#include <QTimer>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <iostream>
#include <string>

using bench::Row;

namespace {

double secondsOf(std::chrono::steady_clock::time_point at)
{
    return std::chrono::duration<double>(at.time_since_epoch()).count();
}

double nowSeconds() { return secondsOf(std::chrono::steady_clock::now()); }

// The demo camera, noting on the skeleton thread which body frames it hands
// out and when each was taken.
using TimedDemoSource = camera::WatchedSource<camera::DemoSource>;

// A body frame as the skeleton thread took it: when it fell due on the demo
// clock, and when it was taken.
struct Taken {
    std::int64_t index;
    double due;
    double taken;
};

std::vector<Taken> takenFrames(TimedDemoSource &source)
{
    const double openedAt = secondsOf(source.openedAt());
    std::vector<Taken> frames;
    for (const camera::TakenFrame &t : source.taken())
        frames.push_back(Taken { t.index,
            openedAt + double(t.index) / camera::DemoOperator::framesPerSecond, secondsOf(t.at) });
    return frames;
}

std::string framesOf(double seconds)
{
    return bench::formatNumber(seconds * bench::cameraHz, 1) + " camera frames, "
        + bench::formatNumber(seconds * bench::displayHz, 1) + " display frames";
}

// Notes when the view starts a paint.
class PaintStart : public QObject {
public:
    double started = 0.0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            started = nowSeconds();
        return false;
    }
};

bool demoRun(int seconds)
{
    auto source = std::make_shared<TimedDemoSource>();
    testkit::WindowWithSource shown(source, testkit::WindowWithSource::Running);
    Kinect::mainDialog &window = shown.window();
    window.continuousCaptureCheck->setChecked(true);
    window.spatialCaptureCheck->setChecked(true);
    window.showMaximized();

    using camera::DemoOperator;
    std::vector<double> latencies;
    std::vector<double> takeDelays;
    std::vector<double> paintTimes;
    std::vector<double> paintDurations;
    int shownPoses = 0;
    double recordingStarted = 0.0;
    PaintStart paintStart;
    window.glWidget->installEventFilter(&paintStart);

    // Pose j is the j-th body frame taken from the one whose left hand closed
    // on: the sensor processes the frames in the order taken.
    QObject::connect(window.glWidget, &QOpenGLWidget::frameSwapped, [&] {
        const double now = nowSeconds();
        const int poses = window.sensor->continuousPositionCount();
        if (poses > shownPoses) {
            std::vector<Taken> recorded;
            for (const Taken &t : takenFrames(*source)) {
                if (t.index >= DemoOperator::leftHandClosesAt)
                    recorded.push_back(t);
            }
            for (int j = shownPoses; j < poses && j < int(recorded.size()); ++j) {
                if (j == 0)
                    recordingStarted = recorded[0].due;
                latencies.push_back(now - recorded[std::size_t(j)].due);
                takeDelays.push_back(recorded[std::size_t(j)].taken - recorded[std::size_t(j)].due);
            }
            shownPoses = poses;
            paintTimes.push_back(now);
            if (paintStart.started > 0.0)
                paintDurations.push_back(now - paintStart.started);
        }
        paintStart.started = 0.0;
    });

    const double cpuBefore = bench::cpuSeconds(getpid());
    const double wallBefore = nowSeconds();
    const int remaining
        = std::max(1000, int((secondsOf(source->openedAt()) + seconds - nowSeconds()) * 1000.0));
    QTimer::singleShot(remaining, qApp, &QApplication::quit);
    qApp->exec();
    const double cpuShare = (bench::cpuSeconds(getpid()) - cpuBefore) / (nowSeconds() - wallBefore);

    if (latencies.empty()) {
        std::cerr << "drive_latency: no pose was captured and shown\n";
        bench::printRow(Row { "6", "Latency: body frame due → its pose shown", "n/a",
            "no pose was captured and shown", "" });
        return false;
    }
    const double median = bench::median(latencies);
    const double p95 = bench::percentile(latencies, 95.0);
    bench::printRow(Row { "6",
        "Latency: body frame due → end of the paint that shows its pose (demo run of "
            + std::to_string(seconds) + " s, continuous spatial capture)",
        bench::formatDuration(median),
        "p95 " + bench::formatDuration(p95) + ", " + std::to_string(latencies.size()) + " poses",
        "median " + framesOf(median) + "; p95 " + framesOf(p95) });
    bench::printRow(Row { "6", "… of which due → taken by the skeleton thread",
        bench::formatDuration(bench::median(takeDelays)),
        "p95 " + bench::formatDuration(bench::percentile(takeDelays, 95.0)) + ", max "
            + bench::formatDuration(*std::max_element(takeDelays.begin(), takeDelays.end())),
        "" });

    const std::int64_t lastRecorded
        = std::min<std::int64_t>(source->latestDue(), DemoOperator::leftHandOpensAt - 1);
    const std::int64_t dueWhileRecording
        = std::max<std::int64_t>(1, lastRecorded - DemoOperator::leftHandClosesAt + 1);
    // Frames taken but still queued when the run ends are not lost: they
    // are counted as taken.
    std::int64_t taken = 0;
    for (const camera::TakenFrame &t : source->taken())
        taken += t.index >= DemoOperator::leftHandClosesAt && t.index <= lastRecorded;
    const std::int64_t dropped = std::max<std::int64_t>(0, dueWhileRecording - taken);
    bench::printRow(Row { "6", "Body frames taken by the skeleton thread while recording",
        std::to_string(taken) + " of " + std::to_string(dueWhileRecording),
        std::to_string(dropped) + " dropped ("
            + bench::formatNumber(100.0 * double(dropped) / double(dueWhileRecording), 1)
            + "%: a newer frame was due when the thread looked); every frame taken becomes a pose",
        "" });
    const double recordingSeconds = std::max(1e-3, nowSeconds() - recordingStarted);
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
    return true;
}

// A key position turned about z and set along x.
DualQuaternion keyPose(int k)
{
    const double h = 18.0 * k * M_PI / 360.0;
    const double q[4] = { 0.0, 0.0, std::sin(h), std::cos(h) };
    const double t[4] = { 0.1 * k - 1.0, 0.0, 0.0, 0.0 };
    return DualQuaternion::fromRotationTranslation(q, t);
}

bool replayRuns()
{
    const QStringList files = bench::recordingFiles();
    const std::string scene = "while the view shows 20 key positions as all four kinds with "
                              "frames and objects";
    if (files.isEmpty()) {
        bench::printRow(Row { "6", "Replay into continuous capture " + scene, "skipped",
            "no recordings (../shared/recordings/kinect-csv)", "" });
        return true;
    }
    int allFrames = 0;
    int allLost = 0;
    for (const QString &file : files) {
        auto source = std::make_shared<camera::ReplayFromGo>(file);
        if (!source->load()) {
            std::cerr << "drive_latency: cannot replay " << file.toStdString() << '\n';
            return false;
        }
        testkit::WindowWithSource shown(source, testkit::WindowWithSource::Running);
        Kinect::mainDialog &window = shown.window();
        if (!shown.showAndWait())
            return false;
        for (int k = 0; k < 20; ++k)
            window.sensor->addKeyPosition(keyPose(k));
        for (QCheckBox *box : { window.keyPositionsCheck, window.screwCheck, window.bezierCheck,
                 window.approximationCheck, window.interpolationCheck, window.framesCheck,
                 window.objectCheck, window.spatialCaptureCheck, window.continuousCaptureCheck,
                 window.startRecordingCheck })
            box->setChecked(true);
        PaintStart paintStart;
        window.glWidget->installEventFilter(&paintStart);
        std::vector<double> paints;
        QObject::connect(window.glWidget, &QOpenGLWidget::frameSwapped, [&] {
            if (paintStart.started > 0.0)
                paints.push_back(nowSeconds() - paintStart.started);
            paintStart.started = 0.0;
        });
        // The first paint of the scene happens before the replay starts.
        QTest::qWait(500);
        window.glWidget->grabFramebuffer();

        source->go();
        QElapsedTimer waited;
        waited.start();
        const int frames = int(source->recording().frames.size());
        const double seconds = double(source->recording().frames.back().dueNanoseconds) * 1e-9;
        // Played to the end, and everything taken processed.
        while (!(source->played()
                   && window.sensor->continuousPositionCount() >= int(source->taken().size()))
            && waited.elapsed() < qint64(seconds * 1000.0) + 60000)
            QTest::qWait(20);
        const int taken = int(source->taken().size());
        const int poses = window.sensor->continuousPositionCount();
        const int lost = frames - poses;
        allFrames += frames;
        allLost += lost;
        bench::printRow(Row { "6",
            "Replay of " + QFileInfo(file).fileName().toStdString() + " (" + std::to_string(frames)
                + " frames) into continuous capture " + scene,
            std::to_string(lost) + " frames lost",
            std::to_string(frames - taken) + " never taken, " + std::to_string(taken - poses)
                + " taken but not captured; " + std::to_string(paints.size()) + " paints, median "
                + bench::formatDuration(bench::median(paints)),
            "" });
    }
    bench::printRow(Row { "6", "Replay of all recordings, " + scene,
        std::to_string(allLost) + " of " + std::to_string(allFrames) + " frames lost", "", "" });
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    const auto application = testkit::startApplication(argc, argv, "xcb");
    const int seconds = testkit::secondsArgument(argc, argv, 1, 5, 30);
    bool ok = demoRun(seconds);
    ok = replayRuns() && ok;
    return ok ? 0 : 1;
}
