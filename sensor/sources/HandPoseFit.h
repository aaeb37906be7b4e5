#pragma once

#include <array>
#include <cstddef>

// The geometry of a hand seen by a pinhole camera: the translation that
// places known points on their pixels, and a perspective fit of a hand
// template's pose to the 21 landmarks of one picture. Camera axes as the
// picture's: x right, y down, z forward, metres; pixels x right, y down.
namespace camera::handfit {

constexpr std::size_t landmarkCount = 21;

using Vec3 = std::array<double, 3>;
// Row-major: m[row][column].
using Mat3 = std::array<Vec3, 3>;
using Pixel = std::array<double, 2>;

// A pinhole camera without distortion: focal length and principal point in
// pixels.
struct Pinhole {
    double focal = 0.0;
    double cx = 0.0;
    double cy = 0.0;
};

// The camera of a width x height picture whose horizontal field of view is
// hfovDegrees, its principal point at the picture's centre.
Pinhole pinholeFromFieldOfView(int width, int height, double hfovDegrees);

// A rigid motion: a point p of the moved frame is rotation · p + translation.
struct RigidPose {
    Mat3 rotation { { { 1.0, 0.0, 0.0 }, { 0.0, 1.0, 0.0 }, { 0.0, 0.0, 1.0 } } };
    Vec3 translation { 0.0, 0.0, 0.0 };
};

Vec3 operator+(const Vec3 &a, const Vec3 &b);
Vec3 operator-(const Vec3 &a, const Vec3 &b);
Vec3 operator*(double s, const Vec3 &a);
Vec3 operator*(const Mat3 &m, const Vec3 &a);
Mat3 operator*(const Mat3 &a, const Mat3 &b);
Mat3 transposed(const Mat3 &m);
double dot(const Vec3 &a, const Vec3 &b);
Vec3 cross(const Vec3 &a, const Vec3 &b);
double norm(const Vec3 &a);
// The rotation by the vector's length (radians) about its direction.
Mat3 rotationFromVector(const Vec3 &v);
// The rotation vector (axis times angle, radians) of a rotation matrix.
Vec3 rotationVector(const Mat3 &r);
// The angle of a rotation matrix, in radians (0 to pi).
double rotationAngle(const Mat3 &r);

// The translation t for which the points p (already turned into camera
// axes, relative to t) best lie on their pixels in the least-squares sense
// of f (p.x + t.x) = (u - cx)(p.z + t.z), f (p.y + t.y) = (v - cy)(p.z + t.z),
// each point's two equations weighted by weights[i] (null: all 1). NaN when
// the points do not determine it (fewer than two, or all on one ray).
Vec3 solveTranslation(const Vec3 *points, const Pixel *pixels, const double *weights,
    std::size_t count, const Pinhole &camera);

// The rotation r that best turns the points from (about their weighted
// centroid) onto the points to (about theirs): least squares, proper
// rotations only.
Mat3 bestRotation(const Vec3 *from, const Vec3 *to, const double *weights, std::size_t count);

// A typical adult right hand in its own frame, metres: origin the palm's
// centre (the mean of the wrist and the four knuckles), y from the wrist
// toward the middle finger's knuckle, x across the palm toward the index
// finger's knuckle, z = x × y out of the palm. Fingers straight and spread
// a little, the thumb out in front of the palm; the wrist and the knuckles
// where hand-landmark models mark them (see the definition).
const std::array<Vec3, landmarkCount> &typicalRightHand();

// The open-hand ratio: the four fingertips' mean distance from the wrist
// over the four knuckles' (points in any one frame and scale). About 1.8
// for an open hand, 0.7 for a fist; NaN for degenerate points.
double opennessRatio(const std::array<Vec3, landmarkCount> &points);

// How the fit weighs the evidence.
struct FitSettings {
    // Each landmark's weight in the reprojection error. The palm's points
    // keep their places on a hand that bends its fingers; the fingers' do
    // not, but they show turns out of the picture best (their length
    // foreshortens).
    std::array<double, landmarkCount> weights {
        1.0, // wrist
        0.5, 0.5, 0.3, 0.3, // thumb
        1.0, 0.6, 0.5, 0.5, // index
        1.0, 0.6, 0.5, 0.5, // middle
        1.0, 0.6, 0.5, 0.5, // ring
        1.0, 0.6, 0.5, 0.5, // little
    };
    // How far a landmark is typically from where the template puts it, in
    // pixels: the unit of the reprojection error.
    double pixelSigma = 10.0;
    // Residuals beyond this many pixelSigma count linearly (Huber), so a
    // landmark the model misplaced does not turn the hand.
    double robustLimit = 2.0;
    // How fast a hand typically turns, radians per second: the spread of
    // the prior that ties each picture's orientation to the previous one.
    // Zero fits each picture on its own.
    double turnRate = 3.0;
    // The least spread of that prior, radians, however close two pictures
    // are in time.
    double minimumTurn = 0.02;
    // The spread, radians, of a prior toward the orientation of the model's
    // own 3D points. Zero leaves it out.
    double worldSpread = 0.0;
    // Turns out of the picture, radians, by which the starting points of
    // the search differ from the model's own 3D points.
    double seedTurn = 0.6;
    // A finger's points count fully while its straightness is at least
    // straightFull, not at all at straightNone or less, linearly between.
    double straightFull = 0.92;
    double straightNone = 0.80;
    // Below this mean straightness the hand is closing: the orientation is
    // kept.
    double holdBelow = 0.85;
};

// How straight each finger (index to little) is: its knuckle-to-tip
// distance over the length of its three segments, 1 for a straight finger,
// about 0.3 to 0.6 in a fist. NaN for degenerate points.
std::array<double, 4> fingerStraightness(const std::array<Vec3, landmarkCount> &points);

// Fits the pose of a hand template to the landmarks of one picture after
// another: a perspective fit (Levenberg-Marquardt on the weighted, robust
// reprojection error) started from the orientation of the model's own 3D
// points, from turns of it out of the picture and from the previous
// picture's answer, keeping the best. The previous answer also enters as a
// prior, so that noise in the landmarks does not make the hand jitter or
// flip between the two poses a flat hand can take.
class HandPoseFit {
public:
    explicit HandPoseFit(const FitSettings &settings = FitSettings(),
        const std::array<Vec3, landmarkCount> &handTemplate = typicalRightHand());

    // Forgets the previous picture.
    void reset();

    // The pose that takes the template's points (camera axes) onto the
    // picture's landmarks: pixels (unmirrored), world the model's own 3D
    // points in camera axes, secondsSincePrevious the time since the
    // previous fit (ignored for the first). While holdOrientation or while
    // the fingers bend (a closing fist moves the knuckles' landmarks), the
    // previous orientation is kept and only the position is solved, from
    // the palm. Invalid input (non-finite numbers, a template behind the
    // camera) gives a pose with NaN and leaves the previous answer as it
    // was.
    RigidPose fit(const std::array<Pixel, landmarkCount> &pixels,
        const std::array<Vec3, landmarkCount> &world, const Pinhole &camera,
        double secondsSincePrevious, bool holdOrientation);

    bool hasPrevious() const { return m_hasPrevious; }
    // The template, in the hand's own frame (origin the palm's centre).
    const std::array<Vec3, landmarkCount> &handTemplate() const { return m_template; }

private:
    FitSettings m_settings;
    std::array<Vec3, landmarkCount> m_template;
    bool m_hasPrevious = false;
    RigidPose m_previous;
};

} // namespace camera::handfit
