// The hand pose fit against the rendered hand videos' truth: for each video,
// the landmarks a hand-landmark model found in its frames (one JSON line per
// frame, as the webcam source's page reports them) go through
// camera::HandBodyBuilder, and the right hand's pose (frameFromPoints of its
// three joints, spatial) is compared with the truth:
//   - rotation relative to the first frame (median, 90th percentile), and
//     its part about the camera's axis (the turn in the picture),
//   - the hand centre's position (the mean of the wrist and the four
//     knuckles of the truth's points),
// for the fit and for the model's own 3D points (their orientation against
// the same typical hand, placed by the same translation solve).
//
//   drive_handfit [LANDMARK_DIR [VIDEO_DIR]] [--set NAME=VALUE]...
//
// LANDMARK_DIR holds NAME.jsonl for the videos (default
// /tmp/handmotion-landmarks/full); VIDEO_DIR the videos' truth/ (default
// ../shared/hand-videos from the repository). A video without landmarks
// gives a "skipped" row. --set changes one of handfit::FitSettings's
// numbers (pixelSigma, robustLimit, turnRate, minimumTurn, worldSpread,
// seedTurn, straightFull, straightNone, holdBelow, or weightN for
// landmark N), for studies.
#include "algebra/Pose.h"
#include "bench/support/ResultTable.h"
#include "sensor/sources/HandBodyBuilder.h"

#include <QByteArray>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <cmath>
#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

using namespace camera;
using handfit::Mat3;
using handfit::Vec3;
using handfit::operator+;
using handfit::operator-;
using handfit::operator*;

namespace {

constexpr double degrees = 180.0 / 3.14159265358979323846;

struct Truth {
    Mat3 rotation; // the wrist frame in the picture's camera axes
    Vec3 centre;
};

std::vector<QJsonObject> readLines(const QString &path, bool *ok)
{
    std::vector<QJsonObject> lines;
    QFile file(path);
    *ok = file.open(QIODevice::ReadOnly);
    if (!*ok)
        return lines;
    int number = 0;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        ++number;
        if (line.isEmpty())
            continue;
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(line, &error);
        if (!document.isObject()) {
            std::fprintf(
                stderr, "%s:%d: %s\n", qPrintable(path), number, qPrintable(error.errorString()));
            continue;
        }
        lines.push_back(document.object());
    }
    return lines;
}

Vec3 vec3(const QJsonValue &value)
{
    const QJsonArray a = value.toArray();
    return { a.at(0).toDouble(NAN), a.at(1).toDouble(NAN), a.at(2).toDouble(NAN) };
}

std::map<int, Truth> readTruth(const QString &path, bool *ok)
{
    std::map<int, Truth> truth;
    for (const QJsonObject &line : readLines(path, ok)) {
        if (line.value("type").toString() != "truth")
            continue;
        Truth t;
        const QJsonArray rows = line.value("R_rows").toArray();
        for (int r = 0; r < 3; ++r)
            t.rotation[std::size_t(r)] = vec3(rows.at(r));
        const QJsonArray points = line.value("mp21").toArray();
        t.centre = { 0.0, 0.0, 0.0 };
        for (int i : { 0, 5, 9, 13, 17 })
            t.centre = t.centre + 0.2 * vec3(points.at(i));
        truth[line.value("i").toInt()] = t;
    }
    return truth;
}

LandmarkFrame landmarkFrame(const QJsonObject &line)
{
    LandmarkFrame frame;
    frame.timeMicroseconds = std::int64_t(line.value("t_us").toDouble());
    frame.width = line.value("w").toInt();
    frame.height = line.value("h").toInt();
    frame.mirrored = line.value("mirrored").toBool();
    for (const QJsonValue &value : line.value("hands").toArray()) {
        const QJsonObject object = value.toObject();
        LandmarkHand hand;
        hand.labelledRight = object.value("label").toString() == "Right";
        hand.score = object.value("score").toDouble();
        const QJsonArray image = object.value("image").toArray();
        const QJsonArray world = object.value("world").toArray();
        for (int i = 0; i < 21; ++i) {
            const QJsonArray p = image.at(i).toArray();
            hand.image[std::size_t(i)] = { p.at(0).toDouble(NAN), p.at(1).toDouble(NAN) };
            hand.world[std::size_t(i)] = vec3(world.at(i));
        }
        frame.hands.push_back(hand);
    }
    return frame;
}

// The picture's camera axes from the tracker's (and back: the same flip).
Vec3 pictureAxes(const CameraSpacePoint &p) { return { -double(p.X), -double(p.Y), double(p.Z) }; }

// The pose frameFromPoints makes of the right hand's joints, in the
// picture's camera axes.
std::optional<std::pair<Mat3, Vec3>> handPose(const Body &body)
{
    const Joint &centre = body.joints[JointType_HandRight];
    if (!body.tracked || centre.TrackingState != TrackingState_Tracked)
        return std::nullopt;
    auto q = [&](JointType j) {
        const CameraSpacePoint &p = body.joints[std::size_t(j)].Position;
        return QVector3D(p.X, p.Y, p.Z);
    };
    const Matrix4 m = frameFromPoints(q(JointType_HandRight), q(JointType_HandTipRight),
        q(JointType_ThumbRight), PoseModeSpatial);
    Mat3 r;
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            r[std::size_t(i)][std::size_t(j)] = m(i, j);
    // S r with S = diag(-1, -1, 1) takes the hand's axes from the tracker's
    // camera axes to the picture's.
    const double s[3] = { -1.0, -1.0, 1.0 };
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            r[std::size_t(i)][std::size_t(j)] *= s[i];
    return std::make_pair(r, pictureAxes(centre.Position));
}

// The angle of a rotation's turn about the camera's axis (z), by the
// swing-twist split of its quaternion, in radians.
double twistAboutZ(const Mat3 &r)
{
    const double w = std::sqrt(std::max(0.0, 1.0 + r[0][0] + r[1][1] + r[2][2])) / 2.0;
    const double z = (r[1][0] - r[0][1]) / 4.0 / std::max(w, 1e-9);
    return 2.0 * std::atan2(z, w);
}

double wrapped(double a)
{
    while (a > M_PI)
        a -= 2.0 * M_PI;
    while (a < -M_PI)
        a += 2.0 * M_PI;
    return a;
}

struct Errors {
    std::vector<double> rotation, inPlane, position;
    int frames = 0, found = 0;
};

struct Estimate {
    Mat3 rotation;
    Vec3 centre;
};

bool trace = false;

void accumulate(
    Errors &errors, const std::map<int, Estimate> &estimates, const std::map<int, Truth> &truth)
{
    if (estimates.empty())
        return;
    const Estimate &first = estimates.begin()->second;
    const Truth &firstTruth = truth.at(estimates.begin()->first);
    for (const auto &[i, e] : estimates) {
        const Truth &t = truth.at(i);
        const Mat3 moved = e.rotation * handfit::transposed(first.rotation);
        const Mat3 truthMoved = t.rotation * handfit::transposed(firstTruth.rotation);
        errors.rotation.push_back(
            handfit::rotationAngle(handfit::transposed(truthMoved) * moved) * degrees);
        errors.inPlane.push_back(
            std::abs(wrapped(twistAboutZ(moved) - twistAboutZ(truthMoved))) * degrees);
        errors.position.push_back(handfit::norm(e.centre - t.centre) * 100.0);
        if (trace) {
            const Vec3 a = handfit::rotationVector(moved), b = handfit::rotationVector(truthMoved);
            std::fprintf(stderr,
                "%4d turn %5.1f %5.1f %5.1f / %5.1f %5.1f %5.1f  err %5.1f  centre %6.3f %6.3f "
                "%6.3f / %6.3f %6.3f %6.3f\n",
                i, a[0] * degrees, a[1] * degrees, a[2] * degrees, b[0] * degrees, b[1] * degrees,
                b[2] * degrees, errors.rotation.back(), e.centre[0], e.centre[1], e.centre[2],
                t.centre[0], t.centre[1], t.centre[2]);
        }
    }
}

std::string figures(const std::vector<double> &values, int decimals, const char *unit)
{
    return bench::formatNumber(bench::median(values), decimals) + " / "
        + bench::formatNumber(bench::percentile(values, 90.0), decimals) + unit;
}

// The two held stretches of holds.mjpeg (frames 30-149 and 330-449, after
// the hand has settled), each as its mean pose: their relative turn and
// shift against the truth's, as two key positions would show them.
void printHeldPoses(const std::map<int, Estimate> &fitted, const std::map<int, Estimate> &own,
    const std::map<int, Truth> &truth)
{
    auto relative = [&](const std::map<int, Estimate> &estimates, double *turn, double *shift) {
        Vec3 centres[2] = { { 0, 0, 0 }, { 0, 0, 0 } };
        Vec3 truthCentres[2] = { { 0, 0, 0 }, { 0, 0, 0 } };
        Mat3 rotations[2], truthRotations[2];
        for (int h = 0; h < 2; ++h) {
            const int from = h == 0 ? 30 : 330, to = h == 0 ? 150 : 450;
            std::vector<Vec3> vectors;
            int n = 0;
            Vec3 sum { 0, 0, 0 };
            const Mat3 reference = estimates.count(from) ? estimates.at(from).rotation : Mat3 {};
            for (int i = from; i < to; ++i) {
                if (!estimates.count(i))
                    continue;
                const Estimate &e = estimates.at(i);
                centres[h] = centres[h] + e.centre;
                truthCentres[h] = truthCentres[h] + truth.at(i).centre;
                sum = sum + handfit::rotationVector(e.rotation * handfit::transposed(reference));
                ++n;
            }
            centres[h] = (1.0 / n) * centres[h];
            truthCentres[h] = (1.0 / n) * truthCentres[h];
            rotations[h] = handfit::rotationFromVector((1.0 / n) * sum) * reference;
            truthRotations[h] = truth.at(from).rotation;
        }
        const Mat3 moved = rotations[1] * handfit::transposed(rotations[0]);
        const Mat3 truthMoved = truthRotations[1] * handfit::transposed(truthRotations[0]);
        *turn = handfit::rotationAngle(handfit::transposed(truthMoved) * moved) * degrees;
        *shift = handfit::norm((centres[1] - centres[0]) - (truthCentres[1] - truthCentres[0]))
            * 100.0;
    };
    double turn, shift, ownTurn, ownShift;
    relative(fitted, &turn, &shift);
    relative(own, &ownTurn, &ownShift);
    bench::printRow({ "12",
        "holds.mjpeg: the two held poses' relative turn, shift against the truth, fit (model's "
        "own)",
        bench::formatNumber(turn, 1) + "°, " + bench::formatNumber(shift, 1) + " cm",
        "(" + bench::formatNumber(ownTurn, 1) + "°, " + bench::formatNumber(ownShift, 1) + " cm)",
        "" });
}

} // namespace

int main(int argc, char **argv)
{
    QString landmarkDir = "/tmp/handmotion-landmarks/full";
    QString videoDir = QString(HANDMOTION_SOURCE_DIR) + "/../shared/hand-videos";
    handfit::FitSettings settings;
    int positional = 0;
    for (int a = 1; a < argc; ++a) {
        const QString arg = argv[a];
        if (arg == "--set" && a + 1 < argc) {
            const QString setting = argv[++a];
            const QString name = setting.section('=', 0, 0);
            bool ok = false;
            const double value = setting.section('=', 1).toDouble(&ok);
            std::map<QString, double *> numbers { { "pixelSigma", &settings.pixelSigma },
                { "robustLimit", &settings.robustLimit }, { "turnRate", &settings.turnRate },
                { "minimumTurn", &settings.minimumTurn }, { "worldSpread", &settings.worldSpread },
                { "seedTurn", &settings.seedTurn }, { "straightFull", &settings.straightFull },
                { "straightNone", &settings.straightNone }, { "holdBelow", &settings.holdBelow } };
            for (std::size_t i = 0; i < handfit::landmarkCount; ++i)
                numbers[QString("weight%1").arg(i)] = &settings.weights[i];
            if (!ok || !numbers.count(name)) {
                std::fprintf(stderr, "drive_handfit: no setting %s\n", qPrintable(setting));
                return 2;
            }
            *numbers[name] = value;
        } else if (positional == 0) {
            landmarkDir = arg;
            ++positional;
        } else {
            videoDir = arg;
            ++positional;
        }
    }

    int status = 0;
    {
        // The left hand's state over left-fist.mjpeg: the fist must start
        // a recording once and the open hand stop it once.
        bool ok = false;
        const std::vector<QJsonObject> lines = readLines(landmarkDir + "/left-fist.jsonl", &ok);
        if (ok) {
            HandBodyBuilder builder(60.0, settings);
            int closings = 0, openings = 0, closedFrames = 0;
            HandState previous = HandState_Unknown;
            for (const QJsonObject &line : lines) {
                const HandState state = builder.bodyFrom(landmarkFrame(line)).handLeftState;
                closings += state == HandState_Closed && previous == HandState_Open;
                openings += state == HandState_Open && previous == HandState_Closed;
                closedFrames += state == HandState_Closed;
                if (state == HandState_Open || state == HandState_Closed)
                    previous = state;
            }
            bench::printRow({ "12", "left-fist.mjpeg: the left hand closes, opens",
                std::to_string(closings) + ", " + std::to_string(openings) + " times",
                std::to_string(closedFrames) + " frames closed", "" });
        }
    }
    for (const char *video : { "move", "yaw", "pitch", "holds", "still", "fist" }) {
        bool ok = false;
        const std::map<int, Truth> truth = readTruth(videoDir + "/truth/" + video + ".jsonl", &ok);
        const std::string name = std::string(video) + ".mjpeg";
        if (!ok || truth.empty()) {
            bench::printRow(
                { "12", name, "skipped", "no truth in " + videoDir.toStdString(), "" });
            continue;
        }
        const std::vector<QJsonObject> lines = readLines(landmarkDir + "/" + video + ".jsonl", &ok);
        if (!ok) {
            bench::printRow({ "12", name, "skipped",
                "no landmarks in " + landmarkDir.toStdString(), "" });
            continue;
        }
        HandBodyBuilder builder(60.0, settings);
        std::map<int, Estimate> fitted, own;
        const handfit::Pinhole pinhole = handfit::pinholeFromFieldOfView(640, 480, 60.0);
        for (const QJsonObject &line : lines) {
            const int i = line.value("i").toInt(-1);
            if (!truth.count(i))
                continue;
            const LandmarkFrame frame = landmarkFrame(line);
            const Body body = builder.bodyFrom(frame);
            if (const auto pose = handPose(body))
                fitted[i] = { pose->first, pose->second };
            const HandBodyBuilder::HandChoice choice = builder.lastChoice();
            if (choice.right < 0)
                continue;
            const LandmarkHand &hand = frame.hands[std::size_t(choice.right)];
            std::array<Vec3, 21> world;
            std::array<handfit::Pixel, 21> pixels;
            for (std::size_t k = 0; k < 21; ++k) {
                world[k] = { hand.world[k][0], hand.world[k][1], hand.world[k][2] };
                pixels[k] = hand.image[k];
            }
            const Vec3 t
                = handfit::solveTranslation(world.data(), pixels.data(), nullptr, 21, pinhole);
            const Vec3 centre = 0.2 * (world[0] + world[5] + world[9] + world[13] + world[17]) + t;
            own[i] = { handfit::bestRotation(handfit::typicalRightHand().data(), world.data(),
                           settings.weights.data(), 21),
                centre };
        }
        Errors fit, model;
        trace = qEnvironmentVariable("HANDFIT_TRACE") == video;
        accumulate(fit, fitted, truth);
        trace = false;
        accumulate(model, own, truth);
        const std::string found
            = std::to_string(fitted.size()) + " of " + std::to_string(truth.size()) + " frames";
        bench::printRow({ "12", name + ": rotation from the first frame, fit (model's own)",
            figures(fit.rotation, 1, "°"), "(" + figures(model.rotation, 1, "°") + ")", found });
        bench::printRow({ "12", name + ": turn in the picture, fit (model's own)",
            figures(fit.inPlane, 1, "°"), "(" + figures(model.inPlane, 1, "°") + ")", "" });
        bench::printRow({ "12", name + ": hand centre, fit (model's own)",
            figures(fit.position, 1, " cm"), "(" + figures(model.position, 1, " cm") + ")", "" });
        if (fitted.empty())
            status = 1;
        if (std::string(video) == "holds")
            printHeldPoses(fitted, own, truth);
    }
    return status;
}
