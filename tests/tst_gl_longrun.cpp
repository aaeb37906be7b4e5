// Long use on a real display: the window opened with the demo operator and
// closed again fifty times, and the 3D view painted 2,000 times with every
// kind shown while the sensor polls 10,000 body frames. Nothing may pile up:
// widgets, QObjects, camera objects, threads, GL objects, heap.
#include "app/mainDialog.h"
#include "sensor/PollingThreads.h"
#include "sensor/Sensor.h"
#include "sensor/sources/Clock.h"
#include "sensor/sources/DemoSource.h"
#include "sensor/sources/SourceDevice.h"
#include "testkit/WindowWithSource.h"
#include "tests/support/GLScene.h"
#include "tests/support/LiveObjects.h"
#include "view/GLWidget.h"

#include <QCheckBox>
#include <QLabel>
#include <QScrollArea>
#include <QSlider>
#include <QtTest>

#include <GL/gl.h>
#include <GL/glu.h>

#include <atomic>
#include <chrono>
#include <memory>

using Kinect::mainDialog;
using namespace std::chrono_literals;

// The test executable is linked with --wrap for these GL and GLU calls, so
// every quadric and display list the program makes or frees is counted here.
namespace {
std::atomic<int> liveQuadrics { 0 };
std::atomic<long> liveDisplayLists { 0 };
} // namespace

extern "C" {
GLUquadric *__real_gluNewQuadric();
void __real_gluDeleteQuadric(GLUquadric *quadric);
GLuint __real_glGenLists(GLsizei range);
void __real_glDeleteLists(GLuint list, GLsizei range);

GLUquadric *__wrap_gluNewQuadric()
{
    GLUquadric *quadric = __real_gluNewQuadric();
    if (quadric)
        ++liveQuadrics;
    return quadric;
}

void __wrap_gluDeleteQuadric(GLUquadric *quadric)
{
    if (quadric)
        --liveQuadrics;
    __real_gluDeleteQuadric(quadric);
}

GLuint __wrap_glGenLists(GLsizei range)
{
    const GLuint first = __real_glGenLists(range);
    if (first != 0)
        liveDisplayLists += range;
    return first;
}

void __wrap_glDeleteLists(GLuint list, GLsizei range)
{
    liveDisplayLists -= range;
    __real_glDeleteLists(list, range);
}
}

namespace {

// Under AddressSanitizer every large allocation (a window's backing store,
// the skeleton overlay, the rasteriser's buffers) maps fresh pages, which
// makes each life of the window, each paint and each poll many times slower.
// The sanitized run does a fifth of the iterations, where LeakSanitizer
// reports a leak after the first; the normal run does them all.
#if defined(__SANITIZE_ADDRESS__)
constexpr int iterationDivisor = 5;
#else
constexpr int iterationDivisor = 1;
#endif
constexpr int windowLives = 50 / iterationDivisor;
constexpr int polls = 10000 / iterationDivisor;
constexpr int paints = 2000 / iterationDivisor;
constexpr int pollsPerPaint = polls / paints;

// One frame of the demo operator's 30 Hz streams.
constexpr std::chrono::nanoseconds frameStep = 33400us;

struct Census {
    int qobjects;
    int widgets;
    int contractObjects;
    int threads;
};

Census takeCensus()
{
    // Widgets closed with deleteLater() are gone once their events have run.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return Census { support::liveQObjects(), support::liveWidgets(), camera::liveContractObjects(),
        support::processThreads() };
}

QString describe(const Census &c)
{
    return QStringLiteral("%1 QObjects, %2 widgets, %3 camera objects, %4 threads")
        .arg(c.qobjects)
        .arg(c.widgets)
        .arg(c.contractObjects)
        .arg(c.threads);
}

} // namespace

class TestGlLongRun : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { support::liveQObjects(); }
    void windowOpenedAndClosedManyTimes();
    void paintsAndPollsKeepResources();

private:
    void openShowAndClose(camera::SteppedClock &clock);
};

// One life of the window as the program lives it: built with the camera,
// shown, polled by its own threads until both views show a frame, closed and
// destroyed.
void TestGlLongRun::openShowAndClose(camera::SteppedClock &clock)
{
    auto window = std::make_unique<mainDialog>();
    mainDialogInstance = window.get();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QVERIFY(window->colorFrameThread->isRunning());
    QVERIFY(window->skeletonFrameThread->isRunning());
    clock.advance(frameStep);
    QTRY_VERIFY(!window->skeletonLabel->pixmap(Qt::ReturnByValue).isNull());
    QTRY_VERIFY(!window->colorLabel->pixmap(Qt::ReturnByValue).isNull());
    QTRY_VERIFY(window->glWidget->isValid());
    // A key position drawn compiles this context's pose geometry, which the
    // context must take with it.
    const double identity[4] = { 0, 0, 0, 1 }, origin[4] = { 0, 0, 0, 0 };
    window->sensor->addKeyPosition(DualQuaternion::fromRotationTranslation(identity, origin));
    window->keyPositionsCheck->setChecked(true);
    window->glWidget->grabFramebuffer();
    QVERIFY(liveDisplayLists > 0);
    QVERIFY(window->close());
    QVERIFY(!window->isVisible());
    window.reset();
    QVERIFY(mainDialogInstance == nullptr);
}

void TestGlLongRun::windowOpenedAndClosedManyTimes()
{
    camera::SteppedClock clock;
    camera::ScopedSource demo(std::make_shared<camera::DemoSource>(clock.clock()));

    // The first life loads what stays loaded: fonts, styles, the GL driver.
    openShowAndClose(clock);
    if (QTest::currentTestFailed())
        return;
    const Census before = takeCensus();
    for (int i = 0; i < windowLives; ++i) {
        openShowAndClose(clock);
        if (QTest::currentTestFailed())
            QFAIL(qPrintable(QStringLiteral("in life %1").arg(i + 2)));
    }
    // A joined thread may take a moment to leave the kernel's list.
    QTRY_COMPARE(support::processThreads(), before.threads);
    const Census after = takeCensus();
    const QString seen = describe(before) + QStringLiteral(" before, ") + describe(after)
        + QStringLiteral(" after");
    QVERIFY2(after.qobjects == before.qobjects, qPrintable(seen));
    QVERIFY2(after.widgets == before.widgets, qPrintable(seen));
    QVERIFY2(after.contractObjects == before.contractObjects, qPrintable(seen));
    QVERIFY(liveQuadrics <= 1);
    QCOMPARE(long(liveDisplayLists), 0L);
}

void TestGlLongRun::paintsAndPollsKeepResources()
{
    camera::SteppedClock clock;
    testkit::WindowWithSource fixture(std::make_shared<camera::DemoSource>(clock.clock()));
    mainDialog &window = fixture.window();
    Kinect::Sensor &sensor = fixture.sensor();
    GLWidget *view = window.glWidget;
    // A small view keeps the software rasteriser quick; the work per paint
    // that could leak does not depend on the size.
    view->setFixedSize(160, 120);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY(view->isValid());

    // Thirty continuously captured poses of the demo operator, then capture
    // off, so that polling adds nothing that is meant to stay. The capture
    // mode stays: it puts the camera where the poses are seen. The frame the
    // window's threads may have taken before they stopped is processed first,
    // so that recording sees exactly the thirty frames below.
    sensor.updateSkeletonFrame();
    window.spatialCaptureCheck->setChecked(true);
    window.continuousCaptureCheck->setChecked(true);
    window.startRecordingCheck->setChecked(true);
    for (int i = 0; i < 30; ++i) {
        clock.advance(frameStep);
        sensor.updateSkeletonFrame();
    }
    window.startRecordingCheck->setChecked(false);
    window.continuousCaptureCheck->setChecked(false);
    QCOMPARE(sensor.continuousPositionCount(), 30);
    const std::vector<DualQuaternion> continuous = sensor.continuousPositions();
    for (int i = 0; i < 30; i += 10)
        sensor.addKeyPosition(continuous[std::size_t(i)]);

    for (QCheckBox *box : { window.screwCheck, window.bezierCheck, window.approximationCheck,
             window.interpolationCheck, window.keyPositionsCheck, window.continuousMotionCheck,
             window.trajectoryCheck, window.framesCheck, window.objectCheck })
        box->setChecked(true);
    window.densitySlider->setValue(0);
    for (const MotionKindInfo &kind : motionKinds())
        QVERIFY2(view->motion(kind.kind), kind.name);

    // Something of every kind is drawn; the scene moved towards the eye
    // makes the hand, 1.7 m from the camera, more than a few pixels.
    view->translationZ = 28.0;
    const QImage first = view->grabFramebuffer();
    QVERIFY(changedPixels(first, qRgb(0, 0, 0)) > 40);

    // Five polls and one paint per frame: a tenth of the frames warm up, the
    // rest are measured; 10,000 polls and 2,000 paints in all.
    int polled = 0, painted = 0;
    const auto frame = [&] {
        for (int i = 0; i < pollsPerPaint; ++i) {
            clock.advance(frameStep);
            sensor.updateSkeletonFrame();
            ++polled;
        }
        view->grabFramebuffer();
        ++painted;
    };
    for (int i = 0; i < 20; ++i)
        frame();
    const Census before = takeCensus();
    const int quadricsBefore = liveQuadrics;
    // The pose geometry, compiled by the first paint and kept since.
    const long listsBefore = liveDisplayLists;
    QVERIFY(listsBefore > 0);
    // heapGrowthOver: more warm-up, then fifteen samples.
    const int measuredPerSample = paints * 9 / 150;
    const qint64 growth = heapGrowthOver(frame, paints / 10 - 20, measuredPerSample);
    const Census after = takeCensus();
    QCOMPARE(polled, polls);
    QCOMPARE(painted, paints);

    QVERIFY2(
        growth < heapGrowthLimit, qPrintable(QStringLiteral("heap grew by %1 bytes").arg(growth)));
    const QString seen = describe(before) + QStringLiteral(" before, ") + describe(after)
        + QStringLiteral(" after");
    QVERIFY2(after.qobjects == before.qobjects, qPrintable(seen));
    QVERIFY2(after.widgets == before.widgets, qPrintable(seen));
    QVERIFY2(after.contractObjects == before.contractObjects, qPrintable(seen));
    QCOMPARE(int(liveQuadrics), quadricsBefore);
    QVERIFY(liveQuadrics <= 1);
    QCOMPARE(long(liveDisplayLists), listsBefore);
    // Nor did anything else make display lists behind the counter's back.
    const auto listsInUse = [view] {
        view->makeCurrent();
        long lists = 0;
        for (GLuint id = 1; id <= 4096; ++id)
            lists += glIsList(id) ? 1 : 0;
        view->doneCurrent();
        return lists;
    };
    QCOMPARE(listsInUse(), listsBefore);
    // The picture is still the picture.
    QCOMPARE(view->grabFramebuffer(), first);
    QCOMPARE(sensor.continuousPositionCount(), 30);

    // Moved to another window the view gets a new context: the old one's
    // lists go with it and the new one compiles its own, there and back.
    QWidget elsewhere;
    elsewhere.resize(200, 160);
    view->setParent(&elsewhere);
    view->show();
    elsewhere.show();
    QVERIFY(QTest::qWaitForWindowExposed(&elsewhere));
    QVERIFY(changedPixels(view->grabFramebuffer(), qRgb(0, 0, 0)) > 40);
    QCOMPARE(long(liveDisplayLists), listsBefore);
    QCOMPARE(listsInUse(), listsBefore);
    view->setParent(window.glScrollArea->viewport());
    view->show();
    QCOMPARE(view->grabFramebuffer(), first);
    QCOMPARE(long(liveDisplayLists), listsBefore);
}

QTEST_MAIN(TestGlLongRun)
#include "tst_gl_longrun.moc"
