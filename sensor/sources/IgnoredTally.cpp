#include "sensor/sources/IgnoredTally.h"

namespace camera {

IgnoredCounts::IgnoredCounts(std::string prefix, std::vector<const char *> wording)
    : m_prefix(std::move(prefix))
    , m_wording(std::move(wording))
    , m_total(m_wording.size(), 0)
    , m_pending(m_wording.size(), 0)
    , m_lastDetail(m_wording.size())
{
}

void IgnoredCounts::count(std::size_t kind, std::string_view detail)
{
    ++m_total[kind];
    ++m_pending[kind];
    if (!detail.empty())
        m_lastDetail[kind].assign(detail.data(), detail.size());
    m_anyPending = true;
}

std::optional<std::chrono::nanoseconds> IgnoredCounts::reportDue() const
{
    if (!m_anyPending)
        return std::nullopt;
    return m_lastReport ? *m_lastReport + reportInterval : std::chrono::nanoseconds::min();
}

std::string IgnoredCounts::takeReport(std::chrono::nanoseconds now)
{
    const std::optional<std::chrono::nanoseconds> due = reportDue();
    if (!due || now < *due)
        return std::string();
    std::string line = m_prefix + ": ignored since the last report: ";
    bool first = true;
    for (std::size_t k = 0; k < m_wording.size(); ++k) {
        if (m_pending[k] == 0)
            continue;
        if (!first)
            line += "; ";
        first = false;
        line += std::to_string(m_pending[k]) + ' ' + m_wording[k];
        if (!m_lastDetail[k].empty())
            line += " (last: " + m_lastDetail[k] + ')';
        m_pending[k] = 0;
        m_lastDetail[k].clear();
    }
    m_anyPending = false;
    m_lastReport = now;
    return line;
}

} // namespace camera
