// The main window on a real display: it shows, paints, and quits from its menu.
#include "app/mainDialog.h"
#include "view/GLWidget.h"

#include <QAction>
#include <QTimer>
#include <QtTest>

#include <memory>

using Kinect::mainDialog;

class TestGlMainWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void showsAndPaints();
    void exitClosesTheWindowAndEndsTheEventLoop();
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

QTEST_MAIN(TestGlMainWindow)
#include "tst_gl_mainwindow.moc"
