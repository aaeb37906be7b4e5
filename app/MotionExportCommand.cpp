#include "app/MotionExportCommand.h"

#include "app/CommandLine.h"
#include "motion/MotionExport.h"
#include "session/AtomicFile.h"
#include "session/KeyPositionImport.h"

#include <QCommandLineParser>

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

const QString exportOption = QStringLiteral("export-motion");
const QString keysOption = QStringLiteral("keys");
const QString degreeOption = QStringLiteral("degree");
const QString densityOption = QStringLiteral("density");
const QString constantSpeedOption = QStringLiteral("constant-speed");
const QString durationOption = QStringLiteral("duration");
const QString formatOption = QStringLiteral("format");
const QString cameraInBaseOption = QStringLiteral("camera-in-base");
const QString outputOption = QStringLiteral("output");

bool readInt(const QCommandLineParser &parser, const QString &option, int *value)
{
    if (!parser.isSet(option))
        return true;
    bool ok = false;
    const int v = parser.value(option).trimmed().toInt(&ok);
    if (ok)
        *value = v;
    return ok;
}

// "a, b or c".
QString alternatives(const QStringList &names)
{
    if (names.size() < 2)
        return names.join(QString());
    return QStringList(names.mid(0, names.size() - 1)).join(QStringLiteral(", "))
        + QStringLiteral(" or ") + names.last();
}

// The kinds --export-motion writes.
QString kindNames()
{
    QStringList names;
    for (const MotionKindInfo &kind : motionKinds())
        if (kind.exported)
            names << QString::fromLatin1(kind.name);
    return alternatives(names);
}

QString formatNames(bool takingCameraInBase)
{
    QStringList names;
    for (const MotionExportFormatInfo &format : motionExportFormats())
        if (format.takesCameraInBase || !takingCameraInBase)
            names << QString::fromLatin1(format.name);
    return alternatives(names);
}

bool writeStandardOutput(const std::string &text)
{
    const size_t written = std::fwrite(text.data(), 1, text.size(), stdout);
    return written == text.size() && std::fflush(stdout) == 0 && !std::ferror(stdout);
}

} // namespace

bool wantsMotionExport(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0)
            return false;
        if (std::strcmp(argv[i], "--export-motion") == 0
            || std::strncmp(argv[i], "--export-motion=", 16) == 0)
            return true;
    }
    return false;
}

void addMotionExportOptions(QCommandLineParser &parser)
{
    parser.addOption({ exportOption,
        QStringLiteral("Export the motion of KIND (%1) computed from --keys, without a window.")
            .arg(kindNames()),
        QStringLiteral("KIND") });
    parser.addOption({ keysOption,
        QStringLiteral("Key-position export to compute the motion from (its last export)."),
        QStringLiteral("FILE") });
    parser.addOption({ degreeOption,
        QStringLiteral("Degree of a B-spline motion, 1 to key positions - 1 (default 3)."),
        QStringLiteral("P") });
    parser.addOption(
        { densityOption, QStringLiteral("Sampling density in percent, 0 to 100 (default 100)."),
            QStringLiteral("D") });
    parser.addOption({ constantSpeedOption,
        QStringLiteral("Resample the motion to equal spacing along the hand centre's path.") });
    parser.addOption({ formatOption,
        QStringLiteral("%1 (default %2).")
            .arg(formatNames(false),
                QString::fromLatin1(motionExportFormatName(MotionExportRequest().format))),
        QStringLiteral("FORMAT") });
    parser.addOption({ cameraInBaseOption,
        QStringLiteral("For %1: the camera's pose in the robot's base frame, "
                       "p[x,y,z,rx,ry,rz] in metres and radians (default identity).")
            .arg(formatNames(true)),
        QStringLiteral("POSE") });
    addDurationAndOutputOptions(parser);
}

void addDurationAndOutputOptions(QCommandLineParser &parser)
{
    parser.addOption({ durationOption,
        QStringLiteral("--export-motion: total time of the motion in seconds (default 1 s per "
                       "key segment). --capture: seconds of frames to capture (default all of a "
                       "recording; a live source until interrupted)."),
        QStringLiteral("S") });
    parser.addOption({ outputOption,
        QStringLiteral("File to write, replaced only on success (--export-motion: default "
                       "standard output)."),
        QStringLiteral("OUT") });
}

bool readDuration(
    const QCommandLineParser &parser, double *seconds, QString *complaint, double maxSeconds)
{
    if (!parser.isSet(durationOption))
        return true;
    bool ok = false;
    const double value = parser.value(durationOption).trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value) || value <= 0.0 || value > maxSeconds) {
        *complaint = QStringLiteral("--duration \"%1\" is not a number of seconds above 0")
                         .arg(parser.value(durationOption));
        return false;
    }
    *seconds = value;
    return true;
}

QString outputFile(const QCommandLineParser &parser) { return parser.value(outputOption); }

int runMotionExport(const QCommandLineParser &parser)
{
    MotionExportRequest request;
    const QString kindName = parser.value(exportOption);
    if (!motionKindFromName(kindName.toStdString(), &request.kind))
        return complainOnce(
            QStringLiteral("unknown motion kind \"%1\" (%2)").arg(kindName, kindNames()),
            MotionExportBadArguments);
    if (!parser.isSet(keysOption) || parser.value(keysOption).isEmpty())
        return complainOnce(
            QStringLiteral("--keys FILE is missing: the key positions to compute the "
                           "motion from"),
            MotionExportBadArguments);
    if (!readInt(parser, degreeOption, &request.degree))
        return complainOnce(
            QStringLiteral("--degree \"%1\" is not a whole number").arg(parser.value(degreeOption)),
            MotionExportBadArguments);
    if (!readInt(parser, densityOption, &request.density) || request.density < 0
        || request.density > 100)
        return complainOnce(QStringLiteral("--density \"%1\" is not a whole number from 0 to 100")
                                .arg(parser.value(densityOption)),
            MotionExportBadArguments);
    QString complaint;
    if (!readDuration(parser, &request.durationSeconds, &complaint))
        return complainOnce(complaint, MotionExportBadArguments);
    if (parser.isSet(formatOption)
        && !motionExportFormatFromName(parser.value(formatOption).toStdString(), &request.format))
        return complainOnce(QStringLiteral("unknown format \"%1\" (%2)")
                                .arg(parser.value(formatOption), formatNames(false)),
            MotionExportBadArguments);
    if (parser.isSet(cameraInBaseOption)) {
        if (!motionExportFormatInfo(request.format).takesCameraInBase)
            return complainOnce(QStringLiteral("--camera-in-base applies to --format %1 only")
                                    .arg(formatNames(true)),
                MotionExportBadArguments);
        if (!parseRobotPose(parser.value(cameraInBaseOption).toStdString(), &request.cameraInBase))
            return complainOnce(QStringLiteral("--camera-in-base \"%1\" is not p[x,y,z,rx,ry,rz]")
                                    .arg(parser.value(cameraInBaseOption)),
                MotionExportBadArguments);
        request.hasCameraInBase = true;
    }
    request.constantSpeed = parser.isSet(constantSpeedOption);

    const QString keysFile = parser.value(keysOption);
    const KeyPositionImport keys = readKeyPositionFile(keysFile);
    if (!keys.ok())
        return complainOnce(keys.error, MotionExportBadKeyFile);
    if (keys.positions.empty())
        return complainOnce(
            QStringLiteral("%1: its last export holds no key positions").arg(keysFile),
            MotionExportBadKeyFile);

    std::string text;
    std::string error;
    if (!motionExportText(request, keys.positions, &text, &error))
        return complainOnce(QStringLiteral("%1: %2").arg(keysFile, QString::fromStdString(error)),
            MotionExportNoMotion);

    const QString output = parser.value(outputOption);
    if (output.isEmpty() || output == QLatin1String("-")) {
        if (!writeStandardOutput(text))
            return complainOnce(QStringLiteral("standard output: the write did not complete"),
                MotionExportWriteFailed);
        return MotionExportSucceeded;
    }
    QString reason;
    if (!replaceFileAtomically(output, QByteArray::fromStdString(text), &reason))
        return complainOnce(QStringLiteral("%1: cannot be written: %2").arg(output, reason),
            MotionExportWriteFailed);
    return MotionExportSucceeded;
}

int runMotionExportCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    addMotionExportOptions(parser);
    if (!parser.parse(arguments))
        return complainOnce(parser.errorText(), MotionExportBadArguments);
    if (!parser.positionalArguments().isEmpty())
        return complainOnce(QStringLiteral("unexpected argument \"%1\"")
                                .arg(parser.positionalArguments().constFirst()),
            MotionExportBadArguments);
    return runMotionExport(parser);
}
