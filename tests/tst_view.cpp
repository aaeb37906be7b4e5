// The 3D view's slots and camera, without drawing: motion objects follow the
// check boxes, degrees and selections are taken over by the rules, and the
// mouse turns and moves the scene.
#include "app/mainDialog.h"
#include "motion/Motion.h"
#include "sensor/Sensor.h"
#include "view/CameraFit.h"
#include "view/GLWidget.h"

#include <QCheckBox>
#include <QLabel>
#include <QMatrix4x4>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QtTest>

#include <cmath>
#include <memory>

using Kinect::mainDialog;

namespace {

DualQuaternion translation(double x, double y, double z)
{
    const double q[4] = { 0, 0, 0, 1 };
    const double t[4] = { x, y, z, 0 };
    return DualQuaternion::fromRotationTranslation(q, t);
}

void click(QCheckBox *box)
{
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

} // namespace

class TestView : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        window.reset(new mainDialog);
        mainDialogInstance = window.get();
        view = window->glWidget;
    }
    void cleanup()
    {
        window.reset();
        mainDialogInstance = nullptr;
    }

    void firstComputedKindSwitchesTheObjectOn();
    void uncheckingAKindDeletesItsMotionAndReannouncesTheDensity();
    void motionsTakeTheShowFlags();
    void approximationDegreeNeedsMoreKeyPositions_data();
    void approximationDegreeNeedsMoreKeyPositions();
    void interpolationDegreeNeedsMoreKeyPositions();
    void selectedPositionReachesTheCheckedKinds();
    void storeSlotsNeedTheContinuousMotion();
    void resetOfKeyPositionMotions();
    void resetOfTheContinuousMotion();
    void dragging_data();
    void dragging();
    void wheelZoomsAndResetsRestore();
    void framingBringsEveryPointIntoView_data();
    void framingBringsEveryPointIntoView();
    void aspectRatio_data();
    void aspectRatio();
    void resetButtonActsOnPress();
    void viewWithoutAWindowIgnoresItsSlots();

private:
    std::unique_ptr<mainDialog> window;
    GLWidget *view = nullptr;
};

void TestView::firstComputedKindSwitchesTheObjectOn()
{
    QVERIFY(!window->objectCheck->isChecked());
    click(window->screwCheck);
    QVERIFY(view->motion(MotionKind::Screw));
    QVERIFY(window->objectCheck->isChecked());
    // The nested round through "Object" handed the model flag to the motion.
    QVERIFY(view->motion(MotionKind::Screw)->properties().showObject());

    click(window->objectCheck);
    QVERIFY(!window->objectCheck->isChecked());
    click(window->bezierCheck);
    QVERIFY(view->motion(MotionKind::Bezier));
    QVERIFY(!window->objectCheck->isChecked());

    click(window->screwCheck);
    click(window->bezierCheck);
    window->continuousMotionCheck->setEnabled(true);
    click(window->continuousMotionCheck);
    QVERIFY(view->motion(MotionKind::Continuous));
    QVERIFY(!window->objectCheck->isChecked());
}

void TestView::uncheckingAKindDeletesItsMotionAndReannouncesTheDensity()
{
    click(window->bezierCheck);
    QVERIFY(view->motion(MotionKind::Bezier));
    // A keyboard change moves the slider without sliderMoved: the label lags.
    window->densitySlider->setFocus();
    QTest::keyClick(window->densitySlider, Qt::Key_PageDown);
    const int value = window->densitySlider->value();
    QVERIFY(value < 100);
    QCOMPARE(window->densityValueLabel->text(), QStringLiteral("100 %"));
    // The view draws with the slider's value all the same.
    QCOMPARE(view->density(), value);

    QSignalSpy moved(window->densitySlider, SIGNAL(sliderMoved(int)));
    click(window->bezierCheck);
    QVERIFY(!view->motion(MotionKind::Bezier));
    QCOMPARE(moved.count(), 1);
    QCOMPARE(moved.first().first().toInt(), value);
    QCOMPARE(window->densityValueLabel->text(), QStringLiteral("%1 %").arg(value));

    // Re-selecting gives a fresh motion with default settings.
    click(window->approximationCheck);
    view->motion(MotionKind::Approximation)->setDegree(7);
    click(window->approximationCheck);
    click(window->approximationCheck);
    QCOMPARE(view->motion(MotionKind::Approximation)->degree(), 3);
}

void TestView::motionsTakeTheShowFlags()
{
    click(window->interpolationCheck);
    click(window->trajectoryCheck);
    click(window->framesCheck);
    const MotionProperties &p = view->motion(MotionKind::Interpolation)->properties();
    QVERIFY(p.showTrajectory());
    QVERIFY(p.showFrames());
    QVERIFY(p.showObject());
    click(window->objectCheck);
    QVERIFY(!p.showObject());
}

void TestView::approximationDegreeNeedsMoreKeyPositions_data()
{
    QTest::addColumn<int>("keyPositions");
    QTest::addColumn<int>("degree");
    QTest::addColumn<int>("expected");
    QTest::newRow("5 of 4 ignored") << 4 << 5 << 3;
    QTest::newRow("5 of 6 taken") << 6 << 5 << 5;
    QTest::newRow("negative ignored") << 6 << -1 << 3;
    QTest::newRow("last index taken") << 4 << 3 << 3;
    QTest::newRow("one below taken") << 4 << 2 << 2;
}

void TestView::approximationDegreeNeedsMoreKeyPositions()
{
    QFETCH(int, keyPositions);
    QFETCH(int, degree);
    QFETCH(int, expected);
    for (int i = 0; i < keyPositions; ++i)
        window->sensor->addKeyPosition(translation(0.1 * i, 0, 0));
    click(window->approximationCheck);
    view->updateApproximationDegree(degree);
    QCOMPARE(view->motion(MotionKind::Approximation)->degree(), expected);
}

void TestView::interpolationDegreeNeedsMoreKeyPositions()
{
    for (int i = 0; i < 6; ++i)
        window->sensor->addKeyPosition(translation(0.1 * i, 0, 0));
    view->updateInterpolationDegree(2);
    QVERIFY(!view->motion(MotionKind::Interpolation));
    click(window->interpolationCheck);
    view->updateInterpolationDegree(6);
    QCOMPARE(view->motion(MotionKind::Interpolation)->degree(), 3);
    // The spin box reaches the slot too.
    window->interpolationDegreeSpin->setValue(4);
    QCOMPARE(view->motion(MotionKind::Interpolation)->degree(), 4);
    // Only the checked kind takes it.
    click(window->approximationCheck);
    click(window->approximationCheck);
    view->updateApproximationDegree(2);
    QVERIFY(!view->motion(MotionKind::Approximation));
}

void TestView::selectedPositionReachesTheCheckedKinds()
{
    click(window->screwCheck);
    click(window->approximationCheck);
    view->updateSelectedPosition(30);
    QCOMPARE(view->motion(MotionKind::Screw)->properties().selectedPosition(), 30);
    QCOMPARE(view->motion(MotionKind::Approximation)->properties().selectedPosition(), 30);
    QVERIFY(!view->motion(MotionKind::Bezier));
    // Out-of-range indices are stored; drawing only compares them.
    view->updateSelectedPosition(100000);
    QCOMPARE(view->motion(MotionKind::Screw)->properties().selectedPosition(), 100000);
}

void TestView::storeSlotsNeedTheContinuousMotion()
{
    window->sensor->addKeyPosition(translation(0, 0, 0));
    // Without the continuous motion both slots leave the key positions alone.
    view->storeKeyPositionsInGLWidget(false);
    view->storeAllKeyPositionsInGLWidget(false);
    QCOMPARE(window->sensor->keyPositions().size(), size_t(1));

    window->continuousMotionCheck->setEnabled(true);
    click(window->continuousMotionCheck);
    QVERIFY(view->motion(MotionKind::Continuous));
    // Nothing drawn yet, so nothing shown: the slider index is out of range.
    view->storeKeyPositionsInGLWidget(false);
    QCOMPARE(window->sensor->keyPositions().size(), size_t(1));
    // Storing all shown poses (none) replaces the key positions with none.
    view->storeAllKeyPositionsInGLWidget(false);
    QVERIFY(window->sensor->keyPositions().empty());
}

void TestView::resetOfKeyPositionMotions()
{
    for (int i = 0; i < 3; ++i)
        window->sensor->addKeyPosition(translation(0.1 * i, 0, 0));
    window->keyPositionsCheck->setEnabled(true);
    click(window->keyPositionsCheck);
    click(window->screwCheck);
    click(window->approximationCheck);
    window->continuousMotionCheck->setEnabled(true);
    click(window->continuousMotionCheck);
    view->rotationX = 12;
    view->translationZ = -4;

    view->resetKeyPositionMotions();
    QVERIFY(!window->screwCheck->isChecked());
    QVERIFY(!window->approximationCheck->isChecked());
    QVERIFY(!window->keyPositionsCheck->isChecked());
    QVERIFY(!view->motion(MotionKind::Screw) && !view->motion(MotionKind::Approximation));
    QCOMPARE(view->rotationX, 0.0);
    QCOMPARE(view->translationZ, 0.0);
    // The continuous motion and the key positions themselves are untouched.
    QVERIFY(view->motion(MotionKind::Continuous));
    QCOMPARE(window->sensor->keyPositions().size(), size_t(3));
}

void TestView::resetOfTheContinuousMotion()
{
    window->continuousMotionCheck->setEnabled(true);
    click(window->continuousMotionCheck);
    click(window->bezierCheck);
    view->translationX = 3;
    view->resetContinuousMotion();
    QVERIFY(!window->continuousMotionCheck->isChecked());
    QVERIFY(!view->motion(MotionKind::Continuous));
    QVERIFY(view->motion(MotionKind::Bezier));
    QCOMPARE(view->translationX, 0.0);
}

void TestView::dragging_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<QPoint>("move");
    QTest::addColumn<QVector<double>>("expected"); // rotation x, y; translation x, y, z
    QTest::newRow("left right") << int(Qt::LeftButton) << QPoint(100, 0)
                                << QVector<double> { 0, 50, 0, 0, 0 };
    QTest::newRow("left down") << int(Qt::LeftButton) << QPoint(0, 100)
                               << QVector<double> { 50, 0, 0, 0, 0 };
    QTest::newRow("right down") << int(Qt::RightButton) << QPoint(0, 100)
                                << QVector<double> { 0, 0, 0, -10, 0 };
    QTest::newRow("right right") << int(Qt::RightButton) << QPoint(100, 0)
                                 << QVector<double> { 0, 0, 10, 0, 0 };
    QTest::newRow("middle down") << int(Qt::MiddleButton) << QPoint(0, 50)
                                 << QVector<double> { 0, 0, 0, 0, 5 };
    QTest::newRow("middle sideways")
        << int(Qt::MiddleButton) << QPoint(80, 0) << QVector<double> { 0, 0, 0, 0, 0 };
}

void TestView::dragging()
{
    QFETCH(int, button);
    QFETCH(QPoint, move);
    QFETCH(QVector<double>, expected);
    view->resize(400, 300);
    const QPoint start(100, 100);
    QTest::mousePress(view, Qt::MouseButton(button), {}, start);
    QCOMPARE(view->pressedButton, button);
    // Two steps: each move counts from the position the last one reached.
    QMouseEvent half(
        QEvent::MouseMove, start + move / 2, Qt::NoButton, Qt::MouseButton(button), {});
    QApplication::sendEvent(view, &half);
    QMouseEvent full(QEvent::MouseMove, start + move, Qt::NoButton, Qt::MouseButton(button), {});
    QApplication::sendEvent(view, &full);
    QCOMPARE(view->rotationX, expected[0]);
    QCOMPARE(view->rotationY, expected[1]);
    QCOMPARE(view->translationX, expected[2]);
    QCOMPARE(view->translationY, expected[3]);
    QCOMPARE(view->translationZ, expected[4]);
    QCOMPARE(view->rotationZ, 0.0);
    QCOMPARE(view->lastMousePosition, QPointF(start + move));
}

void TestView::wheelZoomsAndResetsRestore()
{
    view->resize(400, 300);
    const auto wheel = [this](int delta) {
        QWheelEvent event(QPointF(200, 150), QPointF(view->mapToGlobal(QPoint(200, 150))), QPoint(),
            QPoint(0, delta), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(view, &event);
        return event.isAccepted();
    };
    QVERIFY(wheel(120));
    QCOMPARE(view->zoom, 1.1);
    QVERIFY(wheel(-240));
    QVERIFY(std::abs(view->zoom - 1.0 / 1.1) < 1e-12);
    // Half a notch from a fine wheel: half the step.
    QVERIFY(wheel(60));
    QVERIFY(std::abs(view->zoom - std::sqrt(1.1) / 1.1) < 1e-12);
    for (int i = 0; i < 200; ++i)
        wheel(-120);
    QCOMPARE(view->zoom, minimumZoom);
    // Sideways scrolling is left to the scroll area.
    QVERIFY(!wheel(0));

    view->rotationY = 30;
    view->translationX = 2;
    QTest::mousePress(window->resetViewButton, Qt::LeftButton);
    QCOMPARE(view->zoom, 1.0);
    QCOMPARE(view->rotationY, 0.0);
    QTest::mouseRelease(window->resetViewButton, Qt::LeftButton);
    view->zoom = 3.0;
    view->resetKeyPositionMotions();
    QCOMPARE(view->zoom, 1.0);

    // "F" and a double-click with nothing drawn leave the camera alone.
    view->zoom = 2.0;
    QTest::keyClick(view, Qt::Key_F);
    QTest::mouseDClick(view, Qt::LeftButton);
    QCOMPARE(view->zoom, 2.0);
    QCOMPARE(view->translationX, 0.0);
}

void TestView::framingBringsEveryPointIntoView_data()
{
    QTest::addColumn<bool>("perspective");
    QTest::addColumn<QVector<double>>("rotation");
    QTest::addColumn<double>("aspect");
    QTest::addColumn<QVector<QVector3D>>("points");
    // Where capture puts poses: about 1.8 m in front of the camera.
    const QVector<QVector3D> captured
        = { { 1, 2, -18 }, { 4, 3, -17 }, { -2, 1, -19.5f }, { 0.5f, 4, -18 } };
    QTest::newRow("captured, perspective")
        << true << QVector<double> { 0, 0, 0 } << 946.0 / 561 << captured;
    QTest::newRow("captured, turned") << true << QVector<double> { 30, -50, 10 } << 1.7 << captured;
    QTest::newRow("captured, tall view") << true << QVector<double> { 0, 0, 0 } << 0.4 << captured;
    QTest::newRow("captured, flat") << false << QVector<double> { 0, 0, 0 } << 1.7 << captured;
    QTest::newRow("one pose") << true << QVector<double> { 0, 0, 0 } << 1.7
                              << QVector<QVector3D> { { 30, -40, 5 } };
    QTest::newRow("deep line, flat") << false << QVector<double> { 0, 0, 0 } << 1.7
                                     << QVector<QVector3D> { { 0, 0, -40 }, { 0, 0, 40 } };
    QTest::newRow("deep line, perspective") << true << QVector<double> { 0, 0, 0 } << 1.7
                                            << QVector<QVector3D> { { 0, 0, -90 }, { 0, 0, 60 } };
    QTest::newRow("small, flat") << false << QVector<double> { 10, 20, 30 } << 1.0
                                 << QVector<QVector3D> { { 0.1f, 0, 0 }, { 0, 0.2f, 0 } };
}

// The camera found is checked by projecting the points (and a ball of the
// padding around each) as the paint does, with its own matrices.
void TestView::framingBringsEveryPointIntoView()
{
    QFETCH(bool, perspective);
    QFETCH(QVector<double>, rotation);
    QFETCH(double, aspect);
    QFETCH(QVector<QVector3D>, points);
    const double padding = 1.25;
    ViewCamera camera;
    camera.rotationX = rotation[0];
    camera.rotationY = rotation[1];
    camera.rotationZ = rotation[2];
    camera.translationX = 7;
    camera.zoom = 0.3;
    std::vector<ScenePoint> scene;
    for (const QVector3D &p : points)
        scene.push_back(ScenePoint { p.x(), p.y(), p.z() });
    const ViewCamera framed = framedCamera(camera, scene, padding, aspect, perspective);
    QCOMPARE(framed.rotationX, camera.rotationX);
    QCOMPARE(framed.rotationZ, camera.rotationZ);

    QMatrix4x4 projection;
    const double z = framed.zoom;
    projection.scale(float(z), float(z), perspective ? 1.0f : float(std::min(z, 1.0)));
    QMatrix4x4 modelView;
    if (perspective) {
        projection.perspective(60.0f, float(aspect), 0.01f, 1000.0f);
        modelView.translate(0, 0, -20);
    }
    modelView.translate(
        float(framed.translationX), float(framed.translationY), float(framed.translationZ));
    modelView.rotate(float(framed.rotationX), 1, 0, 0);
    modelView.rotate(float(framed.rotationY), 0, 1, 0);
    modelView.rotate(float(framed.rotationZ), 0, 0, 1);
    double largest = 0.0;
    for (const QVector3D &p : points) {
        const QVector3D eye = modelView.map(p);
        for (const QVector3D &offset :
            { QVector3D(1, 0, 0), QVector3D(-1, 0, 0), QVector3D(0, 1, 0), QVector3D(0, -1, 0),
                QVector3D(0, 0, 1), QVector3D(0, 0, -1) }) {
            const QVector3D ndc = projection.map(eye + float(padding) * offset);
            // A tenth of the view to spare on each side, and inside the depth.
            QVERIFY(std::abs(ndc.x()) <= 0.834f && std::abs(ndc.y()) <= 0.834f);
            QVERIFY(std::abs(ndc.z()) < 1.0f);
            // Without perspective the depth may be what limits the zoom.
            largest = std::max(largest,
                double(std::max({ std::abs(ndc.x()), std::abs(ndc.y()),
                    perspective ? 0.0f : std::abs(ndc.z()) })));
        }
    }
    // Not lost in the middle either.
    QVERIFY2(largest > 0.45, qPrintable(QString::number(largest)));
    QVERIFY(std::isfinite(z) && z >= minimumZoom && z <= maximumZoom);
    // Nothing to frame: the camera stays.
    QCOMPARE(framedCamera(camera, {}, padding, aspect, perspective).zoom, camera.zoom);
}

void TestView::aspectRatio_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<float>("ratio");
    QTest::newRow("1000 x 500") << 1000 << 500 << 2.0f;
    QTest::newRow("square") << 300 << 300 << 1.0f;
    QTest::newRow("collapsed") << 640 << 0 << 640.0f;
}

void TestView::aspectRatio()
{
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(float, ratio);
    view->viewWidth = width;
    view->viewHeight = height;
    QCOMPARE(view->aspectRatio(), ratio);
    QVERIFY(std::isfinite(view->aspectRatio()));
}

void TestView::resetButtonActsOnPress()
{
    window->show();
    view->rotationY = 40;
    view->translationX = 2;
    QTest::mousePress(window->resetViewButton, Qt::LeftButton);
    QCOMPARE(view->rotationY, 0.0);
    QCOMPARE(view->translationX, 0.0);
    QTest::mouseRelease(window->resetViewButton, Qt::LeftButton);
}

void TestView::viewWithoutAWindowIgnoresItsSlots()
{
    GLWidget lone;
    mainDialogInstance = nullptr;
    lone.updateGLToPlot(2);
    lone.updateSelectedPosition(3);
    lone.updateApproximationDegree(2);
    lone.storeKeyPositionsInGLWidget(false);
    lone.storeAllKeyPositionsInGLWidget(false);
    lone.resetKeyPositionMotions();
    lone.resetContinuousMotion();
    QVERIFY(!lone.motion(MotionKind::Screw) && !lone.motion(MotionKind::Continuous));

    // A window that is not the program's one is no window to its view.
    click(window->screwCheck);
    QVERIFY(!view->motion(MotionKind::Screw));
    QVERIFY(!window->objectCheck->isChecked());
    mainDialogInstance = window.get();
}

QTEST_MAIN(TestView)
#include "tst_view.moc"
