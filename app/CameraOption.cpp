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
                       "accepts them from other machines.\n"
                       "webcam[:/dev/videoN]: hands seen by a camera\n"
                       "(the first one unless told), found by a hand-\n"
                       "landmark model in a headless Chromium on this\n"
                       "machine; no picture leaves it.\n"
                       "video:PATH: the same for every frame of a video\n"
                       "file (.mjpeg, .y4m; .mp4, .webm and others\n"
                       "through ffmpeg).\n"
                       "Both take options after '?', joined by '&':\n"
                       "fov=DEGREES (the camera's horizontal field of\n"
                       "view, 60 unless told), model=lite (faster, less\n"
                       "exact than the default full model), fps=N (an\n"
                       "MJPEG file's frame rate, 30 unless told); e.g.\n"
                       "webcam:/dev/video2?fov=70"),
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
