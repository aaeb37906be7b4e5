// Capture once, design offline (figure 13):
// - --capture's throughput: every recording of ../shared/recordings/kinect-csv
//   (or the directory HANDMOTION_RECORDINGS names) captured continuously
//   the way `handmotion --capture` does it (a sensor on the recording's
//   replay, stepped frame by frame, recording every body frame), as body
//   frames per second of the capture thread's CPU time and as a multiple of
//   the recording's own pace; and the program itself, start to end, on the
//   longest recording.
// - Every body frame recorded: the frames recorded against the frames each
//   recording holds, and against the frames the window took from the demo
//   operator while its polling threads ran for 20 s; the recording replayed
//   gives the same poses (the largest difference of any component, in
//   metres for the translation).
//
//   build/bench/bench/drive_capture [SECONDS]   the demo run's length (20)

#include "app/mainDialog.h"
#include "bench/support/Recordings.h"
#include "bench/support/ResultTable.h"
#include "bench/support/Stopwatch.h"
#include "sensor/CaptureHost.h"
#include "sensor/Sensor.h"
#include "sensor/sources/Clock.h"
#include "sensor/sources/DemoSource.h"
#include "sensor/sources/RecordingReader.h"
#include "sensor/sources/ReplaySource.h"
#include "session/PoseSession.h"
#include "testkit/BenchmarkStart.h"
#include "testkit/WindowWithSource.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <cstdio>

using bench::Row;

namespace {

// Continuous spatial capture, recording from the first frame.
class ContinuousCapture : public Kinect::CaptureHost {
public:
    bool captureChoice(Kinect::CaptureChoice &choice) const override
    {
        choice.recording = true;
        choice.continuous = true;
        choice.mode = PoseModeSpatial;
        return true;
    }
    void captureStepped(const Kinect::CaptureEffects &, const Kinect::CaptureChoice &) override { }
    int selectedContinuousPosition() const override { return -1; }
    void showCaptureProblem(const QString &) override { }
};

struct Captured {
    std::vector<DualQuaternion> poses;
    std::int64_t recorded = 0;
};

// A recording replayed on a stepped clock into a sensor, each frame as soon
// as the one before, recording the frames to record when it is not empty.
Captured captureRecording(const QString &path, const QString &record)
{
    camera::SteppedClock clock;
    auto replay = std::make_shared<camera::ReplaySource>(path, clock.clock());
    const camera::ScopedSource installed(replay);
    PoseSession session;
    ContinuousCapture host;
    Kinect::Sensor sensor(nullptr, nullptr, &session);
    sensor.setCaptureHost(&host);
    QString error;
    if (!record.isEmpty() && !sensor.startRecordingFrames(record, &error))
        std::fprintf(stderr, "%s\n", qPrintable(error));
    for (;;) {
        sensor.updateSkeletonFrame();
        const std::chrono::nanoseconds next = replay->timeToNextBodyFrame();
        if (next == camera::Source::noFrameDue)
            break;
        clock.advance(next);
    }
    Captured captured;
    captured.recorded = sensor.stopRecordingFrames();
    captured.poses = session.continuousPositions();
    return captured;
}

// The largest difference of any of the eight components; infinite when the
// lists differ in length.
double largestDifference(const std::vector<DualQuaternion> &a, const std::vector<DualQuaternion> &b)
{
    if (a.size() != b.size())
        return INFINITY;
    double largest = 0.0;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const Quaternion parts[2][2]
            = { { a[i].realPart(), a[i].dualPart() }, { b[i].realPart(), b[i].dualPart() } };
        for (int p = 0; p < 2; ++p) {
            const Quaternion &x = parts[0][p];
            const Quaternion &y = parts[1][p];
            largest = std::max({ largest, std::abs(x.x() - y.x()), std::abs(x.y() - y.y()),
                std::abs(x.z() - y.z()), std::abs(x.w() - y.w()) });
        }
    }
    return largest;
}

std::string differenceText(double difference)
{
    return difference == 0.0 ? std::string("identical")
                             : bench::formatNumber(difference * 1e6, 3) + " µm";
}

void recordings(const QTemporaryDir &dir)
{
    const QStringList files = bench::recordingFiles();
    if (files.isEmpty()) {
        bench::printRow(
            Row { "13", "Capture offline: recordings", "skipped", "no recordings", "" });
        return;
    }
    QString longest;
    std::size_t longestFrames = 0;
    for (const QString &file : files) {
        const camera::Recording recording = camera::readRecording(file);
        const std::size_t frames = recording.frames.size();
        if (frames == 0)
            continue;
        const double pace
            = double(recording.frames.back().dueNanoseconds) * 1e-9 / double(frames - 1);
        const std::string name = QFileInfo(file).fileName().toStdString();
        const std::vector<double> seconds = bench::timeThreadCpuRuns(
            7, [&] { captureRecording(file, dir.filePath(QStringLiteral("timed.csv"))); });
        const double perFrame = bench::median(seconds) / double(frames);
        bench::printRow(Row { "13",
            "Capture offline, " + name + ": body frames a second, captured and recorded",
            bench::formatNumber(1.0 / perFrame, 0) + "/s",
            bench::formatNumber(
                double(frames) / *std::max_element(seconds.begin(), seconds.end()), 0)
                + "–"
                + bench::formatNumber(
                    double(frames) / *std::min_element(seconds.begin(), seconds.end()), 0)
                + "/s",
            bench::formatNumber(pace / perFrame, 0) + " × real time (target ≥ 20 ×)" });

        const QString record = dir.filePath(QStringLiteral("frames.csv"));
        const Captured captured = captureRecording(file, record);
        const Captured replayed = captureRecording(record, QString());
        bench::printRow(
            Row { "13", "Capture offline, " + name + ": body frames recorded of those taken",
                std::to_string(captured.recorded) + " of " + std::to_string(frames),
                std::to_string(frames - std::size_t(captured.recorded)) + " lost",
                "replayed: " + differenceText(largestDifference(captured.poses, replayed.poses)) });
        if (frames > longestFrames) {
            longestFrames = frames;
            longest = file;
        }
    }

    // The program itself, start to end, without a display.
    const QString output = dir.filePath(QStringLiteral("capture.xml"));
    const std::vector<double> seconds = bench::timeRuns(7, [&] {
        QProcess program;
        program.start(QStringLiteral(HANDMOTION_PROGRAM),
            { QStringLiteral("--capture"), QStringLiteral("continuous"), QStringLiteral("--camera"),
                QStringLiteral("replay:") + longest, QStringLiteral("--output"), output });
        program.waitForFinished(60000);
    });
    bench::printRow(Row { "13",
        "handmotion --capture continuous on " + QFileInfo(longest).fileName().toStdString() + " ("
            + std::to_string(longestFrames) + " frames), start to end",
        bench::formatDuration(bench::median(seconds)), bench::durationRange(seconds),
        bench::formatNumber(double(longestFrames) / bench::median(seconds), 0)
            + " frames/s with the start" });
}

// The demo operator in the window with its threads running: every frame the
// sensor takes is recorded, and the recording replays to the window's poses.
void demo(const QTemporaryDir &dir, int seconds)
{
    const QString record = dir.filePath(QStringLiteral("demo.csv"));
    std::vector<DualQuaternion> poses;
    std::int64_t recorded = 0;
    {
        testkit::WindowWithSource fixture(
            std::make_shared<camera::DemoSource>(), testkit::WindowWithSource::Running);
        Kinect::mainDialog &w = fixture.window();
        w.continuousCaptureCheck->setChecked(true);
        w.spatialCaptureCheck->setChecked(true);
        w.startRecordingCheck->setChecked(true);
        if (!w.startRecordingFrames(record))
            return;
        QTest::qWait(seconds * 1000);
        w.stopPolling();
        fixture.sensor().updateSkeletonFrame();
        recorded = fixture.sensor().stopRecordingFrames();
        poses = w.session->continuousPositions();
    }
    const Captured replayed = captureRecording(record, QString());
    bench::printRow(Row { "13",
        "Demo operator in the window, " + std::to_string(seconds)
            + " s: body frames recorded of those taken",
        std::to_string(recorded) + " of " + std::to_string(poses.size()),
        std::to_string(std::int64_t(poses.size()) - recorded) + " lost",
        "replayed: " + differenceText(largestDifference(poses, replayed.poses)) });
}

} // namespace

int main(int argc, char **argv)
{
    const auto application = testkit::startApplication(argc, argv, "offscreen");
    const int seconds = testkit::secondsArgument(argc, argv, 1, 1, 20);
    QTemporaryDir dir;
    recordings(dir);
    demo(dir, seconds);
    return 0;
}
