// Continuous poses captured from scripted body frames, drawn thinned out by
// the density, and handed back as key positions by the store slots.
#include "app/mainDialog.h"
#include "motion/Motion.h"
#include "sensor/Sensor.h"
#include "testkit/ScriptedSource.h"
#include "testkit/WindowWithSource.h"
#include "tests/support/CameraTestSupport.h"
#include "view/GLWidget.h"

#include <QCheckBox>
#include <QPushButton>
#include <QSlider>
#include <QtTest>

#include <memory>

using support::frameWith;
using support::standingBody;
using testkit::WindowWithSource;

namespace {

bool samePose(const DualQuaternion &a, const DualQuaternion &b) { return a == b; }

} // namespace

class TestGlViewContinuous : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup() { fixture.reset(); }

    void densitySelectsTheShownPoses_data();
    void densitySelectsTheShownPoses();
    void selectShownPositionsReplacesTheKeyPositions();
    void selectPositionStoresOneShownPose();
    void positionSliderRangesOverTheShownPoses();
    void continuousResetWithTheMotionUnchecked();

private:
    QImage paint() { return window().glWidget->grabFramebuffer(); }
    Kinect::mainDialog &window() { return fixture->window(); }

    std::shared_ptr<camera::ScriptedSource> source;
    std::unique_ptr<WindowWithSource> fixture;
};

// Records 100 continuous poses, the hand moving a millimetre per frame.
void TestGlViewContinuous::init()
{
    source = std::make_shared<camera::ScriptedSource>();
    fixture.reset(new WindowWithSource(source));
    Kinect::mainDialog &w = window();
    w.resize(1200, 900);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.continuousCaptureCheck->setChecked(true);
    w.spatialCaptureCheck->setChecked(true);
    w.startRecordingCheck->setChecked(true);
    for (int i = 0; i < 100; ++i) {
        const QVector3D centre(0.2f + 0.001f * i, 0.1f, 1.8f);
        source->pushBodyFrame(frameWith(standingBody(
            centre, centre + QVector3D(0, 0.1f, 0), centre + QVector3D(0.05f, 0.03f, 0))));
        w.sensor->updateSkeletonFrame();
    }
    QCOMPARE(w.sensor->continuousPositions().size(), size_t(100));
    // Capture switched the continuous motion on for the view.
    QVERIFY(w.continuousMotionCheck->isChecked());
    QVERIFY(w.glWidget->motion(MotionKind::Continuous));
}

void TestGlViewContinuous::densitySelectsTheShownPoses_data()
{
    QTest::addColumn<int>("density");
    QTest::addColumn<int>("shown");
    QTest::addColumn<int>("stride");
    // The stride rule itself is the motion's (tst_motion); these rows follow
    // the slider's value to the poses drawn.
    QTest::newRow("33") << 33 << 34 << 3;
    QTest::newRow("0") << 0 << 1 << 100;
}

void TestGlViewContinuous::densitySelectsTheShownPoses()
{
    QFETCH(int, density);
    QFETCH(int, shown);
    QFETCH(int, stride);
    window().densitySlider->setValue(density);
    paint();
    const std::vector<DualQuaternion> poses
        = window().glWidget->motion(MotionKind::Continuous)->drawnPoses();
    QCOMPARE(int(poses.size()), shown);
    const std::vector<DualQuaternion> all = window().sensor->continuousPositions();
    for (int k = 0; k < shown; ++k)
        QVERIFY(samePose(poses[size_t(k)], all[size_t(k * stride)]));
}

void TestGlViewContinuous::selectShownPositionsReplacesTheKeyPositions()
{
    Kinect::mainDialog &w = window();
    for (int i = 0; i < 5; ++i)
        w.sensor->addKeyPosition(DualQuaternion::zero());
    w.densitySlider->setValue(33);
    paint();
    QTest::mouseClick(w.selectShownPositionsButton, Qt::LeftButton);
    const std::vector<DualQuaternion> keys = w.sensor->keyPositions();
    const std::vector<DualQuaternion> shown
        = w.glWidget->motion(MotionKind::Continuous)->drawnPoses();
    QCOMPARE(keys.size(), size_t(34));
    for (size_t k = 0; k < keys.size(); ++k)
        QVERIFY(samePose(keys[k], shown[k]));
}

void TestGlViewContinuous::selectPositionStoresOneShownPose()
{
    Kinect::mainDialog &w = window();
    w.densitySlider->setValue(10);
    paint();
    QCOMPARE(w.positionSlider->maximum(), 9);
    w.positionSlider->setValue(4);
    QTest::mouseClick(w.selectPositionButton, Qt::LeftButton);
    QCOMPARE(w.sensor->keyPositions().size(), size_t(1));
    QVERIFY(samePose(w.sensor->keyPositions()[0], w.sensor->continuousPositions()[40]));

    // An index not below the number of shown poses adds nothing: make the
    // motion show fewer poses than the slider still points at.
    w.positionSlider->setValue(9);
    w.densitySlider->setValue(0);
    paint();
    QCOMPARE(w.glWidget->motion(MotionKind::Continuous)->drawnPoses().size(), size_t(1));
    w.positionSlider->setMaximum(9);
    w.positionSlider->setValue(9);
    QTest::mouseClick(w.selectPositionButton, Qt::LeftButton);
    QCOMPARE(w.sensor->keyPositions().size(), size_t(1));
}

void TestGlViewContinuous::positionSliderRangesOverTheShownPoses()
{
    Kinect::mainDialog &w = window();
    w.densitySlider->setValue(33);
    paint();
    QCOMPARE(w.positionSlider->minimum(), 0);
    QCOMPARE(w.positionSlider->maximum(), 33);
    // The continuous reset empties the list; the next paint draws nothing.
    QTest::mousePress(w.resetContinuousButton, Qt::LeftButton);
    QTest::mouseRelease(w.resetContinuousButton, Qt::LeftButton);
    QVERIFY(w.sensor->continuousPositions().empty());
    QVERIFY(!w.glWidget->motion(MotionKind::Continuous));
    QVERIFY(!w.continuousMotionCheck->isChecked());
}

void TestGlViewContinuous::continuousResetWithTheMotionUnchecked()
{
    Kinect::mainDialog &w = window();
    w.continuousMotionCheck->setChecked(false);
    w.framesCheck->setChecked(true);
    w.glWidget->translationY = 7;
    QTest::mousePress(w.resetContinuousButton, Qt::LeftButton);
    QCOMPARE(w.glWidget->translationY, 0.0);
    QVERIFY(w.sensor->continuousPositions().empty());
    // Without the continuous motion checked the drawing options stay.
    QVERIFY(w.framesCheck->isChecked());
    QTest::mouseRelease(w.resetContinuousButton, Qt::LeftButton);
}

QTEST_MAIN(TestGlViewContinuous)
#include "tst_gl_view_continuous.moc"
