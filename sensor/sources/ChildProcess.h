#pragma once

#include <QString>

#include <atomic>
#include <string>
#include <sys/types.h>
#include <vector>

namespace camera {

// A helper program (the browser, the video converter) run in a process group
// of its own, so that stop() ends it with every process it started. The
// kernel kills it when the thread that started it ends, which includes this
// program dying by any signal: start it from a thread that lives as long as
// it should. One owner; only kill() may be called
// from another thread.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    // What becomes of the child's standard output; standard input is always
    // /dev/null, standard error goes to errorPath (truncated) or /dev/null.
    enum class Output { Discard, Pipe };

    // Starts arguments[0], looked up in PATH, with the rest as its
    // arguments. False, with why in error, when it cannot be started (the
    // program missing included: that is found out before returning).
    bool start(const std::vector<std::string> &arguments, Output output, QString &error,
        const std::string &errorPath = std::string());
    // The read end of the child's standard output (Output::Pipe), else -1.
    // Owned by this object.
    int outputDescriptor() const { return m_output; }
    pid_t pid() const { return m_pid; }
    bool isRunning() const { return m_pid > 0; }

    // Whether the child has ended, without waiting; collects it if so.
    bool hasExited();
    // Waits until the child ends (or ended); its wait status, -1 without one.
    int waitForExit();
    // Kills the child's whole process group and collects the child.
    void stop();
    // Kills the child's whole process group without collecting the child or
    // closing its output: a thread blocked reading that output sees its end.
    void kill();
    // The wait status of the last child that ended (waitpid's), -1 without one.
    int exitStatus() const { return m_status; }

    // The absolute path PATH gives for program, empty when it has none.
    static std::string findProgram(const std::string &program);

private:
    void closeOutput();

    // Atomic so that kill() may come from another thread than the rest.
    std::atomic<pid_t> m_pid { -1 };
    int m_output = -1;
    int m_status = -1;
};

// Describes a wait status: "exited with status 1", "was killed by signal 9".
QString describeExit(int status);

} // namespace camera
