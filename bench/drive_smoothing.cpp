// Joint smoothing on real hand tracks (figure 10): for every recording of
// ../shared/recordings/kinect-csv (or the directory HANDMOTION_RECORDINGS
// names) and for one cycle of the demo operator, the hand centre's jitter in
// the stillest second and the lag of the smoothed path, without and with the
// smoother's parameters, and the key positions capture stores from the raw
// and the smoothed joints.
//
// - Jitter of a frame: the distance of the hand centre from the midpoint of
//   its positions in the frames before and after. A still hand's path is
//   nearly straight over three frames, so this is what the tracker adds.
//   The table gives its RMS over the stillest second: the second of frames
//   (by timestamp, at least 27 frames, so no dropped frames inside) whose
//   raw hand centres lie closest to their mean (least RMS distance).
// - Lag: the time shift that best aligns the smoothed path to the raw one
//   by least squares, over the frames where the raw hand moves faster than
//   0.2 m/s: the s minimising the sum of |smoothed(t) - raw(t - s)|², raw
//   interpolated linearly between frames, s searched from 0 to 10 frames in
//   steps of a hundredth of a frame. In frames of the recording's median
//   frame interval. Without smoothing it is 0 by construction.
//
//   build/bench/bench/drive_smoothing                  the rows of figure 10
//   build/bench/bench/drive_smoothing MIN BETA DCUT    the same with other parameters
//   build/bench/bench/drive_smoothing --sweep          the grid the parameters were chosen from

#include "algebra/KeyPoseList.h"
#include "bench/support/ResultTable.h"
#include "sensor/CaptureRules.h"
#include "sensor/JointSmoother.h"
#include "sensor/sources/DemoOperator.h"
#include "sensor/sources/RecordingReader.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QVector3D>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using bench::Row;
using Kinect::JointSmoother;
using Kinect::OneEuroFilter;

namespace {

// One body per frame (the first tracked one; an untracked body where a
// frame has none) with the frame's time in seconds.
struct Track {
    std::string name;
    std::vector<double> seconds;
    std::vector<camera::Body> bodies;
};

QVector3D jointOf(const camera::Body &body, JointType type)
{
    const CameraSpacePoint &p = body.joints[std::size_t(type)].Position;
    return QVector3D(p.X, p.Y, p.Z);
}

std::vector<QVector3D> pathOf(const Track &track, JointType type)
{
    std::vector<QVector3D> path;
    for (const camera::Body &body : track.bodies)
        path.push_back(jointOf(body, type));
    return path;
}

Track smoothed(const Track &track, const OneEuroFilter::Parameters &parameters)
{
    Track out = track;
    JointSmoother smoother(parameters);
    for (std::size_t i = 0; i < out.bodies.size(); ++i)
        smoother.smooth(out.bodies[i], out.seconds[i]);
    return out;
}

double frameInterval(const Track &track)
{
    std::vector<double> steps;
    for (std::size_t i = 1; i < track.seconds.size(); ++i)
        steps.push_back(track.seconds[i] - track.seconds[i - 1]);
    return bench::median(steps);
}

// The frames [first, last) of the stillest second of path; first == last
// when no second holds enough frames.
struct Window {
    std::size_t first = 0;
    std::size_t last = 0;
};

// The RMS distance of the window's points from their mean.
double rmsSpread(const std::vector<QVector3D> &path, Window window)
{
    QVector3D mean;
    for (std::size_t i = window.first; i < window.last; ++i)
        mean += path[i];
    mean /= float(window.last - window.first);
    double sum = 0.0;
    for (std::size_t i = window.first; i < window.last; ++i)
        sum += double((path[i] - mean).lengthSquared());
    return std::sqrt(sum / double(window.last - window.first));
}

Window stillestSecond(const Track &track, const std::vector<QVector3D> &path)
{
    constexpr std::size_t minFrames = 27;
    Window best;
    double bestSpread = INFINITY;
    for (std::size_t first = 1; first + 1 < path.size(); ++first) {
        std::size_t last = first;
        // Frames with both neighbours, within one second of the first.
        while (last + 1 < path.size() && track.seconds[last] - track.seconds[first] < 1.0)
            ++last;
        if (last - first < minFrames)
            continue;
        const double spread = rmsSpread(path, { first, last });
        if (spread < bestSpread) {
            bestSpread = spread;
            best = { first, last };
        }
    }
    return best;
}

double rmsJitter(const std::vector<QVector3D> &path, Window window)
{
    double sum = 0.0;
    for (std::size_t i = window.first; i < window.last; ++i)
        sum += double((path[i] - 0.5f * (path[i - 1] + path[i + 1])).lengthSquared());
    return window.last > window.first ? std::sqrt(sum / double(window.last - window.first)) : NAN;
}

// The raw path at time t, linear between frames (clamped at the ends).
QVector3D rawAt(const Track &track, const std::vector<QVector3D> &path, double t)
{
    const auto after = std::upper_bound(track.seconds.begin(), track.seconds.end(), t);
    if (after == track.seconds.begin())
        return path.front();
    if (after == track.seconds.end())
        return path.back();
    const std::size_t i = std::size_t(after - track.seconds.begin());
    const double u = (t - track.seconds[i - 1]) / (track.seconds[i] - track.seconds[i - 1]);
    return path[i - 1] + float(u) * (path[i] - path[i - 1]);
}

struct Lag {
    double frames = NAN;
    int movingFrames = 0;
};

Lag lagOf(const Track &track, const std::vector<QVector3D> &raw,
    const std::vector<QVector3D> &smoothedPath)
{
    constexpr double movingSpeed = 0.2;
    const double interval = frameInterval(track);
    std::vector<std::size_t> moving;
    for (std::size_t i = 1; i + 1 < raw.size(); ++i) {
        const double dt = track.seconds[i + 1] - track.seconds[i - 1];
        if ((raw[i + 1] - raw[i - 1]).length() / dt > movingSpeed)
            moving.push_back(i);
    }
    Lag lag;
    lag.movingFrames = int(moving.size());
    if (moving.empty())
        return lag;
    double bestCost = INFINITY;
    for (int k = 0; k <= 1000; ++k) {
        const double shift = 0.01 * k * interval;
        double cost = 0.0;
        for (std::size_t i : moving)
            cost += (smoothedPath[i] - rawAt(track, raw, track.seconds[i] - shift)).lengthSquared();
        if (cost < bestCost) {
            bestCost = cost;
            lag.frames = 0.01 * k;
        }
    }
    return lag;
}

// What spatial key-position capture makes of the track, recording from the
// first frame on (or, for a track with hand states, as the left-hand gesture
// says): the key positions it stores and the longest run of still frames.
struct Capture {
    int keyPositions = 0;
    int longestStill = 0;
    // For the demo operator, when every held pose became a key position: the
    // largest distance of a stored one from the pose held (its hand's
    // joints without jitter), in the pose's translation and rotation.
    double worstMetres = NAN;
    double worstDegrees = NAN;
};

// The translation distance and rotation angle between two poses.
void poseDistance(const DualQuaternion &a, const DualQuaternion &b, double &metres, double &degrees)
{
    const Matrix4 ma = a.toMatrix();
    const Matrix4 mb = b.toMatrix();
    double squared = 0.0;
    double trace = 0.0;
    for (int r = 0; r < 3; ++r) {
        squared += (ma(r, 3) - mb(r, 3)) * (ma(r, 3) - mb(r, 3));
        for (int c = 0; c < 3; ++c)
            trace += ma(r, c) * mb(r, c);
    }
    metres = std::sqrt(squared);
    degrees = std::acos(std::clamp(0.5 * (trace - 1.0), -1.0, 1.0)) * 180.0 / M_PI;
}

Capture captureOf(const Track &track, bool followGesture)
{
    Kinect::stillFrameCount = 0;
    Kinect::gestureLatch = 0;
    KeyPoseList keys;
    KeyPoseList continuous;
    Kinect::CaptureRules rules(keys, continuous);
    Kinect::CaptureChoice choice;
    choice.recording = !followGesture;
    choice.keyPositions = true;
    choice.mode = PoseModeSpatial;
    Capture capture;
    for (const camera::Body &body : track.bodies) {
        if (!body.tracked)
            continue;
        const Kinect::HandJoints hand { jointOf(body, JointType_HandRight),
            jointOf(body, JointType_HandTipRight), jointOf(body, JointType_ThumbRight) };
        rules.step(choice, followGesture ? body.handLeftState : HandState_Unknown, hand);
        // A key position is stored at the 100th still frame, which sets the
        // count back to 0.
        capture.longestStill = std::max(capture.longestStill,
            Kinect::stillFrameCount == 0 && keys.size() > capture.keyPositions
                ? 100
                : Kinect::stillFrameCount);
        capture.keyPositions = keys.size();
    }
    const auto &held = camera::DemoOperator::heldPoses();
    if (followGesture && keys.size() == int(held.size())) {
        capture.worstMetres = capture.worstDegrees = 0.0;
        for (int k = 0; k < keys.size(); ++k) {
            KeyPoseList truth;
            truth.appendFromPoints(held[std::size_t(k)].handCentre, held[std::size_t(k)].handTip,
                held[std::size_t(k)].thumbTip, PoseModeSpatial);
            double metres = 0.0;
            double degrees = 0.0;
            poseDistance(keys.at(k), truth.at(0), metres, degrees);
            capture.worstMetres = std::max(capture.worstMetres, metres);
            capture.worstDegrees = std::max(capture.worstDegrees, degrees);
        }
    }
    return capture;
}

QStringList recordingFiles()
{
    QString directory = qEnvironmentVariable("HANDMOTION_RECORDINGS");
    if (directory.isEmpty())
        directory = QStringLiteral("../shared/recordings/kinect-csv");
    const QDir dir(directory);
    QStringList files;
    for (const QString &name : dir.entryList({ "*.csv" }, QDir::Files, QDir::Name))
        files << dir.filePath(name);
    return files;
}

std::vector<Track> readTracks()
{
    std::vector<Track> tracks;
    for (const QString &file : recordingFiles()) {
        const camera::Recording recording = camera::readRecording(file);
        if (!recording.error.isEmpty())
            std::fprintf(stderr, "%s\n", qPrintable(recording.error));
        Track track;
        track.name = QFileInfo(file).fileName().toStdString();
        for (const camera::Recording::Frame &frame : recording.frames) {
            track.seconds.push_back(1e-9 * double(frame.dueNanoseconds));
            track.bodies.push_back(frame.bodyCount > 0
                    ? recording.bodies[std::size_t(frame.firstBody)]
                    : camera::Body());
        }
        if (track.bodies.size() >= 3)
            tracks.push_back(std::move(track));
    }
    return tracks;
}

Track demoTrack()
{
    Track track;
    track.name = "demo operator";
    for (int i = 0; i < camera::DemoOperator::cycleFrames; ++i) {
        track.seconds.push_back(double(i) / camera::DemoOperator::framesPerSecond);
        track.bodies.push_back(camera::DemoOperator::body(i));
    }
    return track;
}

struct Figures {
    Window still;
    double stillSpread = NAN;
    double rawJitter = NAN;
    double smoothJitter = NAN;
    Lag lag;
};

Figures figuresOf(const Track &track, const OneEuroFilter::Parameters &parameters)
{
    const std::vector<QVector3D> raw = pathOf(track, JointType_HandRight);
    const std::vector<QVector3D> smooth = pathOf(smoothed(track, parameters), JointType_HandRight);
    const Window still = stillestSecond(track, raw);
    Figures figures;
    figures.still = still;
    if (still.last > still.first)
        figures.stillSpread = rmsSpread(raw, still);
    figures.rawJitter = rmsJitter(raw, still);
    figures.smoothJitter = rmsJitter(smooth, still);
    figures.lag = lagOf(track, raw, smooth);
    return figures;
}

std::string millimetres(double metres) { return bench::formatNumber(1e3 * metres, 2) + " mm"; }

void printRows(const std::vector<Track> &tracks, const OneEuroFilter::Parameters &parameters)
{
    char what[160];
    std::snprintf(what, sizeof what,
        "min cutoff %g Hz, beta %g Hz per m/s, derivative cutoff %g Hz", parameters.minCutoff,
        parameters.beta, parameters.derivativeCutoff);
    bench::printRow(Row { "10", "Smoothing: the One Euro filter's parameters", what, "", "" });
    for (const Track &track : tracks) {
        const Figures f = figuresOf(track, parameters);
        const bool restingHand = track.name == "KinectReader_joints.csv";
        bench::printRow(Row { "10",
            "Smoothing, " + track.name
                + ": hand centre jitter in the stillest second, raw → smoothed",
            millimetres(f.rawJitter) + " → " + millimetres(f.smoothJitter),
            "frames " + std::to_string(f.still.first) + "–" + std::to_string(f.still.last - 1)
                + ", raw hand within " + millimetres(f.stillSpread) + " RMS of its mean",
            bench::formatNumber(f.rawJitter / f.smoothJitter, 1) + "× lower"
                + (restingHand ? " (target ≥ 3×)" : " (target: lower)") });
        bench::printRow(Row { "10",
            "Smoothing, " + track.name + ": lag of the smoothed hand centre, raw → smoothed",
            f.lag.movingFrames > 0 ? "0 → " + bench::formatNumber(f.lag.frames, 2) + " frames"
                                   : "no motion",
            std::to_string(f.lag.movingFrames) + " frames faster than 0.2 m/s",
            "target ≤ 2 frames" });
        const bool gesture = track.name == "demo operator";
        const Capture raw = captureOf(track, gesture);
        const Capture smooth = captureOf(smoothed(track, parameters), gesture);
        bench::printRow(Row { "10",
            "Smoothing, " + track.name
                + ": key positions stored by spatial capture, raw → smoothed",
            std::to_string(raw.keyPositions) + " → " + std::to_string(smooth.keyPositions),
            "longest run of still frames " + std::to_string(raw.longestStill) + " → "
                + std::to_string(smooth.longestStill),
            std::isnan(raw.worstMetres) || std::isnan(smooth.worstMetres)
                ? ""
                : "farthest from the pose held: " + millimetres(raw.worstMetres) + ", "
                    + bench::formatNumber(raw.worstDegrees, 2) + "° → "
                    + millimetres(smooth.worstMetres) + ", "
                    + bench::formatNumber(smooth.worstDegrees, 2) + "°" });
    }
}

void sweep(const std::vector<Track> &tracks)
{
    std::printf("minCutoff beta dCutoff | worst jitter ratio (still-hand recording) | worst lag");
    for (const Track &track : tracks)
        std::printf(" | %s", track.name.c_str());
    std::printf("\n");
    for (double minCutoff : { 0.3, 0.5, 0.7, 1.0, 1.5, 2.0 }) {
        for (double beta : { 0.0, 1.0, 2.0, 4.0, 8.0, 16.0, 32.0, 64.0 }) {
            for (double dCutoff : { 0.5, 1.0, 2.0 }) {
                const OneEuroFilter::Parameters parameters { minCutoff, beta, dCutoff };
                double worstRatio = INFINITY;
                double stillRatio = NAN;
                double worstLag = 0.0;
                std::string cells;
                for (const Track &track : tracks) {
                    const Figures f = figuresOf(track, parameters);
                    const double ratio = f.rawJitter / f.smoothJitter;
                    worstRatio = std::min(worstRatio, ratio);
                    if (track.name == "KinectReader_joints.csv")
                        stillRatio = ratio;
                    if (f.lag.movingFrames > 0)
                        worstLag = std::max(worstLag, f.lag.frames);
                    char cell[64];
                    std::snprintf(cell, sizeof cell, " | %.1fx %.2ff", ratio, f.lag.frames);
                    cells += cell;
                }
                std::printf("%g %g %g | %.2fx (%.2fx) | %.2f%s\n", minCutoff, beta, dCutoff,
                    worstRatio, stillRatio, worstLag, cells.c_str());
            }
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    std::vector<Track> tracks = readTracks();
    if (tracks.empty())
        bench::printRow(Row { "10", "Smoothing: recordings", "skipped",
            "no recordings (../shared/recordings/kinect-csv)", "" });
    const bool sweeping = argc == 2 && std::string(argv[1]) == "--sweep";
    OneEuroFilter::Parameters parameters = JointSmoother::defaultParameters();
    if (argc == 4) {
        parameters.minCutoff = std::atof(argv[1]);
        parameters.beta = std::atof(argv[2]);
        parameters.derivativeCutoff = std::atof(argv[3]);
    } else if (argc != 1 && !sweeping) {
        std::fprintf(
            stderr, "usage: drive_smoothing [--sweep | MIN_CUTOFF BETA DERIVATIVE_CUTOFF]\n");
        return 2;
    }
    tracks.push_back(demoTrack());
    if (sweeping)
        sweep(tracks);
    else
        printRows(tracks, parameters);
    return 0;
}
