#pragma once

#include <string>

#include <sys/types.h>

// What the kernel says about a running process (Linux /proc).
namespace bench {

// Resident set size in bytes; -1 when the process cannot be read.
double residentBytes(pid_t pid);
// User plus system CPU time in seconds, all threads; -1 when unreadable.
double cpuSeconds(pid_t pid);

// The machine: CPU model, the number of cores, the 1-minute load average.
struct Machine {
    std::string cpuModel;
    int cores = 0;
    double loadAverage = 0.0;
};
Machine machine();

} // namespace bench
