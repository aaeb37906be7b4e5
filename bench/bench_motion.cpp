// What a paint computes before it draws: the sampled poses with their
// placement matrices and the trajectory of each motion kind at density 100,
// through the motion's own prepareDrawing() (figure 1), and the two algebra
// steps under them (figure 2). No OpenGL.
//
//   build/bench/bench/bench_motion [--benchmark_filter=Bezier] [--benchmark_repetitions=5]
//
// Every paint recomputes every shown kind, so a time here is paid once per
// paint: against a 60 Hz display, 16.7 ms is the whole frame. The
// interpolation solves for its control poses only when its key poses or
// degree changed: its per-paint rows time a paint that finds them unchanged,
// and its "after a change" rows the first paint after one.

#include "algebra/DenseMatrix.h"
#include "bench/support/BenchPoses.h"
#include "bench/support/BenchmarkMain.h"
#include "bench/support/PaintComputation.h"
#include "bench/support/ResultTable.h"
#include "motion/MBezierMotion.h"
#include "motion/MRBSplineInterpolation.h"
#include "motion/MRBSplineMotion.h"
#include "motion/MScrewMotion.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <type_traits>
#include <vector>

namespace {

constexpr int density = 100;

template <typename M> void computeKind(benchmark::State &state, std::string kind)
{
    const int n = int(state.range(0));
    M motion;
    motion.setKeyPoses(bench::sweptKeyPoses(n));
    motion.properties().setDensity(density);
    motion.properties().setShowTrajectory(true);
    if constexpr (std::is_base_of_v<MRBSplineMotion, M>) {
        // The view narrows the degree to n - 1 before it draws.
        const int degree = std::min(3, n - 1);
        motion.setDegree(degree);
        kind += ", degree " + std::to_string(degree);
    }
    // A paint that finds the key poses as the last one left them: the
    // interpolation has its control poses from this first call.
    bench::computeMotion(motion);
    for (auto _ : state)
        benchmark::DoNotOptimize(bench::computeMotion(motion));
    const size_t poses = motion.sampledPoses().size();
    std::string label
        = kind + ", " + std::to_string(n) + " key positions: " + std::to_string(poses) + " poses";
    if constexpr (std::is_same_v<M, MRBSplineInterpolation>)
        if (motion.interpolationFailed())
            label += " (nothing drawn: cannot be interpolated reliably)";
    state.SetLabel(label);
    state.counters["hz"] = bench::displayHz;
}

void fig1_screw(benchmark::State &state) { computeKind<MScrewMotion>(state, "Screw"); }
void fig1_bezier(benchmark::State &state) { computeKind<MBezierMotion>(state, "Bezier"); }
void fig1_approximation(benchmark::State &state)
{
    computeKind<MRBSplineMotion>(state, "B-spline approximation");
}
void fig1_interpolation(benchmark::State &state)
{
    computeKind<MRBSplineInterpolation>(state, "B-spline interpolation");
}

// The first paint after the key positions changed: a new motion object
// every time, so the basis matrix is inverted and the control poses solved.
void fig1_interpolationAfterChange(benchmark::State &state)
{
    const int n = int(state.range(0));
    const std::vector<DualQuaternion> keys = bench::sweptKeyPoses(n);
    bool failed = false;
    for (auto _ : state) {
        MRBSplineInterpolation motion;
        motion.setKeyPoses(keys);
        motion.setDegree(3);
        motion.properties().setDensity(density);
        motion.properties().setShowTrajectory(true);
        benchmark::DoNotOptimize(bench::computeMotion(motion));
        failed = motion.interpolationFailed();
    }
    state.SetLabel("B-spline interpolation, degree 3, " + std::to_string(n)
        + " key positions, first paint after a change (inverse and control poses)"
        + (failed ? ": cannot be interpolated reliably" : ""));
    state.counters["hz"] = bench::displayHz;
}

void fig2_toMatrix(benchmark::State &state)
{
    const std::vector<DualQuaternion> poses = bench::sweptKeyPoses(1024);
    size_t i = 0;
    for (auto _ : state) {
        Matrix4 m = poses[i].toMatrix();
        benchmark::DoNotOptimize(m);
        i = (i + 1) % poses.size();
    }
    state.SetLabel("DualQuaternion::toMatrix, one call");
    // About what a paint of 200 key positions with all four kinds converts:
    // 16,000 drawn poses, 1,000 key position placements, 10,000 trajectory
    // points.
    state.counters["hz"] = bench::displayHz;
    state.counters["calls"] = 27000;
}

// A dense, well-conditioned n x n matrix (a dominant diagonal over
// pseudo-random entries). The inversion does the same work for any regular
// matrix: the full pivot search and the elimination skip nothing. (The
// interpolation's own matrix stops being invertible in double precision
// from about 237 key positions on, so it cannot be timed at n = 500.)
DenseMatrix regularMatrix(int n)
{
    DenseMatrix a(n, n);
    std::uint32_t state = 12345;
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            state = state * 1664525u + 1013904223u;
            a.data[i][j] = double(state >> 8) / double(1u << 24) - 0.5 + (i == j ? n : 0);
        }
    return a;
}

void fig2_inverse(benchmark::State &state)
{
    const int n = int(state.range(0));
    const DenseMatrix a = regularMatrix(n);
    bool ok = false;
    for (auto _ : state) {
        DenseMatrix b = a.inverse(&ok);
        benchmark::DoNotOptimize(b.data);
    }
    if (!ok)
        state.SkipWithError("the matrix did not invert");
    state.SetLabel("DenseMatrix::inverse, n = " + std::to_string(n));
    state.counters["hz"] = bench::displayHz;
}

} // namespace

// 1,000 key positions run once: an interpolation inverts its matrix on the
// first call, which takes most of a second at that size.
#define KEY_COUNTS(kind)                                                                           \
    BENCHMARK(kind)->ArgName("n")->Arg(3)->Arg(10)->Arg(50)->Arg(200)->Unit(                       \
        benchmark::kMillisecond);                                                                  \
    BENCHMARK(kind)->ArgName("n")->Arg(1000)->Repetitions(1)->Unit(benchmark::kMillisecond)
KEY_COUNTS(fig1_screw);
KEY_COUNTS(fig1_bezier);
KEY_COUNTS(fig1_approximation);
KEY_COUNTS(fig1_interpolation);
BENCHMARK(fig1_interpolationAfterChange)
    ->ArgName("n")
    ->Arg(10)
    ->Arg(48)
    ->Arg(200)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(fig1_interpolationAfterChange)
    ->ArgName("n")
    ->Arg(1000)
    ->Repetitions(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(fig2_toMatrix);
BENCHMARK(fig2_inverse)->ArgName("n")->Arg(10)->Arg(100)->Arg(500)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv) { return bench::runBenchmarks(argc, argv, "1"); }
