// Running cost (figure 5): the CPU the whole program uses over 30 s as a
// share of one core, its window shown and idle, with no camera and with the
// demo source; its resident memory after start; and the resident memory of
// a main window before and after 18,000 continuous poses (ten minutes of
// recording at 30 Hz) were captured through its sensor and painted once.
//
//   xvfb-run -a build/bench/bench/drive_running build/bench/handmotion [SECONDS]
//
// Run it from the repository root: the program is started there.

#include "app/mainDialog.h"
#include "bench/support/BenchPoses.h"
#include "bench/support/ProcessStats.h"
#include "bench/support/ResultTable.h"
#include "sensor/Sensor.h"
#include "testkit/BenchmarkStart.h"
#include "testkit/ScriptedSource.h"
#include "testkit/WindowWithSource.h"
#include "view/GLWidget.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QProcess>
#include <QSlider>
#include <QTest>

#include <unistd.h>

#include <chrono>
#include <iostream>
#include <map>
#include <string>
#include <thread>

using bench::Row;

namespace {

constexpr int settleSeconds = 5;
constexpr int capturedPoses = 18000;

// CPU seconds per thread name of a process: the GUI thread carries the
// program's name, the two polling threads and Mesa's llvmpipe workers
// their own.
std::map<std::string, double> cpuByThread(qint64 pid)
{
    std::map<std::string, double> byName;
    const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
    for (const QString &task : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(task + "/comm"));
        if (!comm.open(QIODevice::ReadOnly))
            continue;
        std::string name = comm.readAll().trimmed().toStdString();
        if (name.rfind("llvmpipe", 0) == 0)
            name = "llvmpipe";
        // Thread CPU times are read like a process's, from the task's stat.
        QFile stat(tasks.filePath(task + "/stat"));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 12)
            byName[name]
                += (fields[11].toDouble() + fields[12].toDouble()) / double(sysconf(_SC_CLK_TCK));
    }
    return byName;
}

bool measureProgram(const QString &program, const QString &camera, int seconds)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HANDMOTION_CAMERA", camera);
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(QDir::currentPath());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, QStringList());
    if (!process.waitForStarted(10000)) {
        std::cerr << "drive_running: cannot start " << program.toStdString() << '\n';
        return false;
    }
    const qint64 pid = process.processId();
    std::this_thread::sleep_for(std::chrono::seconds(settleSeconds));
    if (process.state() != QProcess::Running) {
        std::cerr << "drive_running: " << program.toStdString() << " ended early\n";
        return false;
    }
    const double rssAtStart = bench::residentBytes(pid_t(pid));
    const auto threadsBefore = cpuByThread(pid);
    const double cpuBefore = bench::cpuSeconds(pid_t(pid));
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double cpuAfter = bench::cpuSeconds(pid_t(pid));
    const double elapsed
        = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const auto threadsAfter = cpuByThread(pid);
    const double rssAtEnd = bench::residentBytes(pid_t(pid));
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }

    const double share = (cpuAfter - cpuBefore) / elapsed;
    std::string byThread;
    for (const auto &[name, after] : threadsAfter) {
        const auto before = threadsBefore.find(name);
        const double used = after - (before == threadsBefore.end() ? 0.0 : before->second);
        if (used / elapsed < 0.005)
            continue;
        byThread += (byThread.empty() ? "" : ", ") + name + " "
            + bench::formatNumber(100.0 * used / elapsed, 0) + "%";
    }
    const std::string what = camera == "none" ? "no camera" : "demo source";
    bench::printRow(Row { "5",
        "CPU of the program, window shown and idle, " + what + ", over " + std::to_string(seconds)
            + " s",
        bench::formatNumber(100.0 * share, 1) + "% of one core",
        byThread.empty() ? "" : "by thread: " + byThread, "" });
    bench::printRow(Row { "5", "Resident memory of the program after start, " + what,
        bench::formatMebibytes(rssAtStart),
        bench::formatMebibytes(rssAtEnd) + " after the " + std::to_string(seconds) + " s", "" });
    return true;
}

bool measureCapturedPoses()
{
    auto source = std::make_shared<camera::ScriptedSource>();
    testkit::WindowWithSource polled(source);
    if (!polled.showAndWait())
        return false;
    Kinect::mainDialog &w = polled.window();
    QTest::qWait(500);
    w.glWidget->grabFramebuffer();
    const double before = bench::residentBytes(getpid());

    w.continuousCaptureCheck->setChecked(true);
    w.spatialCaptureCheck->setChecked(true);
    w.startRecordingCheck->setChecked(true);
    for (std::int64_t frame = 0; w.sensor->continuousPositionCount() < capturedPoses; ++frame) {
        source->pushBodyFrame(bench::demoBodyFrame(frame));
        w.sensor->updateSkeletonFrame();
    }
    const double captured = bench::residentBytes(getpid());
    w.glWidget->grabFramebuffer();
    QTest::qWait(500);
    const double painted = bench::residentBytes(getpid());

    bench::printRow(Row { "5", "Resident memory of a main window (driver) after start",
        bench::formatMebibytes(before), "polling threads stopped, one paint", "" });
    bench::printRow(Row { "5",
        "… after " + std::to_string(capturedPoses) + " continuous poses captured",
        bench::formatMebibytes(captured), "+" + bench::formatMebibytes(captured - before), "" });
    bench::printRow(
        Row { "5", "… and then painted once (density 100, frames)", bench::formatMebibytes(painted),
            "+" + bench::formatMebibytes(painted - captured)
                + " kept by the software GL driver after the paint",
            "" });
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    const auto application = testkit::startApplication(argc, argv, "xcb");
    if (argc < 2) {
        std::cerr << "usage: drive_running PATH-TO-HANDMOTION [SECONDS]\n";
        return 2;
    }
    const QString program = QString::fromLocal8Bit(argv[1]);
    const int seconds = testkit::secondsArgument(argc, argv, 2, 1, 30);
    bool ok = measureProgram(program, "none", seconds);
    ok = measureProgram(program, "demo", seconds) && ok;
    ok = measureCapturedPoses() && ok;
    return ok ? 0 : 1;
}
