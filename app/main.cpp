#include "app/CommandLine.h"
#include "app/mainDialog.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdlib>

int main(int argc, char **argv)
{
    setApplicationIdentity();
    // A QCoreApplication when no window is needed (help, version): those
    // work without a display.
    const std::unique_ptr<QCoreApplication> application = createApplication(argc, argv);
    QCommandLineParser parser;
    addProgramOptions(parser);
    if (!processCommandLine(parser, *application))
        return EXIT_FAILURE;
    // Runs without a window branch off here, before the window is made.

    int exitCode = 0;
    {
        Kinect::mainDialog window;
        mainDialogInstance = &window;
        window.showMaximized();
        exitCode = application->exec();
    }
    return exitCode;
}
