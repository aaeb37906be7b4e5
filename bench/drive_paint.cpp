// The 3D view's paint cycle (figure 3): milliseconds per paint of the real
// view in the maximised main window, under Xvfb with Mesa's software
// renderer, and the part of each paint spent outside the GL driver (the
// motion computation and the matrix conversion, timed again without GL, as
// the GUI thread's CPU time).
//
//   xvfb-run -a -s "-screen 0 1920x1080x24" build/bench/bench/drive_paint
//   ... drive_paint --machine     only the machine rows (CPU, GL renderer)
//   ... drive_paint empty keys:10 keys:200:exact continuous:1000,5000
//                                 the scenes named (the full set by default)
//
// A scene with ":exact" paints the pose markers as they were drawn before
// the display lists, immediate mode with 20 x 20 quadrics; after the same
// scene without it, a row gives the ratio of the two, measured in one run.
//
// A paint here is QOpenGLWidget::grabFramebuffer(): paintGL into the view's
// framebuffer and one read-back, which the empty-view row measures alone.
// Run it from the repository root, so that the end-effector model is found.

#include "app/mainDialog.h"
#include "bench/support/BenchPoses.h"
#include "bench/support/PaintComputation.h"
#include "bench/support/ProcessStats.h"
#include "bench/support/ResultTable.h"
#include "bench/support/Stopwatch.h"
#include "sensor/Sensor.h"
#include "testkit/BenchmarkStart.h"
#include "testkit/ScriptedSource.h"
#include "testkit/WindowWithSource.h"
#include "view/GLWidget.h"
#include "view/PoseGeometry.h"

#include <QApplication>
#include <QCheckBox>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QSlider>

#include <sys/mman.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <map>
#include <string>

using bench::Row;

namespace {

// Repetitions of a measured paint: fewer when one paint takes seconds.
int repetitionsFor(double firstPaintSeconds)
{
    return firstPaintSeconds > 2.0 ? 2 : firstPaintSeconds > 0.5 ? 3 : 7;
}

// The first write to fresh pages of memory costs what the kernel (and,
// in a virtual machine, the hypervisor) pays to map them: every large
// buffer a paint or a colour frame allocates pays it again.
double firstTouchPerPage()
{
    constexpr size_t pageSize = 4096;
    constexpr size_t size = 16 << 20;
    std::vector<double> perPage;
    for (int r = 0; r < 5; ++r) {
        void *memory
            = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (memory == MAP_FAILED)
            return -1.0;
        char *bytes = static_cast<char *>(memory);
        bench::Stopwatch watch;
        for (size_t i = 0; i < size; i += pageSize)
            bytes[i] = 1;
        perPage.push_back(watch.seconds() / double(size / pageSize));
        munmap(memory, size);
    }
    return bench::median(perPage);
}

int printMachine()
{
    const bench::Machine m = bench::machine();
    bench::printRow(Row { "–", "Machine: CPU", m.cpuModel, std::to_string(m.cores) + " cores",
        "1-minute load average " + bench::formatNumber(m.loadAverage, 2) + " at the start" });

    auto source = std::make_shared<camera::ScriptedSource>();
    testkit::WindowWithSource polled(source);
    if (!polled.showAndWait()) {
        std::cerr << "drive_paint: the window did not show\n";
        return 1;
    }
    GLWidget &view = *polled.window().glWidget;
    view.makeCurrent();
    QOpenGLFunctions *gl = QOpenGLContext::currentContext()->functions();
    auto text = [gl](GLenum name) {
        const GLubyte *value = gl->glGetString(name);
        return value ? std::string(reinterpret_cast<const char *>(value)) : std::string("?");
    };
    bench::printRow(
        Row { "–", "Machine: GL_RENDERER", text(GL_RENDERER), "GL_VERSION " + text(GL_VERSION),
            "3D view " + std::to_string(view.width()) + " x " + std::to_string(view.height())
                + " px in the maximised window" });
    view.doneCurrent();

    const double touch = firstTouchPerPage();
    bench::printRow(Row { "–", "Machine: first write to a fresh 4 KiB page",
        bench::formatDuration(touch), "median of 5 × 4096 pages",
        "a 1 MiB buffer that is new each time costs " + bench::formatDuration(touch * 256) });
    return 0;
}

struct PaintFigure {
    std::vector<double> paints;
    std::vector<double> computations;
};

// The median paint of the last scene drawn with the compiled geometry, by
// its description, for the ratio row of the same scene drawn exactly.
std::map<std::string, double> &compiledPaints()
{
    static std::map<std::string, double> paints;
    return paints;
}

const char *const exactSuffix = ", exact 20 x 20 pose geometry in immediate mode";

PaintFigure measure(Kinect::mainDialog &window)
{
    GLWidget &view = *window.glWidget;
    PaintFigure figure;
    const double first = bench::timeRuns(1, [&] { view.grabFramebuffer(); }).front();
    const int repetitions = repetitionsFor(first);
    figure.paints = bench::timeRuns(repetitions, [&] { view.grabFramebuffer(); });
    volatile double sink = 0.0;
    // The computation runs on the GUI thread alone: its thread's CPU time.
    figure.computations
        = bench::timeThreadCpuRuns(repetitions, [&] { sink = sink + bench::computePaint(window); });
    return figure;
}

void printFigure(const std::string &what, const PaintFigure &figure, bool exact)
{
    const double paint = bench::median(figure.paints);
    const double outside = bench::median(figure.computations);
    bench::printRow(
        Row { "3", "Paint: " + what + (exact ? exactSuffix : ""), bench::formatDuration(paint),
            bench::durationRange(figure.paints) + " (" + std::to_string(figure.paints.size())
                + " paints)",
            bench::budgetShare(paint, bench::displayHz) });
    if (exact) {
        const auto compiled = compiledPaints().find(what);
        if (compiled != compiledPaints().end())
            bench::printRow(Row { "3", "… the display lists against it: " + what,
                bench::formatNumber(paint / compiled->second, 1) + "× faster",
                bench::formatDuration(compiled->second) + " against " + bench::formatDuration(paint)
                    + ", medians of this run",
                "" });
        return;
    }
    compiledPaints()[what] = paint;
    bench::printRow(
        Row { "3", "… of which outside the GL driver (motions, matrices; thread CPU time)",
            bench::formatDuration(outside),
            bench::formatNumber(100.0 * outside / paint, outside / paint < 0.1 ? 1 : 0)
                + "% of the paint",
            bench::budgetShare(outside, bench::displayHz) });
}

bool emptyView()
{
    testkit::WindowWithSource polled(std::make_shared<camera::ScriptedSource>());
    if (!polled.showAndWait())
        return false;
    Kinect::mainDialog &w = polled.window();
    w.spatialCaptureCheck->setChecked(true);
    const PaintFigure figure = measure(w);
    const double paint = bench::median(figure.paints);
    bench::printRow(
        Row { "3", "Paint: empty view (clear and read back only)", bench::formatDuration(paint),
            bench::durationRange(figure.paints), bench::budgetShare(paint, bench::displayHz) });
    return true;
}

// Paints with the exact pose geometry while it lives.
struct ExactGeometry {
    explicit ExactGeometry(bool exact) { setExactPoseGeometry(exact); }
    ~ExactGeometry() { setExactPoseGeometry(false); }
};

bool keyPositionScene(int n, bool exact)
{
    const ExactGeometry geometry(exact);
    testkit::WindowWithSource polled(std::make_shared<camera::ScriptedSource>());
    if (!polled.showAndWait())
        return false;
    Kinect::mainDialog &w = polled.window();
    // As after key-position capture: a capture mode checked, so the scene is
    // seen in perspective.
    w.keyPositionCaptureCheck->setChecked(true);
    w.spatialCaptureCheck->setChecked(true);
    for (const DualQuaternion &pose : bench::sweptKeyPoses(n))
        w.sensor->addKeyPosition(pose);
    w.densitySlider->setValue(100);
    w.framesCheck->setChecked(true);
    w.objectCheck->setChecked(true);
    w.trajectoryCheck->setChecked(true);
    w.keyPositionsCheck->setChecked(true);
    for (QCheckBox *kind :
        { w.screwCheck, w.bezierCheck, w.approximationCheck, w.interpolationCheck })
        kind->setChecked(true);
    printFigure(
        std::to_string(n) + " key positions, all four kinds with frames, objects and trajectories",
        measure(w), exact);
    return true;
}

bool continuousScene(const std::vector<int> &counts, bool exact)
{
    const ExactGeometry geometry(exact);
    auto source = std::make_shared<camera::ScriptedSource>();
    testkit::WindowWithSource polled(source);
    if (!polled.showAndWait())
        return false;
    Kinect::mainDialog &w = polled.window();
    w.continuousCaptureCheck->setChecked(true);
    w.spatialCaptureCheck->setChecked(true);
    w.startRecordingCheck->setChecked(true);
    w.densitySlider->setValue(100);
    std::int64_t frame = 0;
    for (int count : counts) {
        // The demonstration operator's body frames; every frame adds a pose,
        // and capture switches on the continuous motion and its frames.
        for (; w.sensor->continuousPositionCount() < count; ++frame) {
            source->pushBodyFrame(bench::demoBodyFrame(frame));
            w.sensor->updateSkeletonFrame();
        }
        printFigure(
            std::to_string(count) + " continuous poses, density 100, frames as capture shows them",
            measure(w), exact);
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    const auto application = testkit::startApplication(argc, argv, "xcb");
    if (argc > 1 && std::strcmp(argv[1], "--machine") == 0)
        return printMachine();

    QStringList scenes = application->arguments().mid(1);
    if (scenes.isEmpty())
        scenes = QStringList { "empty", "keys:10", "keys:50", "keys:200", "keys:200:exact",
            "continuous:1000,5000,20000", "continuous:5000:exact" };
    bool ok = true;
    for (const QString &scene : scenes) {
        QStringList parts = scene.split(':');
        const bool exact = parts.size() == 3 && parts[2] == "exact";
        std::vector<int> counts;
        if (parts.size() >= 2)
            for (const QString &count : parts[1].split(','))
                counts.push_back(count.toInt());
        if (scene == "empty")
            ok = ok && emptyView();
        else if (parts[0] == "keys" && counts.size() == 1 && counts[0] > 0)
            ok = ok && keyPositionScene(counts[0], exact);
        else if (parts[0] == "continuous" && !counts.empty() && counts[0] > 0)
            ok = ok && continuousScene(counts, exact);
        else
            std::cerr << "drive_paint: unknown scene " << scene.toStdString() << '\n';
    }
    if (!ok) {
        std::cerr << "drive_paint: the window did not show or got no GL context\n";
        return 1;
    }
    return 0;
}
