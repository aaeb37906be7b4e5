#include "bench/support/ResultTable.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace bench {

namespace {

    std::string escaped(const std::string &field)
    {
        std::string out;
        for (char c : field) {
            if (c == '|')
                out += '\\';
            out += c;
        }
        return out;
    }

    // Three significant digits of a value already scaled to its unit.
    std::string threeDigits(double value)
    {
        char text[32];
        const double magnitude = std::fabs(value);
        const int decimals = magnitude >= 100.0 ? 0 : magnitude >= 10.0 ? 1 : 2;
        std::snprintf(text, sizeof text, "%.*f", decimals, value);
        return text;
    }

} // namespace

void printHeader()
{
    std::printf("| Fig. | Measurement | Median | Spread | Against the budget |\n");
    std::printf("|---|---|---|---|---|\n");
    std::fflush(stdout);
}

void printRow(const Row &row)
{
    std::printf("| %s | %s | %s | %s | %s |\n", escaped(row.figure).c_str(),
        escaped(row.measurement).c_str(), escaped(row.median).c_str(), escaped(row.spread).c_str(),
        escaped(row.budget).c_str());
    std::fflush(stdout);
}

std::string formatDuration(double seconds)
{
    if (!std::isfinite(seconds))
        return "n/a";
    const double magnitude = std::fabs(seconds);
    if (magnitude >= 1.0)
        return threeDigits(seconds) + " s";
    if (magnitude >= 1e-3)
        return threeDigits(seconds * 1e3) + " ms";
    if (magnitude >= 1e-6)
        return threeDigits(seconds * 1e6) + " µs";
    return threeDigits(seconds * 1e9) + " ns";
}

std::string formatMebibytes(double bytes) { return formatNumber(bytes / 1048576.0, 1) + " MiB"; }

std::string formatNumber(double value, int decimals)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string budgetShare(double seconds, double rateHz)
{
    if (!std::isfinite(seconds) || rateHz <= 0.0)
        return "";
    const double share = seconds * rateHz;
    std::string what;
    if (rateHz == displayHz)
        what = "a 60 Hz frame";
    else if (rateHz == cameraHz)
        what = "a 30 Hz camera frame";
    else
        what = "a core at " + formatNumber(rateHz, 0) + "/s";
    if (share >= 1.0)
        return formatNumber(share, share >= 10.0 ? 0 : 1) + " × " + what;
    const double percent = share * 100.0;
    return formatNumber(percent, percent >= 10.0 ? 0 : percent >= 1.0 ? 1 : 2) + "% of " + what;
}

double median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const double rank = std::ceil(p / 100.0 * double(values.size()));
    const size_t index = rank < 1.0 ? 0 : std::min(values.size() - 1, size_t(rank) - 1);
    return values[index];
}

std::string durationRange(const std::vector<double> &seconds)
{
    if (seconds.empty())
        return "";
    const auto [low, high] = std::minmax_element(seconds.begin(), seconds.end());
    return formatDuration(*low) + " – " + formatDuration(*high);
}

} // namespace bench
