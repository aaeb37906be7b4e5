#pragma once

#include <string>

namespace bench {

// Runs this program's Google Benchmarks and prints one row of the results
// table per benchmark instead of Google Benchmark's own report (which the
// usual flags still select: --benchmark_format=console, --benchmark_out).
//
// Rows: the figure is the N of a "figN_" name prefix, else defaultFigure;
// the measurement is the label the benchmark set (state.SetLabel), else its
// name; the median and the min–max are the thread's CPU time per iteration
// over the repetitions (--benchmark_repetitions), which on a shared machine
// estimates the time on an idle core better than the wall clock does; the
// budget column is that time against state.counters["hz"] (how often the
// program pays it a second), times state.counters["calls"] when a cost is
// paid that many times at that rate. A family whose argument is named "n" (ArgName("n"))
// also gets its growth: the exponent k of n^k between neighbouring sizes.
int runBenchmarks(int argc, char **argv, const std::string &defaultFigure);

} // namespace bench
