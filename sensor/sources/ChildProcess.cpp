#include "sensor/sources/ChildProcess.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace camera {

namespace {

    // Writes an errno value to the parent through the close-on-exec pipe and
    // ends the child: an exec that fails is reported before start() returns.
    [[noreturn]] void failInChild(int pipe, int code)
    {
        ssize_t ignored = ::write(pipe, &code, sizeof code);
        (void)ignored;
        ::_exit(127);
    }

    bool isExecutable(const std::string &path)
    {
        struct stat info { };
        return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)
            && ::access(path.c_str(), X_OK) == 0;
    }

    // Closes every descriptor from 3 up but keep.
    void closeAllBut(int keep)
    {
#ifdef SYS_close_range
        const bool below = keep <= 3 || ::syscall(SYS_close_range, 3u, unsigned(keep - 1), 0u) == 0;
        if (below && ::syscall(SYS_close_range, unsigned(keep + 1), ~0u, 0u) == 0)
            return;
#endif
        for (int fd = 3; fd < 65536; ++fd) {
            if (fd != keep)
                ::close(fd);
        }
    }

} // namespace

ChildProcess::~ChildProcess() { stop(); }

std::string ChildProcess::findProgram(const std::string &program)
{
    if (program.find('/') != std::string::npos)
        return isExecutable(program) ? program : std::string();
    const char *path = std::getenv("PATH");
    std::string directories = path ? path : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= directories.size()) {
        const std::size_t end = std::min(directories.find(':', start), directories.size());
        const std::string directory = directories.substr(start, end - start);
        const std::string candidate = (directory.empty() ? "." : directory) + '/' + program;
        if (isExecutable(candidate))
            return candidate;
        start = end + 1;
    }
    return std::string();
}

bool ChildProcess::start(const std::vector<std::string> &arguments, Output output, QString &error,
    const std::string &errorPath)
{
    stop();
    m_status = -1;
    if (arguments.empty()) {
        error = QStringLiteral("no program to start");
        return false;
    }
    const std::string program = findProgram(arguments[0]);
    if (program.empty()) {
        error = QStringLiteral("%1 is not installed (not found in PATH)")
                    .arg(QString::fromStdString(arguments[0]));
        return false;
    }
    // Everything the child needs is prepared before fork(): between fork and
    // exec only async-signal-safe calls are allowed in a threaded program.
    std::vector<char *> argv;
    for (const std::string &argument : arguments)
        argv.push_back(const_cast<char *>(argument.c_str()));
    argv.push_back(nullptr);
    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) {
        error = QStringLiteral("cannot start %1: %2")
                    .arg(QString::fromStdString(program),
                        QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    int outputPipe[2] = { -1, -1 };
    if (output == Output::Pipe && ::pipe2(outputPipe, O_CLOEXEC) != 0) {
        error = QStringLiteral("cannot start %1: %2")
                    .arg(QString::fromStdString(program),
                        QString::fromLocal8Bit(std::strerror(errno)));
        ::close(report[0]);
        ::close(report[1]);
        return false;
    }
    const char *errorTarget = errorPath.empty() ? "/dev/null" : errorPath.c_str();
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setpgid(0, 0);
        // Killed with the thread that started it; if that already happened
        // before the request was in place, end now.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent)
            ::_exit(127);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        const int in = ::open("/dev/null", O_RDONLY);
        const int err = ::open(errorTarget, O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || err < 0)
            failInChild(report[1], errno);
        const int out = output == Output::Pipe ? outputPipe[1] : ::open("/dev/null", O_WRONLY);
        if (out < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(err, 2) < 0)
            failInChild(report[1], errno);
        // Nothing of this program (its sockets, its files) reaches the child
        // but the report pipe, which closes on exec.
        closeAllBut(report[1]);
        ::execv(program.c_str(), argv.data());
        failInChild(report[1], errno);
    }
    ::close(report[1]);
    if (output == Output::Pipe)
        ::close(outputPipe[1]);
    if (pid < 0) {
        error = QStringLiteral("cannot start %1: %2")
                    .arg(QString::fromStdString(program),
                        QString::fromLocal8Bit(std::strerror(errno)));
        ::close(report[0]);
        if (output == Output::Pipe)
            ::close(outputPipe[0]);
        return false;
    }
    // Also set here: whichever of the two runs first, the group exists
    // before stop() can signal it.
    ::setpgid(pid, pid);
    int code = 0;
    ssize_t got;
    do
        got = ::read(report[0], &code, sizeof code);
    while (got < 0 && errno == EINTR);
    ::close(report[0]);
    m_pid = pid;
    m_output = output == Output::Pipe ? outputPipe[0] : -1;
    if (got == sizeof code) {
        waitForExit();
        closeOutput();
        error = QStringLiteral("cannot start %1: %2")
                    .arg(QString::fromStdString(program),
                        QString::fromLocal8Bit(std::strerror(code)));
        return false;
    }
    return true;
}

bool ChildProcess::hasExited()
{
    if (m_pid <= 0)
        return true;
    int status = 0;
    const pid_t done = ::waitpid(m_pid, &status, WNOHANG);
    if (done == 0)
        return false;
    if (done == m_pid)
        m_status = status;
    // Its group may live on (processes it started); they go with it.
    ::kill(-m_pid, SIGKILL);
    m_pid = -1;
    return true;
}

int ChildProcess::waitForExit()
{
    if (m_pid <= 0)
        return m_status;
    int status = 0;
    pid_t done;
    do
        done = ::waitpid(m_pid, &status, 0);
    while (done < 0 && errno == EINTR);
    if (done == m_pid)
        m_status = status;
    ::kill(-m_pid, SIGKILL);
    m_pid = -1;
    return m_status;
}

void ChildProcess::stop()
{
    if (m_pid > 0) {
        ::kill(-m_pid, SIGKILL);
        ::kill(m_pid, SIGKILL);
        waitForExit();
    }
    closeOutput();
}

void ChildProcess::kill()
{
    const pid_t pid = m_pid;
    if (pid > 0) {
        ::kill(-pid, SIGKILL);
        ::kill(pid, SIGKILL);
    }
}

void ChildProcess::closeOutput()
{
    if (m_output >= 0)
        ::close(m_output);
    m_output = -1;
}

QString describeExit(int status)
{
    if (status < 0)
        return QStringLiteral("ended");
    if (WIFEXITED(status))
        return QStringLiteral("exited with status %1").arg(WEXITSTATUS(status));
    if (WIFSIGNALED(status))
        return QStringLiteral("was killed by signal %1").arg(WTERMSIG(status));
    return QStringLiteral("ended");
}

} // namespace camera
