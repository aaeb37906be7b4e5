// The camera path's costs: producing the demo's frames, converting YUY2, a
// poll that finds nothing new, and the sensor's colour and skeleton steps as
// the GUI thread runs them (without the screen).
//
//   build/test/bench/bench_camera [--benchmark_filter=Color]
//
// At 30 frames a second, a frame step of t ms costs 3 t % of one core.

#include "sensor/Sensor.h"
#include "sensor/sources/Clock.h"
#include "sensor/sources/ColorConversion.h"
#include "sensor/sources/DemoSource.h"
#include "sensor/sources/Source.h"
#include "sensor/sources/SourceDevice.h"

#include <QApplication>
#include <QLabel>

#include <benchmark/benchmark.h>

#include <vector>

using namespace std::chrono_literals;

namespace {

constexpr std::chrono::nanoseconds framePeriod(1000000000 / 30 + 1);

void demoColorFrame(benchmark::State &state)
{
    camera::SteppedClock clock;
    camera::DemoSource source(clock.clock());
    source.open();
    camera::ColorImage image;
    std::int64_t index = 0;
    for (auto _ : state) {
        source.colorFrame(index, image);
        benchmark::DoNotOptimize(image.bytes.data());
        index = (index + 7) % 1620;
    }
}
BENCHMARK(demoColorFrame)->Unit(benchmark::kMillisecond);

void demoBodyFrame(benchmark::State &state)
{
    camera::SteppedClock clock;
    camera::DemoSource source(clock.clock());
    source.open();
    camera::BodyFrame frame;
    std::int64_t index = 0;
    for (auto _ : state) {
        source.bodyFrame(index++, frame);
        benchmark::DoNotOptimize(frame.bodies[0].joints[0].Position.X);
    }
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
}
BENCHMARK(yuy2ToBgra)->Unit(benchmark::kMillisecond);

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
}
BENCHMARK(sensorColorFrame)->Unit(benchmark::kMillisecond);

void sensorSkeletonFrame(benchmark::State &state)
{
    DemoSensor demo;
    for (auto _ : state) {
        demo.clock.advance(framePeriod);
        demo.sensor.updateSkeletonFrame();
    }
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
}
BENCHMARK(sensorPollWithoutNewFrame);

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
