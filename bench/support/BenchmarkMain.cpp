#include "bench/support/BenchmarkMain.h"

#include "bench/support/ResultTable.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <iostream>
#include <utility>
#include <vector>

namespace bench {

namespace {

    double toSeconds(double value, benchmark::TimeUnit unit)
    {
        switch (unit) {
        case benchmark::kNanosecond:
            return value * 1e-9;
        case benchmark::kMicrosecond:
            return value * 1e-6;
        case benchmark::kMillisecond:
            return value * 1e-3;
        case benchmark::kSecond:
            return value;
        }
        return value;
    }

    // The repetitions of one benchmark instance.
    struct Measured {
        std::string figure;
        std::string measurement;
        std::string function;
        double argument = 0.0;
        bool hasArgument = false;
        double hz = 0.0;
        double calls = 0.0;
        std::vector<double> seconds;
        std::string error;
    };

    class TableReporter : public benchmark::BenchmarkReporter {
    public:
        explicit TableReporter(std::string defaultFigure)
            : m_defaultFigure(std::move(defaultFigure))
        {
        }

        bool ReportContext(const Context &) override { return true; }

        void ReportRuns(const std::vector<Run> &runs) override
        {
            for (const Run &run : runs) {
                if (run.run_type != Run::RT_Iteration)
                    continue;
                Measured &m = entry(run);
                if (run.error_occurred) {
                    m.error = run.error_message;
                    continue;
                }
                m.seconds.push_back(toSeconds(run.GetAdjustedCPUTime(), run.time_unit));
                const auto hz = run.counters.find("hz");
                if (hz != run.counters.end())
                    m.hz = hz->second.value;
                const auto calls = run.counters.find("calls");
                if (calls != run.counters.end())
                    m.calls = calls->second.value;
                std::cerr << "  " << run.benchmark_name() << ": "
                          << formatDuration(m.seconds.back()) << '\n';
            }
        }

        void Finalize() override
        {
            const Measured *previous = nullptr;
            for (const auto &[key, m] : m_order) {
                (void)key;
                print(m, previous);
                previous = &m;
            }
        }

    private:
        Measured &entry(const Run &run)
        {
            const auto key = std::make_pair(run.family_index, run.per_family_instance_index);
            for (auto &[k, m] : m_order)
                if (k == key)
                    return m;
            Measured m;
            const std::string &name = run.run_name.function_name;
            m.function = name;
            m.figure = m_defaultFigure;
            if (name.rfind("fig", 0) == 0) {
                const size_t underscore = name.find('_');
                if (underscore != std::string::npos)
                    m.figure = name.substr(3, underscore - 3);
            }
            m.measurement = run.report_label.empty() ? run.benchmark_name() : run.report_label;
            // Only a size named "n" has a growth; other arguments are cases.
            const std::string &args = run.run_name.args;
            if (args.rfind("n:", 0) == 0) {
                char *end = nullptr;
                m.argument = std::strtod(args.c_str() + 2, &end);
                m.hasArgument = end != args.c_str() + 2;
            }
            m_order.emplace_back(key, std::move(m));
            return m_order.back().second;
        }

        static void print(const Measured &m, const Measured *previous)
        {
            Row row;
            row.figure = m.figure;
            row.measurement = m.measurement;
            if (m.seconds.empty()) {
                row.median = "skipped";
                row.spread = m.error;
                printRow(row);
                return;
            }
            const double t = median(m.seconds);
            row.median = formatDuration(t);
            row.spread = m.seconds.size() > 1 ? durationRange(m.seconds) : "one run";
            if (m.calls > 0.0)
                row.budget = formatNumber(m.calls, 0) + " calls: " + budgetShare(t * m.calls, m.hz);
            else
                row.budget = budgetShare(t, m.hz);
            if (previous && previous->function == m.function && m.hasArgument
                && previous->hasArgument && !previous->seconds.empty()
                && m.argument > previous->argument && previous->argument > 0.0) {
                const double growth = std::log(t / median(previous->seconds))
                    / std::log(m.argument / previous->argument);
                row.measurement += " (growth n^" + formatNumber(growth, 1) + ")";
            }
            printRow(row);
        }

        std::string m_defaultFigure;
        std::vector<std::pair<std::pair<std::int64_t, std::int64_t>, Measured>> m_order;
    };

} // namespace

int runBenchmarks(int argc, char **argv, const std::string &defaultFigure)
{
    // Looked for before Initialize, which removes the flags it knows.
    bool ownFormat = false;
    for (int i = 1; i < argc; ++i)
        ownFormat = ownFormat || std::string(argv[i]).rfind("--benchmark_format", 0) == 0;
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 2;
    if (ownFormat) {
        benchmark::RunSpecifiedBenchmarks();
    } else {
        TableReporter table(defaultFigure);
        benchmark::RunSpecifiedBenchmarks(&table);
    }
    benchmark::Shutdown();
    return 0;
}

} // namespace bench
