#include "bench/support/ProcessStats.h"

#include <fstream>
#include <sstream>
#include <thread>

#include <unistd.h>

namespace bench {

double residentBytes(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        // "VmRSS:     123456 kB"
        if (line.rfind("VmRSS:", 0) == 0) {
            std::istringstream fields(line.substr(6));
            double kibibytes = -1.0;
            fields >> kibibytes;
            return kibibytes < 0.0 ? -1.0 : kibibytes * 1024.0;
        }
    }
    return -1.0;
}

double cpuSeconds(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!std::getline(stat, text))
        return -1.0;
    // The command name in parentheses may hold spaces: fields are counted
    // from the last ')'. utime and stime are fields 14 and 15.
    const size_t close = text.rfind(')');
    if (close == std::string::npos)
        return -1.0;
    std::istringstream fields(text.substr(close + 1));
    std::string field;
    double utime = -1.0;
    double stime = -1.0;
    for (int number = 3; fields >> field; ++number) {
        if (number == 14)
            utime = std::stod(field);
        else if (number == 15) {
            stime = std::stod(field);
            break;
        }
    }
    if (utime < 0.0 || stime < 0.0)
        return -1.0;
    return (utime + stime) / double(sysconf(_SC_CLK_TCK));
}

Machine machine()
{
    Machine m;
    m.cores = int(std::thread::hardware_concurrency());
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line;
    while (std::getline(cpuinfo, line)) {
        if (line.rfind("model name", 0) == 0) {
            const size_t colon = line.find(':');
            if (colon != std::string::npos)
                m.cpuModel = line.substr(line.find_first_not_of(' ', colon + 1));
            break;
        }
    }
    std::ifstream loadavg("/proc/loadavg");
    loadavg >> m.loadAverage;
    return m;
}

} // namespace bench
