#include "app/mainDialog.h"

#include <QApplication>

int main(int argc, char **argv)
{
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
