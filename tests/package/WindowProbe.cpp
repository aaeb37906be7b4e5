// A helper of the installed-package test (tests/package/check_installed.sh),
// run on the same X server as the installed program:
//   window_probe layout
//       shows the main window as the program does and prints where its
//       controls are, in window coordinates: "key X Y" and "spatial X Y"
//       (centres of the two capture check boxes the test clicks) and
//       "view X Y W H" (the 3D view).
//   window_probe look FILE X Y W H
//       grabs that rectangle of the screen, saves it as FILE and prints
//       "drawn N model M": how many of its pixels are not the black
//       background, and how many of those have the key-pose model's lit
//       colour.
// Built from the same sources as the package, so its layout is the
// program's under the same fonts and screen.
#include "app/mainDialog.h"
#include "view/GLWidget.h"

#include <QApplication>
#include <QCheckBox>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QTest>

#include <cstdio>

namespace {

// The key poses' material (0.7, 0.5, 0.2) under the view's light and
// emission stays orange at every angle: red over green over blue, well
// apart. No frame glyph (magenta, green, blue, white) and no background
// (black or white) passes.
bool isModelPixel(QRgb p)
{
    return qRed(p) > qGreen(p) + 25 && qGreen(p) > qBlue(p) + 25 && qRed(p) > 90;
}

bool isBackgroundPixel(QRgb p) { return qRed(p) < 16 && qGreen(p) < 16 && qBlue(p) < 16; }

void printCentre(const char *name, QWidget *widget, QWidget *window)
{
    const QPoint c = widget->mapTo(window, widget->rect().center());
    std::printf("%s %d %d\n", name, c.x(), c.y());
}

int layout()
{
    Kinect::mainDialog window;
    mainDialogInstance = &window;
    window.showMaximized();
    if (!QTest::qWaitForWindowExposed(&window)) {
        std::fputs("window_probe: the window was never shown\n", stderr);
        return 1;
    }
    printCentre("key", window.keyPositionCaptureCheck, &window);
    printCentre("spatial", window.spatialCaptureCheck, &window);
    const QPoint view = window.glWidget->mapTo(&window, QPoint(0, 0));
    std::printf("view %d %d %d %d\n", view.x(), view.y(), window.glWidget->width(),
        window.glWidget->height());
    std::fflush(stdout);
    window.stopPolling();
    mainDialogInstance = nullptr;
    return 0;
}

int look(const QStringList &args)
{
    bool ok[4] = {};
    const int x = args.value(1).toInt(&ok[0]), y = args.value(2).toInt(&ok[1]);
    const int w = args.value(3).toInt(&ok[2]), h = args.value(4).toInt(&ok[3]);
    if (args.size() != 5 || !(ok[0] && ok[1] && ok[2] && ok[3]) || w <= 0 || h <= 0) {
        std::fputs("usage: window_probe look FILE X Y W H\n", stderr);
        return 2;
    }
    const QImage image = QGuiApplication::primaryScreen()
                             ->grabWindow(0, x, y, w, h)
                             .toImage()
                             .convertToFormat(QImage::Format_RGB32);
    if (image.isNull() || !image.save(args.at(0))) {
        std::fprintf(
            stderr, "window_probe: could not grab the screen into %s\n", qPrintable(args.at(0)));
        return 1;
    }
    int drawn = 0, model = 0;
    for (int row = 0; row < image.height(); ++row) {
        const QRgb *line = reinterpret_cast<const QRgb *>(image.constScanLine(row));
        for (int col = 0; col < image.width(); ++col) {
            drawn += !isBackgroundPixel(line[col]);
            model += isModelPixel(line[col]);
        }
    }
    std::printf("drawn %d model %d\n", drawn, model);
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    const QStringList args = application.arguments().mid(1);
    if (args.value(0) == QLatin1String("layout") && args.size() == 1)
        return layout();
    if (args.value(0) == QLatin1String("look"))
        return look(args.mid(1));
    std::fputs("usage: window_probe layout | window_probe look FILE X Y W H\n", stderr);
    return 2;
}
