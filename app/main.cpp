#include "app/CameraOption.h"
#include "app/CaptureCommand.h"
#include "app/CommandLine.h"
#include "app/MotionExportCommand.h"
#include "app/mainDialog.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

int main(int argc, char **argv)
{
    setApplicationIdentity();
    // A QCoreApplication when no window is needed (help, version, the
    // motion export): those work without a display.
    const std::unique_ptr<QCoreApplication> application = createApplication(argc, argv);
    // Runs without a window branch off here, before the window is made. The
    // export parses its own options, so that every fault of its command line
    // gets its exit status.
    if (wantsMotionExport(argc, argv))
        return runMotionExportCommandLine(QCoreApplication::arguments());
    if (wantsCapture(argc, argv))
        return runCaptureCommandLine(QCoreApplication::arguments());
    QCommandLineParser parser;
    addProgramOptions(parser);
    if (!processCommandLine(parser, *application))
        return EXIT_FAILURE;
    QString cameraError;
    if (!applyCameraOption(parser, cameraError)) {
        std::fprintf(stderr, "%s\n", qPrintable(cameraError));
        return 2;
    }

    int exitCode = 0;
    {
        Kinect::mainDialog window;
        mainDialogInstance = &window;
        window.applyCaptureOptions(parser);
        window.showMaximized();
        exitCode = application->exec();
    }
    return exitCode;
}
