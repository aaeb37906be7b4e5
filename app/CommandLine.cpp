#include "app/CommandLine.h"

#include "app/CameraOption.h"
#include "app/CaptureCommand.h"
#include "app/MotionExportCommand.h"

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>

// The build passes both from the project's version and install settings.
#ifndef HANDMOTION_VERSION
#define HANDMOTION_VERSION "0"
#endif
#ifndef HANDMOTION_APP_ID
#define HANDMOTION_APP_ID "io.github.handmotion.handmotion"
#endif

const char *const applicationId = HANDMOTION_APP_ID;

namespace {

// The options QGuiApplication, QApplication and the X11 platform take out of
// argv when they are made, written without their leading dash.
const char *const qtWindowOptions[] = { "platform", "platformpluginpath", "platformtheme", "plugin",
    "qmljsdebugger", "qwindowgeometry", "qwindowicon", "qwindowtitle", "reverse", "session",
    "display", "geometry", "style", "stylesheet", "widgetcount", "dialogs", "fontengine", "name",
    "title", "visual", "ncols", "cmap", "im", "inputstyle", "nograb", "dograb", "sync" };

bool isQtWindowOption(const QString &name)
{
    for (const char *option : qtWindowOptions)
        if (name == QLatin1String(option))
            return true;
    return false;
}

QStringList argumentList(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

} // namespace

void setApplicationIdentity()
{
    QCoreApplication::setApplicationName(QStringLiteral("handmotion"));
    QCoreApplication::setApplicationVersion(QStringLiteral(HANDMOTION_VERSION));
    // Ties the windows to the desktop entry: its name and icon in task bars
    // and docks. No display name: the main window keeps an empty title.
    QGuiApplication::setDesktopFileName(QString::fromLatin1(applicationId));
}

void addProgramOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Designs rigid-body motions from poses shown with a hand."));
    // Qt's own options keep their single dash (-platform, -style), so single
    // dash words are options, not bundles of letters.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addHelpOption();
    parser.addVersionOption();
    addCameraOption(parser);
    addMotionExportOptions(parser);
    addCaptureOptions(parser);
}

QStringList windowlessOptionNames()
{
    return { QStringLiteral("help"), QStringLiteral("help-all"), QStringLiteral("version"),
        QStringLiteral("export-motion"), QStringLiteral("capture") };
}

bool needsWindow(const QStringList &arguments)
{
    QCommandLineParser parser;
    addProgramOptions(parser);
    // A failed parse still records the known options it met.
    parser.parse(arguments);
    for (const QString &name : windowlessOptionNames())
        if (parser.isSet(name))
            return false;
    for (const QString &name : parser.unknownOptionNames())
        if (!isQtWindowOption(name))
            return false;
    return true;
}

std::unique_ptr<QCoreApplication> createApplication(int &argc, char **argv)
{
    const QStringList arguments = argumentList(argc, argv);
    if (needsWindow(arguments))
        return std::make_unique<QApplication>(argc, argv);
    QCommandLineParser scan;
    addProgramOptions(scan);
    scan.parse(arguments);
    if (scan.isSet(QStringLiteral("help-all"))) {
        // Qt lists its window options only for a GUI application; the
        // minimal platform makes one without a display.
        qputenv("QT_QPA_PLATFORM", "minimal");
        return std::make_unique<QApplication>(argc, argv);
    }
    return std::make_unique<QCoreApplication>(argc, argv);
}

int complainOnce(const QString &message, int status)
{
    QString line = message;
    line.replace(QLatin1Char('\n'), QLatin1Char(' '));
    std::fprintf(stderr, "handmotion: %s\n", line.toLocal8Bit().constData());
    std::fflush(stderr);
    return status;
}

bool processCommandLine(QCommandLineParser &parser, const QCoreApplication &application)
{
    parser.process(application);
    const QStringList extra = parser.positionalArguments();
    if (extra.isEmpty())
        return true;
    std::fprintf(stderr, "%s: Unexpected argument '%s'; see %s --help.\n",
        qPrintable(QCoreApplication::applicationName()), qPrintable(extra.first()),
        qPrintable(QCoreApplication::applicationName()));
    return false;
}
