// The main window on a real display: it shows, paints, and quits from its
// menu; the key positions panel edits what is drawn.
#include "app/KeyPositionPanel.h"
#include "app/mainDialog.h"
#include "sensor/Sensor.h"
#include "tests/support/GLScene.h"
#include "tests/support/Poses.h"
#include "view/GLWidget.h"

#include <QAction>
#include <QCheckBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <memory>

using Kinect::mainDialog;

class TestGlMainWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void showsAndPaints();
    void exitClosesTheWindowAndEndsTheEventLoop();
    void panelHighlightsAndEditsTheDrawnMotion();
};

void TestGlMainWindow::showsAndPaints()
{
    mainDialog window;
    mainDialogInstance = &window;
    window.showMaximized();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_VERIFY(window.glWidget->isValid());

    const QImage picture = window.grab().toImage();
    QVERIFY(!picture.isNull());
    QVERIFY(picture.width() >= 940 && picture.height() >= 440);
    // Not one flat colour: the controls, the views and the 3D view differ.
    QSet<QRgb> colours;
    for (int y = 0; y < picture.height(); y += 7)
        for (int x = 0; x < picture.width(); x += 7)
            colours.insert(picture.pixel(x, y));
    QVERIFY2(colours.size() > 3, qPrintable(QString::number(colours.size())));

    const QImage scene = window.glWidget->grabFramebuffer();
    QVERIFY(!scene.isNull());
    QCOMPARE(scene.size(), window.glWidget->size() * window.glWidget->devicePixelRatio());
}

void TestGlMainWindow::exitClosesTheWindowAndEndsTheEventLoop()
{
    std::unique_ptr<mainDialog> window(new mainDialog);
    mainDialogInstance = window.get();
    window->showMaximized();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QTimer::singleShot(0, window->exitAction, &QAction::trigger);
    // Watchdog: a loop that never ends fails instead of hanging.
    bool watchdogFired = false;
    QTimer::singleShot(10000, [&watchdogFired] {
        watchdogFired = true;
        QCoreApplication::exit(99);
    });
    const int code = QCoreApplication::exec();
    QVERIFY(!watchdogFired);
    QCOMPARE(code, 0);
    QVERIFY(!window->isVisible());
    window.reset();
    QVERIFY(mainDialogInstance == nullptr);
}

void TestGlMainWindow::panelHighlightsAndEditsTheDrawnMotion()
{
    mainDialog window;
    mainDialogInstance = &window;
    window.showMaximized();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    // Three key positions across the middle of the view, and the screw
    // motion through them with its models.
    for (int k = 0; k < 3; ++k)
        window.sensor->addKeyPosition(
            makePose(30.0 * k, QVector3D(0, 0, 1), QVector3D(-0.05f + 0.05f * k, 0, 0)));
    window.screwCheck->setChecked(true);
    window.keyPositionPanel->toggleViewAction()->trigger();
    QTRY_VERIFY(window.keyPositionPanel->isVisible());
    const auto redPixels = [](const QImage &image) {
        return countPixelsAround(image, image.rect().center(), image.width(), isRedPixel);
    };
    const QImage plain = window.glWidget->grabFramebuffer();

    // The last key position turns red over the motion's last pose.
    window.keyPositionPanel->selectRow(2);
    QCOMPARE(window.glWidget->highlightedKeyPosition(), 2);
    const QImage highlighted = window.glWidget->grabFramebuffer();
    QVERIFY2(redPixels(highlighted) > redPixels(plain) + 50,
        qPrintable(QStringLiteral("%1 red pixels, %2 before")
                       .arg(redPixels(highlighted))
                       .arg(redPixels(plain))));

    // Deleting it draws the motion through the two left, at once.
    QTest::mouseClick(window.keyPositionPanel->deleteButton, Qt::LeftButton);
    QCOMPARE(window.sensor->keyPositionCount(), 2);
    QCOMPARE(window.glWidget->highlightedKeyPosition(), 1);
    window.keyPositionPanel->toggleViewAction()->trigger();
    QCOMPARE(window.glWidget->highlightedKeyPosition(), -1);
    const QImage edited = window.glWidget->grabFramebuffer();
    QVERIFY(changedPixels(edited, plain.pixel(0, 0)) < changedPixels(plain, plain.pixel(0, 0)));
    mainDialogInstance = nullptr;
}

QTEST_MAIN(TestGlMainWindow)
#include "tst_gl_mainwindow.moc"
