// What a motion export costs (figure 7): turning 20,000 drawn poses into
// each file format (positions, unit quaternions with continuous signs, the
// text), and resampling a motion of as many poses to constant speed. No
// OpenGL, no file system: the text is made in memory.
//
//   build/bench/bench/bench_export [--benchmark_repetitions=5]
//
// The target is 50 ms for 20,000 poses: "against the budget" is the share of
// those 50 ms (20 exports a second).

#include "bench/support/BenchPoses.h"
#include "bench/support/BenchmarkMain.h"
#include "motion/MotionCurve.h"
#include "motion/MotionExport.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

constexpr size_t poseCount = 20000;
constexpr double exportsPerSecond = 20.0;

// 20,000 poses of the screw motion through 1,000 swept key positions.
const std::vector<DualQuaternion> &drawnPoses()
{
    static const std::vector<DualQuaternion> poses = [] {
        std::vector<DualQuaternion> p
            = drawnMotionPoses(MotionKind::Screw, bench::sweptKeyPoses(1000), 100, 3);
        p.resize(poseCount);
        return p;
    }();
    return poses;
}

void fig7_export(benchmark::State &state)
{
    const MotionExportFormat format = MotionExportFormat(state.range(0));
    const std::vector<DualQuaternion> &poses = drawnPoses();
    MotionExportSettings settings;
    settings.durationSeconds = 999.0;
    size_t bytes = 0;
    for (auto _ : state) {
        std::vector<ExportPose> exported;
        exportPoses(poses, &exported);
        std::string text = motionExportFormatInfo(format).write(exported, settings);
        bytes = text.size();
        benchmark::DoNotOptimize(text.data());
    }
    state.SetLabel(std::string("Motion export: 20000 poses as ") + motionExportFormatName(format)
        + " (" + std::to_string(bytes / 1024) + " KiB of text; target 50 ms)");
    state.counters["hz"] = exportsPerSecond;
}

void fig7_constantSpeed(benchmark::State &state)
{
    const std::unique_ptr<MotionCurve> curve
        = motionCurve(MotionKind::Screw, bench::sweptKeyPoses(1000), 3);
    for (auto _ : state)
        benchmark::DoNotOptimize(constantSpeedPoses(*curve, int(poseCount)));
    state.SetLabel("Constant speed: 20000 poses of a screw motion through 1000 key positions "
                   "(80000-chord table)");
    state.counters["hz"] = exportsPerSecond;
}

} // namespace

BENCHMARK(fig7_export)
    ->Arg(int(MotionExportFormat::Csv))
    ->Arg(int(MotionExportFormat::Tum))
    ->Arg(int(MotionExportFormat::URScript))
    ->Unit(benchmark::kMillisecond);
BENCHMARK(fig7_constantSpeed)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv) { return bench::runBenchmarks(argc, argv, "7"); }
