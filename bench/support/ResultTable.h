#pragma once

#include <string>
#include <vector>

// The one results table that scripts/bench prints: every benchmark and
// driver writes its rows to standard output in this shape, and nothing else
// (progress and diagnostics go to standard error).
//
//   | Fig. | Measurement | Median | Spread | Against the budget |
namespace bench {

// The two rates a user feels: the camera's body and colour frames, and the
// display's refresh.
constexpr double cameraHz = 30.0;
constexpr double displayHz = 60.0;

struct Row {
    std::string figure;
    std::string measurement;
    std::string median;
    std::string spread;
    std::string budget;
};

// Prints the header and the separator line.
void printHeader();
// Prints one row; '|' in a field is escaped. Flushes, so that rows from
// several programs keep their order in one stream.
void printRow(const Row &row);

// A duration with three significant digits in the unit that suits it:
// "41.2 ns", "3.07 µs", "12.5 ms", "2.41 s".
std::string formatDuration(double seconds);
// A byte count in MiB with one decimal.
std::string formatMebibytes(double bytes);
// A plain number with the given number of decimals.
std::string formatNumber(double value, int decimals);

// What a cost paid rate times a second takes of one core, in the words of
// the table: "24% of a 60 Hz frame" for the display rate, "9.1% of a 30 Hz
// camera frame" for the camera rate, "31% of a core at 13333/s" otherwise.
// Shares above 100% read "4.2 × a 60 Hz frame".
std::string budgetShare(double seconds, double rateHz);

// Statistics of a sample (copied, so the caller's order is kept). Both
// return 0 for an empty sample; percentile p in 0..100 is the nearest-rank
// value.
double median(std::vector<double> values);
double percentile(std::vector<double> values, double p);
// "min–max" of a sample of durations.
std::string durationRange(const std::vector<double> &seconds);

} // namespace bench
