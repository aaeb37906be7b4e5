// The camera path's costs (figure 4): producing the demo's frames,
// converting YUY2 (the whole frame, and only the shown pixels as the colour
// thread does), a look that finds nothing new, the sensor's colour and
// skeleton steps when it takes the frames itself (without the screen), one
// body frame in each capture mode, and one colour frame shown from BGRA and
// from YUY2.
//
//   build/bench/bench/bench_camera [--benchmark_filter=Color]
//
// At 30 frames a second, a frame step of t ms costs 3 t % of one core.

#include "app/mainDialog.h"
#include "bench/support/BenchPoses.h"
#include "bench/support/Recordings.h"
#include "bench/support/BenchmarkMain.h"
#include "bench/support/ResultTable.h"
#include "sensor/ColorDisplay.h"
#include "sensor/Sensor.h"
#include "sensor/sources/Clock.h"
#include "sensor/sources/ColorConversion.h"
#include "sensor/sources/DemoOperator.h"
#include "sensor/sources/DemoSource.h"
#include "sensor/sources/RecordingReader.h"
#include "sensor/sources/Source.h"
#include "sensor/sources/SourceDevice.h"
#include "testkit/BenchmarkStart.h"
#include "testkit/ScriptedSource.h"
#include "testkit/WindowWithSource.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

using namespace std::chrono_literals;

namespace {

constexpr std::chrono::nanoseconds framePeriod(1000000000 / 30 + 1);
// A polling thread looks once more after each frame it takes and finds
// nothing new: one empty look per camera frame.
constexpr double emptyLooksPerSecond = bench::cameraHz;

// Labels a benchmark whose cost is paid once a camera frame.
void paidPerCameraFrame(benchmark::State &state, const std::string &label)
{
    state.SetLabel(label);
    state.counters["hz"] = bench::cameraHz;
}

// The demo camera on a stepped clock, opened.
struct OpenedDemo {
    camera::SteppedClock clock;
    camera::DemoSource source { clock.clock() };
    OpenedDemo() { source.open(); }
};

void demoColorFrame(benchmark::State &state)
{
    OpenedDemo demo;
    camera::ColorImage image;
    std::int64_t index = 0;
    for (auto _ : state) {
        demo.source.colorFrame(index, image);
        benchmark::DoNotOptimize(image.bytes.data());
        index = (index + 7) % 1620;
    }
    paidPerCameraFrame(state, "Demo source: render one colour frame (YUY2, 1920 x 1080)");
}
BENCHMARK(demoColorFrame)->Unit(benchmark::kMillisecond);

void demoBodyFrame(benchmark::State &state)
{
    OpenedDemo demo;
    camera::BodyFrame frame;
    std::int64_t index = 0;
    for (auto _ : state) {
        demo.source.bodyFrame(index++, frame);
        benchmark::DoNotOptimize(frame.bodies[0].joints[0].Position.X);
    }
    paidPerCameraFrame(state, "Demo source: make one body frame");
}
BENCHMARK(demoBodyFrame)->Unit(benchmark::kMicrosecond);

void yuy2ToBgra(benchmark::State &state)
{
    std::vector<BYTE> yuy2(std::size_t(colorFrameWidth) * colorFrameHeight * 2, 100);
    std::vector<BYTE> bgra(std::size_t(colorFrameWidth) * colorFrameHeight * 4);
    for (auto _ : state) {
        camera::convertYuy2(yuy2.data(), colorFrameWidth, colorFrameHeight, bgra.data(), false);
        benchmark::DoNotOptimize(bgra.data());
    }
    paidPerCameraFrame(state, "YUY2 to BGRA conversion alone, 1920 x 1080");
}
BENCHMARK(yuy2ToBgra)->Unit(benchmark::kMillisecond);

// What the colour thread does with each demo frame: convert the pixels the
// colour view shows from YUY2 and scale them to its size in one pass.
void colorPictureFromYuy2(benchmark::State &state)
{
    OpenedDemo demo;
    camera::ColorImage image;
    demo.source.colorFrame(300, image);
    Kinect::ColorFrameScaler scaler;
    for (auto _ : state) {
        QImage picture = scaler.scaled(
            image.bytes.data(), ColorImageFormat_Yuy2, image.width, image.height, QSize(938, 438));
        benchmark::DoNotOptimize(picture.constBits());
    }
    paidPerCameraFrame(state,
        "Colour thread: one YUY2 frame to a 938 x 438 picture (the shown pixels "
        "converted and scaled in one pass)");
}
BENCHMARK(colorPictureFromYuy2)->Unit(benchmark::kMillisecond);

void pollWithoutNewFrame(benchmark::State &state)
{
    camera::SteppedClock clock;
    IKinectSensor *sensor
        = camera::createKinectSensor(std::make_shared<camera::DemoSource>(clock.clock()));
    sensor->Open();
    IBodyFrameSource *source = nullptr;
    IBodyFrameReader *reader = nullptr;
    sensor->get_BodyFrameSource(&source);
    source->OpenReader(&reader);
    IBodyFrame *frame = nullptr;
    reader->AcquireLatestFrame(&frame);
    frame->Release();
    for (auto _ : state)
        benchmark::DoNotOptimize(reader->AcquireLatestFrame(&frame));
    state.SetLabel("Camera contract: an acquire that finds no new body frame (the arrival event "
                   "reset and set to the next due time)");
    state.counters["hz"] = emptyLooksPerSecond;
    reader->Release();
    source->Release();
    sensor->Release();
}
BENCHMARK(pollWithoutNewFrame);

// A sensor over the demo camera on a stepped clock, with its two labels at
// their on-screen size.
struct DemoSensor {
    camera::SteppedClock clock;
    camera::ScopedSource installed { std::make_shared<camera::DemoSource>(clock.clock()) };
    QLabel colorLabel;
    QLabel skeletonLabel;
    Kinect::Sensor sensor { &colorLabel, &skeletonLabel };

    DemoSensor()
    {
        colorLabel.resize(938, 438);
        skeletonLabel.resize(938, 438);
    }
};

void sensorColorFrame(benchmark::State &state)
{
    DemoSensor demo;
    for (auto _ : state) {
        demo.clock.advance(framePeriod);
        demo.sensor.updateColorFrame();
    }
    paidPerCameraFrame(
        state, "Sensor: one demo colour frame shown (render, YUY2 conversion, scaling, pixmap)");
}
BENCHMARK(sensorColorFrame)->Unit(benchmark::kMillisecond);

void sensorSkeletonFrame(benchmark::State &state)
{
    DemoSensor demo;
    for (auto _ : state) {
        demo.clock.advance(framePeriod);
        demo.sensor.updateSkeletonFrame();
    }
    paidPerCameraFrame(state, "Sensor: one demo body frame without a window (skeleton view only)");
}
BENCHMARK(sensorSkeletonFrame)->Unit(benchmark::kMicrosecond);

void sensorPollWithoutNewFrame(benchmark::State &state)
{
    DemoSensor demo;
    demo.sensor.updateColorFrame();
    demo.sensor.updateSkeletonFrame();
    for (auto _ : state) {
        demo.sensor.updateColorFrame();
        demo.sensor.updateSkeletonFrame();
    }
    state.SetLabel("Sensor: the colour and the skeleton poll, neither finding a new frame");
    state.counters["hz"] = emptyLooksPerSecond;
}
BENCHMARK(sensorPollWithoutNewFrame);

// One body frame of the demonstration operator through the whole capture
// step of the main window, in each capture mode. Capture only appends
// poses and asks the 3D view to repaint; the paint is figure 3's.
enum CaptureMode { NotRecording, ContinuousSpatial, ContinuousPlanar, KeySpatial, KeyPlanar };

void bodyFrameInCaptureMode(benchmark::State &state)
{
    const auto mode = CaptureMode(state.range(0));
    auto source = std::make_shared<camera::ScriptedSource>();
    testkit::WindowWithSource polled(source);
    Kinect::mainDialog &w = polled.window();
    if (mode == ContinuousSpatial || mode == ContinuousPlanar)
        w.continuousCaptureCheck->setChecked(true);
    if (mode == KeySpatial || mode == KeyPlanar)
        w.keyPositionCaptureCheck->setChecked(true);
    if (mode == ContinuousSpatial || mode == KeySpatial)
        w.spatialCaptureCheck->setChecked(true);
    if (mode == ContinuousPlanar || mode == KeyPlanar)
        w.planarCaptureCheck->setChecked(true);
    w.startRecordingCheck->setChecked(mode != NotRecording);

    // A loop of the demo's frames made beforehand, so that only the
    // sensor's step is timed.
    std::vector<camera::BodyFrame> frames;
    for (int i = 0; i < camera::DemoOperator::cycleFrames; ++i)
        frames.push_back(bench::demoBodyFrame(i));
    size_t i = 0;
    for (auto _ : state) {
        source->pushBodyFrame(frames[i]);
        w.sensor->updateSkeletonFrame();
        i = (i + 1) % frames.size();
    }
    static const char *const names[] = { "not recording", "continuous, spatial",
        "continuous, planar", "key positions, spatial", "key positions, planar" };
    paidPerCameraFrame(state, std::string("Capture: one body frame, ") + names[mode]);
}
BENCHMARK(bodyFrameInCaptureMode)
    ->DenseRange(NotRecording, KeyPlanar)
    ->Unit(benchmark::kMicrosecond);

const char *const noRecordings = "no recordings (../shared/recordings/kinect-csv)";

// One recorded body frame of a real person through the capture step, with
// recording checked by hand (the recordings carry no hand states). Real
// joints jitter as a tracker reports them, which the stillness test of
// key-position capture sees.
void recordedBodyFrame(benchmark::State &state)
{
    const bool keyPositions = state.range(0) != 0;
    std::vector<camera::BodyFrame> frames;
    const QStringList files = bench::recordingFiles();
    for (const QString &file : files) {
        const camera::Recording recording = camera::readRecording(file);
        for (const camera::Recording::Frame &f : recording.frames) {
            camera::BodyFrame frame;
            for (int b = 0; b < f.bodyCount && b < BODY_COUNT; ++b)
                frame.bodies[size_t(b)] = recording.bodies[size_t(f.firstBody + b)];
            frames.push_back(frame);
        }
    }
    if (frames.empty()) {
        state.SetLabel(std::string("Capture: one recorded body frame, ")
            + (keyPositions ? "key positions" : "continuous") + ", spatial");
        state.SkipWithError(noRecordings);
        return;
    }
    auto source = std::make_shared<camera::ScriptedSource>();
    testkit::WindowWithSource polled(source);
    Kinect::mainDialog &w = polled.window();
    (keyPositions ? w.keyPositionCaptureCheck : w.continuousCaptureCheck)->setChecked(true);
    w.spatialCaptureCheck->setChecked(true);
    w.startRecordingCheck->setChecked(true);
    size_t i = 0;
    for (auto _ : state) {
        source->pushBodyFrame(frames[i]);
        w.sensor->updateSkeletonFrame();
        i = (i + 1) % frames.size();
    }
    paidPerCameraFrame(state,
        std::string("Capture: one recorded body frame (") + std::to_string(files.size())
            + " recordings, " + std::to_string(frames.size()) + " frames), "
            + (keyPositions ? "key positions" : "continuous") + ", spatial");
}
BENCHMARK(recordedBodyFrame)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// What choosing a replay costs before its first frame: reading and checking
// the longest recording.
void readLongestRecording(benchmark::State &state)
{
    QString longest;
    qint64 size = -1;
    for (const QString &file : bench::recordingFiles())
        if (QFileInfo(file).size() > size) {
            size = QFileInfo(file).size();
            longest = file;
        }
    if (longest.isEmpty()) {
        state.SetLabel("Replay: read and check the longest recording");
        state.SkipWithError(noRecordings);
        return;
    }
    size_t frames = 0;
    for (auto _ : state)
        frames = camera::readRecording(longest).frames.size();
    state.SetLabel("Replay: read and check a recording ("
        + QFileInfo(longest).fileName().toStdString() + ", " + std::to_string(frames) + " frames, "
        + std::to_string(size / 1024) + " KiB)");
}
BENCHMARK(readLongestRecording)->Unit(benchmark::kMillisecond);

// A camera whose every poll finds a new colour frame, always the same
// full-size picture in one format: what is timed is the sensor's step.
class StillColorSource : public camera::Source {
public:
    explicit StillColorSource(ColorImageFormat format)
        : m_format(format)
    {
    }
    bool open() override { return true; }
    std::int64_t latestBodyFrame() override { return -1; }
    void bodyFrame(std::int64_t, camera::BodyFrame &) override { }
    std::int64_t latestColorFrame() override { return m_next++; }
    void colorFrame(std::int64_t, camera::ColorImage &image) override
    {
        // The reader hands the same image back every time: fill it once.
        if (image.format == m_format)
            return;
        image.format = m_format;
        image.width = colorFrameWidth;
        image.height = colorFrameHeight;
        const int bytesPerPixel = m_format == ColorImageFormat_Bgra ? 4 : 2;
        image.bytes.resize(std::size_t(colorFrameWidth) * colorFrameHeight * bytesPerPixel);
        for (std::size_t k = 0; k < image.bytes.size(); ++k)
            image.bytes[k] = BYTE(k * 7 + k / 4096);
    }

private:
    ColorImageFormat m_format;
    std::int64_t m_next = 0;
};

void colorFrameShown(benchmark::State &state)
{
    const auto format = ColorImageFormat(state.range(0));
    camera::ScopedSource installed(std::make_shared<StillColorSource>(format));
    QLabel colorLabel;
    QLabel skeletonLabel;
    colorLabel.resize(938, 438);
    Kinect::Sensor sensor(&colorLabel, &skeletonLabel);
    for (auto _ : state)
        sensor.updateColorFrame();
    paidPerCameraFrame(state,
        std::string("Colour view: one 1920 x 1080 frame shown from ")
            + (format == ColorImageFormat_Bgra ? "BGRA (scaling, pixmap)"
                                               : "YUY2 (conversion, scaling, pixmap)"));
}
BENCHMARK(colorFrameShown)
    ->Arg(ColorImageFormat_Bgra)
    ->Arg(ColorImageFormat_Yuy2)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    const auto application = testkit::startApplication(argc, argv, "offscreen");
    return bench::runBenchmarks(argc, argv, "4");
}
