#include "app/MotionExportCommand.h"
#include "app/mainDialog.h"

#include <QApplication>

int main(int argc, char **argv)
{
    // The export without a window needs no display: a core application.
    if (wantsMotionExport(argc, argv)) {
        QCoreApplication application(argc, argv);
        return runMotionExportCommandLine(QCoreApplication::arguments());
    }
    QApplication application(argc, argv);
    int exitCode = 0;
    {
        Kinect::mainDialog window;
        mainDialogInstance = &window;
        window.showMaximized();
        exitCode = application.exec();
    }
    return exitCode;
}
