#include "app/CameraOption.h"
#include "app/mainDialog.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    addCameraOption(parser);
    parser.process(application);
    QString error;
    if (!applyCameraOption(parser, error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 2;
    }
    int exitCode = 0;
    {
        Kinect::mainDialog window;
        mainDialogInstance = &window;
        window.showMaximized();
        exitCode = application.exec();
    }
    return exitCode;
}
