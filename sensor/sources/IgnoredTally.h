#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace camera {

// Counts what a source's input ignored, by kind, and words it in one line at
// most once a second with the latest detail of each kind, so that a flood of
// junk neither goes unseen nor floods the log. Time comes with every call
// (monotonic); nothing here reads a clock. Not thread safe.
class IgnoredCounts {
public:
    static constexpr std::chrono::nanoseconds reportInterval = std::chrono::seconds(1);

    // The line starts "prefix: ignored since the last report: "; wording
    // names each kind in the plural ("malformed packets").
    IgnoredCounts(std::string prefix, std::vector<const char *> wording);

    // The line due at now: what was counted since the last line, when
    // anything was and the last line is at least reportInterval old; empty
    // otherwise. Taking a line starts the counts afresh.
    std::string takeReport(std::chrono::nanoseconds now);
    // When takeReport will next give a line; nothing while nothing waits.
    std::optional<std::chrono::nanoseconds> reportDue() const;

protected:
    // Counts one of kind; detail, when given, is kept for the line as the
    // latest of its kind.
    void count(std::size_t kind, std::string_view detail);
    std::uint64_t totalOf(std::size_t kind) const { return m_total[kind]; }

private:
    std::string m_prefix;
    std::vector<const char *> m_wording;
    std::vector<std::uint64_t> m_total;
    std::vector<std::uint64_t> m_pending;
    std::vector<std::string> m_lastDetail;
    bool m_anyPending = false;
    std::optional<std::chrono::nanoseconds> m_lastReport;
};

// The counts of one source, by the kinds of its own enum.
template <typename Kind>
class IgnoredTally : public IgnoredCounts {
public:
    using IgnoredCounts::IgnoredCounts;

    void add(Kind kind, std::string_view detail = {}) { count(std::size_t(kind), detail); }
    // Everything counted of a kind since construction.
    std::uint64_t total(Kind kind) const { return totalOf(std::size_t(kind)); }
};

} // namespace camera
