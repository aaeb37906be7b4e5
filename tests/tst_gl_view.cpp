// The 3D view painted for real (Mesa under Xvfb): background, motions where
// their poses project, the capture-mode perspective, and what a paint changes
// in the window.
#include "app/mainDialog.h"
#include "motion/MRBSplineInterpolation.h"
#include "sensor/Sensor.h"
#include "view/GLWidget.h"

#include <QCheckBox>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QtTest>

#include <cmath>
#include <memory>

using Kinect::mainDialog;

namespace {

DualQuaternion pose(double angleDegrees, double x, double y, double z)
{
    const double h = angleDegrees * M_PI / 360.0;
    const double q[4] = { 0, 0, std::sin(h), std::cos(h) };
    const double t[4] = { x, y, z, 0 };
    return DualQuaternion::fromRotationTranslation(q, t);
}

bool isGreen(QRgb p) { return qGreen(p) > qRed(p) + 60 && qGreen(p) > qBlue(p) + 60; }

// Pixels of the picture that differ from the background colour.
QVector<QPoint> drawnPixels(const QImage &image, QRgb background)
{
    QVector<QPoint> points;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2)
            if ((image.pixel(x, y) & 0xffffff) != (background & 0xffffff))
                points << QPoint(x, y);
    return points;
}

QRect boundsOf(const QVector<QPoint> &points)
{
    QRect bounds;
    for (const QPoint &p : points)
        bounds |= QRect(p, QSize(1, 1));
    return bounds;
}

QPointF centroid(const QVector<QPoint> &points)
{
    QPointF sum;
    for (const QPoint &p : points)
        sum += p;
    return points.isEmpty() ? QPointF() : sum / points.size();
}

} // namespace

class TestGlView : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        window.reset(new mainDialog);
        mainDialogInstance = window.get();
        window->resize(1400, 1000);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        view = window->glWidget;
        QTRY_VERIFY(view->isValid());
    }
    void cleanup()
    {
        window.reset();
        mainDialogInstance = nullptr;
    }

    void backgroundFollowsTheCheckBox();
    void screwModelsAppearWhereThePosesProject();
    void keyPositionsAreDrawnWhenChecked();
    void capturePerspectiveMovesTheScene();
    void paintNarrowsTheDegreeRangeAndClampsTheDegree();
    void paintEnablesWhatHasSomethingToShow();
    void keyPositionResetKeepsTheNarrowedRangeUntilTheNextPaint();
    void keyPositionResetWithItsDisplayBoxesChecked();
    void framingShowsEveryDrawnPose();
    void unreliableInterpolationIsReportedInTheStatusBar();

private:
    QImage paint() { return view->grabFramebuffer(); }
    const MRBSplineInterpolation *interpolation() const
    {
        return dynamic_cast<const MRBSplineInterpolation *>(
            view->motion(MotionKind::Interpolation));
    }

    std::unique_ptr<mainDialog> window;
    GLWidget *view = nullptr;
};

void TestGlView::backgroundFollowsTheCheckBox()
{
    QImage image = paint();
    QCOMPARE(image.pixel(5, 5) & 0xffffff, 0x000000u);
    QCOMPARE(image.pixel(image.width() / 2, image.height() - 5) & 0xffffff, 0x000000u);
    window->whiteBackgroundCheck->setChecked(true);
    image = paint();
    QCOMPARE(image.pixel(5, 5) & 0xffffff, 0xffffffu);
    QCOMPARE(image.pixel(image.width() - 5, image.height() / 2) & 0xffffff, 0xffffffu);
    window->whiteBackgroundCheck->setChecked(false);
    QCOMPARE(paint().pixel(5, 5) & 0xffffff, 0x000000u);
}

void TestGlView::screwModelsAppearWhereThePosesProject()
{
    // In a capture mode the eye sits 20 scene units in front of the origin
    // with a vertical field of view of 60 degrees.
    window->keyPositionCaptureCheck->setChecked(true);
    window->spatialCaptureCheck->setChecked(true);
    window->sensor->addKeyPosition(pose(0, -0.6, 0.0, 0.0));
    window->sensor->addKeyPosition(pose(30, 0.0, 0.3, 0.0));
    window->sensor->addKeyPosition(pose(60, 0.6, 0.0, 0.0));
    auto greenNear = [](const QImage &image, double sceneX, double sceneY) {
        const double halfHeight = 20.0 * std::tan(M_PI / 6.0);
        const double aspect = double(image.width()) / image.height();
        const QPoint centre(int((1 + sceneX / (halfHeight * aspect)) / 2 * image.width()),
            int((1 - sceneY / halfHeight) / 2 * image.height()));
        int count = 0;
        for (int dy = -40; dy <= 40; ++dy)
            for (int dx = -40; dx <= 40; ++dx) {
                const QPoint p = centre + QPoint(dx, dy);
                count += image.rect().contains(p) && isGreen(image.pixel(p));
            }
        return count;
    };
    QImage image = paint();
    QCOMPARE(greenNear(image, -6, 0), 0);

    window->screwCheck->setChecked(true);
    QVERIFY(window->objectCheck->isChecked());
    image = paint();
    // The first two key poses begin the two segments; the last is reached
    // only in the limit.
    QVERIFY2(greenNear(image, -6, 0) > 30, qPrintable(QString::number(greenNear(image, -6, 0))));
    QVERIFY2(greenNear(image, 0, 3) > 30, qPrintable(QString::number(greenNear(image, 0, 3))));
    // Far from every pose the background stays.
    QCOMPARE(image.pixel(5, 5) & 0xffffff, 0x000000u);
    QCOMPARE(greenNear(image, 0, -8), 0);
}

void TestGlView::keyPositionsAreDrawnWhenChecked()
{
    window->sensor->addKeyPosition(pose(0, 0.0, 0.0, 0.0));
    const QImage before = paint();
    QVERIFY(drawnPixels(before, 0).isEmpty());
    QVERIFY(window->keyPositionsCheck->isEnabled());
    window->keyPositionsCheck->setChecked(true);
    const QVector<QPoint> drawn = drawnPixels(paint(), 0);
    QVERIFY(drawn.size() > 50);
    // Drawing the key positions twice (with a computed kind) changes nothing.
    window->screwCheck->setChecked(true);
    window->objectCheck->setChecked(false);
    QCOMPARE(drawnPixels(paint(), 0), drawn);
}

void TestGlView::capturePerspectiveMovesTheScene()
{
    window->sensor->addKeyPosition(pose(0, 0.03, 0.03, 0.0));
    window->keyPositionsCheck->setChecked(true);
    const QVector<QPoint> flat = drawnPixels(paint(), 0);
    QVERIFY(!flat.isEmpty());

    window->keyPositionCaptureCheck->setChecked(true);
    window->planarCaptureCheck->setChecked(true);
    const QVector<QPoint> perspective = drawnPixels(paint(), 0);
    QVERIFY(!perspective.isEmpty());
    // Seen from 20 units away the pose shrinks towards the middle.
    QVERIFY(perspective.size() < flat.size());
    const QPointF middle(view->width() / 2.0, view->height() / 2.0);
    QVERIFY(
        QLineF(centroid(perspective), middle).length() < QLineF(centroid(flat), middle).length());

    // Unchecking the mode restores the identity matrices.
    window->planarCaptureCheck->setChecked(false);
    QCOMPARE(drawnPixels(paint(), 0), flat);
}

void TestGlView::paintNarrowsTheDegreeRangeAndClampsTheDegree()
{
    for (int i = 0; i < 3; ++i)
        window->sensor->addKeyPosition(pose(20 * i, 0.02 * i, 0, 0));
    window->approximationCheck->setChecked(true);
    QCOMPARE(window->approximationDegreeSpin->value(), 3);
    paint();
    QCOMPARE(window->approximationDegreeSpin->maximum(), 2);
    QCOMPARE(window->approximationDegreeSpin->value(), 2);
    QCOMPARE(view->motion(MotionKind::Approximation)->degree(), 2);
    // The interpolation's box keeps its range while its kind is unchecked.
    QCOMPARE(window->interpolationDegreeSpin->maximum(), 10);
}

void TestGlView::paintEnablesWhatHasSomethingToShow()
{
    paint();
    QVERIFY(!window->exportButton->isEnabled());
    QVERIFY(!window->keyPositionsCheck->isEnabled());
    QVERIFY(!window->continuousMotionCheck->isEnabled());
    window->sensor->addKeyPosition(pose(0, 0, 0, 0));
    paint();
    QVERIFY(window->exportButton->isEnabled());
    QVERIFY(window->keyPositionsCheck->isEnabled());
    QVERIFY(!window->continuousMotionCheck->isEnabled());
    window->sensor->clearKeyPositions();
    paint();
    QVERIFY(!window->exportButton->isEnabled());
}

void TestGlView::keyPositionResetKeepsTheNarrowedRangeUntilTheNextPaint()
{
    for (int i = 0; i < 3; ++i)
        window->sensor->addKeyPosition(pose(20 * i, 0.02 * i, 0, 0));
    window->approximationCheck->setChecked(true);
    paint();
    QCOMPARE(window->approximationDegreeSpin->maximum(), 2);

    QTest::mousePress(window->resetKeyPositionButton, Qt::LeftButton);
    QTest::mouseRelease(window->resetKeyPositionButton, Qt::LeftButton);
    QVERIFY(!window->approximationCheck->isChecked());
    QVERIFY(!view->motion(MotionKind::Approximation));
    QVERIFY(window->sensor->keyPositions().empty());
    QCOMPARE(window->approximationDegreeSpin->maximum(), 2);

    // Checked again with no key positions, the range stays as it was ...
    window->approximationCheck->setChecked(true);
    paint();
    QCOMPARE(window->approximationDegreeSpin->maximum(), 2);
    // ... until a paint finds key positions.
    for (int i = 0; i < 5; ++i)
        window->sensor->addKeyPosition(pose(10 * i, 0.01 * i, 0, 0));
    paint();
    QCOMPARE(window->approximationDegreeSpin->maximum(), 4);
}

void TestGlView::keyPositionResetWithItsDisplayBoxesChecked()
{
    for (int i = 0; i < 3; ++i)
        window->sensor->addKeyPosition(pose(20 * i, 0.02 * i, 0, 0));
    window->screwCheck->setChecked(true);
    window->interpolationCheck->setChecked(true);
    paint();
    window->keyPositionsCheck->setChecked(true);
    window->trajectoryCheck->setChecked(true);
    window->framesCheck->setChecked(true);
    QVERIFY(window->objectCheck->isChecked());
    view->rotationX = 30;

    QTest::mousePress(window->resetKeyPositionButton, Qt::LeftButton);
    for (QCheckBox *box : { window->keyPositionsCheck, window->trajectoryCheck, window->framesCheck,
             window->objectCheck, window->screwCheck, window->interpolationCheck })
        QVERIFY2(!box->isChecked(), qPrintable(box->text()));
    // Set back to 3, within the range the last paint left.
    QCOMPARE(window->interpolationDegreeSpin->value(), 2);
    QCOMPARE(window->approximationDegreeSpin->value(), 3);
    QVERIFY(!view->motion(MotionKind::Screw) && !view->motion(MotionKind::Interpolation));
    QCOMPARE(view->rotationX, 0.0);
    QVERIFY(window->sensor->keyPositions().empty());
    QTest::mouseRelease(window->resetKeyPositionButton, Qt::LeftButton);
    paint();
    QVERIFY(!window->exportButton->isEnabled());
}

void TestGlView::framingShowsEveryDrawnPose()
{
    // As captured: 1.7 to 1.95 m in front of the camera, a hand's sweep
    // across.
    window->keyPositionCaptureCheck->setChecked(true);
    window->spatialCaptureCheck->setChecked(true);
    for (int i = 0; i < 6; ++i)
        window->sensor->addKeyPosition(
            pose(30 * i, -0.3 + 0.12 * i, 0.1 * std::sin(i), 1.7 + 0.05 * i));
    window->screwCheck->setChecked(true);
    window->framesCheck->setChecked(true);
    const QRect far = boundsOf(drawnPixels(paint(), 0));
    QVERIFY(!far.isEmpty());
    QVERIFY2(far.width() < view->width() / 4, qPrintable(QString::number(far.width())));

    QTest::keyClick(view, Qt::Key_F);
    const QImage framed = paint();
    const QRect near = boundsOf(drawnPixels(framed, 0));
    // Everything inside, with room to spare, and filling the view.
    const QRect inner(framed.width() / 20, framed.height() / 20, framed.width() * 9 / 10,
        framed.height() * 9 / 10);
    QVERIFY(inner.contains(near));
    QVERIFY(near.width() > framed.width() / 2 || near.height() > framed.height() / 2);

    // A double-click frames alike, from wherever the camera was.
    const double zoom = view->zoom, x = view->translationX, z = view->translationZ;
    view->resetInteraction();
    view->rotationY = 0.0;
    QTest::mouseDClick(view, Qt::LeftButton, {}, QPoint(20, 20));
    QCOMPARE(view->zoom, zoom);
    QCOMPARE(view->translationX, x);
    QCOMPARE(view->translationZ, z);
    // "Reset to original position" is the camera as it always was.
    QTest::mouseClick(window->resetViewButton, Qt::LeftButton);
    QCOMPARE(boundsOf(drawnPixels(paint(), 0)), far);
}

void TestGlView::unreliableInterpolationIsReportedInTheStatusBar()
{
    for (int i = 0; i < 60; ++i)
        window->sensor->addKeyPosition(pose(3 * i, 0.01 * i, 0.05 * std::sin(i / 5.0), 0.0));
    window->interpolationCheck->setChecked(true);
    const QString failed = QStringLiteral(
        "B-spline interpolation: 60 key positions at degree 3 cannot be interpolated reliably");
    for (int i = 0; i < 3; ++i)
        QVERIFY(drawnPixels(paint(), 0).isEmpty());
    QCOMPARE(window->statusBar()->currentMessage(), failed);
    // Painted three times, inverted once.
    QCOMPARE(interpolation()->inversions(), 1);

    // At degree 2 the same key positions interpolate: drawn, message gone.
    window->interpolationDegreeSpin->setValue(2);
    QVERIFY(!drawnPixels(paint(), 0).isEmpty());
    QCOMPARE(window->statusBar()->currentMessage(), QString());
    QCOMPARE(interpolation()->inversions(), 2);

    // A message of someone else's is left standing.
    window->interpolationDegreeSpin->setValue(3);
    paint();
    QCOMPARE(window->statusBar()->currentMessage(), failed);
    window->statusBar()->showMessage(QStringLiteral("something else"));
    window->interpolationDegreeSpin->setValue(2);
    paint();
    QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("something else"));
}

QTEST_MAIN(TestGlView)
#include "tst_gl_view.moc"
