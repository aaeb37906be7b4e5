#include "app/CameraOption.h"

#include "sensor/sources/Source.h"

#include <QCommandLineParser>

namespace {

const QString cameraOptionName = QStringLiteral("camera");

} // namespace

void addCameraOption(QCommandLineParser &parser)
{
    parser.addOption(QCommandLineOption(cameraOptionName,
        // --help wraps at 79 columns: lines short enough to stay whole.
        QStringLiteral("The camera source; wins over HANDMOTION_CAMERA.\n"
                       "none: no camera\n"
                       "demo: the built-in demonstration operator\n"
                       "replay:PATH: a .csv or .skeleton recording\n"
                       "osc[:[ADDRESS:]PORT]: body frames received\n"
                       "over OSC (UDP) from a body-tracker sender, on\n"
                       "127.0.0.1:12345 unless told; osc:0.0.0.0:12345\n"
                       "accepts them from other machines."),
        QStringLiteral("source")));
}

bool applyCameraOption(const QCommandLineParser &parser, QString &error)
{
    if (!parser.isSet(cameraOptionName))
        return true;
    const QString setting = parser.value(cameraOptionName);
    const QString problem = camera::cameraSettingError(setting);
    if (!problem.isEmpty()) {
        error = QStringLiteral("--camera: ") + problem;
        return false;
    }
    // "none" is a choice too: it must win over the variable, so it is kept
    // as a non-null empty setting.
    camera::overrideCameraSetting(setting.isEmpty() ? QStringLiteral("") : setting);
    return true;
}
