#include "sensor/sources/HandPoseFit.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace camera::handfit {

namespace {

    constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
    constexpr double pi = 3.14159265358979323846;

    Mat3 skew(const Vec3 &a)
    {
        return Mat3 { { { 0.0, -a[2], a[1] }, { a[2], 0.0, -a[0] }, { -a[1], a[0], 0.0 } } };
    }

} // namespace

// Through the unit quaternion, which stays accurate near 0 and 180 degrees.
Vec3 rotationVector(const Mat3 &r)
{
    const double trace = r[0][0] + r[1][1] + r[2][2];
    double w, x, y, z;
    if (trace > 0.0) {
        const double s = 2.0 * std::sqrt(trace + 1.0);
        w = 0.25 * s;
        x = (r[2][1] - r[1][2]) / s;
        y = (r[0][2] - r[2][0]) / s;
        z = (r[1][0] - r[0][1]) / s;
    } else if (r[0][0] > r[1][1] && r[0][0] > r[2][2]) {
        const double s = 2.0 * std::sqrt(1.0 + r[0][0] - r[1][1] - r[2][2]);
        w = (r[2][1] - r[1][2]) / s;
        x = 0.25 * s;
        y = (r[0][1] + r[1][0]) / s;
        z = (r[0][2] + r[2][0]) / s;
    } else if (r[1][1] > r[2][2]) {
        const double s = 2.0 * std::sqrt(1.0 + r[1][1] - r[0][0] - r[2][2]);
        w = (r[0][2] - r[2][0]) / s;
        x = (r[0][1] + r[1][0]) / s;
        y = 0.25 * s;
        z = (r[1][2] + r[2][1]) / s;
    } else {
        const double s = 2.0 * std::sqrt(1.0 + r[2][2] - r[0][0] - r[1][1]);
        w = (r[1][0] - r[0][1]) / s;
        x = (r[0][2] + r[2][0]) / s;
        y = (r[1][2] + r[2][1]) / s;
        z = 0.25 * s;
    }
    if (w < 0.0) {
        w = -w;
        x = -x;
        y = -y;
        z = -z;
    }
    const double sine = std::sqrt(x * x + y * y + z * z);
    if (sine < 1e-12)
        return Vec3 { 2.0 * x, 2.0 * y, 2.0 * z };
    const double angle = 2.0 * std::atan2(sine, w);
    return Vec3 { x * angle / sine, y * angle / sine, z * angle / sine };
}

namespace {

    // Solves a x = b for a symmetric positive definite n x n (row-major)
    // by Cholesky; false when a is not positive definite.
    template <std::size_t n>
    bool solveSymmetric(
        std::array<double, n * n> a, std::array<double, n> b, std::array<double, n> &x)
    {
        for (std::size_t j = 0; j < n; ++j) {
            double d = a[j * n + j];
            for (std::size_t k = 0; k < j; ++k)
                d -= a[j * n + k] * a[j * n + k];
            if (!(d > 0.0))
                return false;
            d = std::sqrt(d);
            a[j * n + j] = d;
            for (std::size_t i = j + 1; i < n; ++i) {
                double s = a[i * n + j];
                for (std::size_t k = 0; k < j; ++k)
                    s -= a[i * n + k] * a[j * n + k];
                a[i * n + j] = s / d;
            }
        }
        for (std::size_t i = 0; i < n; ++i) {
            double s = b[i];
            for (std::size_t k = 0; k < i; ++k)
                s -= a[i * n + k] * b[k];
            b[i] = s / a[i * n + i];
        }
        for (std::size_t i = n; i-- > 0;) {
            double s = b[i];
            for (std::size_t k = i + 1; k < n; ++k)
                s -= a[k * n + i] * b[k];
            b[i] = s / a[i * n + i];
        }
        x = b;
        return true;
    }

    // The eigenvector of the largest eigenvalue of a symmetric 4 x 4 matrix
    // (cyclic Jacobi rotations).
    std::array<double, 4> largestEigenvector(std::array<std::array<double, 4>, 4> a)
    {
        std::array<std::array<double, 4>, 4> v {};
        for (int i = 0; i < 4; ++i)
            v[i][i] = 1.0;
        for (int sweep = 0; sweep < 50; ++sweep) {
            double off = 0.0;
            for (int p = 0; p < 4; ++p)
                for (int q = p + 1; q < 4; ++q)
                    off += a[p][q] * a[p][q];
            if (off < 1e-30)
                break;
            for (int p = 0; p < 4; ++p) {
                for (int q = p + 1; q < 4; ++q) {
                    if (std::abs(a[p][q]) < 1e-300)
                        continue;
                    const double theta = (a[q][q] - a[p][p]) / (2.0 * a[p][q]);
                    const double t = (theta >= 0.0 ? 1.0 : -1.0)
                        / (std::abs(theta) + std::sqrt(theta * theta + 1.0));
                    const double c = 1.0 / std::sqrt(t * t + 1.0);
                    const double s = t * c;
                    for (int k = 0; k < 4; ++k) {
                        const double akp = a[k][p], akq = a[k][q];
                        a[k][p] = c * akp - s * akq;
                        a[k][q] = s * akp + c * akq;
                    }
                    for (int k = 0; k < 4; ++k) {
                        const double apk = a[p][k], aqk = a[q][k];
                        a[p][k] = c * apk - s * aqk;
                        a[q][k] = s * apk + c * aqk;
                    }
                    for (int k = 0; k < 4; ++k) {
                        const double vkp = v[k][p], vkq = v[k][q];
                        v[k][p] = c * vkp - s * vkq;
                        v[k][q] = s * vkp + c * vkq;
                    }
                }
            }
        }
        int best = 0;
        for (int i = 1; i < 4; ++i)
            if (a[i][i] > a[best][best])
                best = i;
        return { v[0][best], v[1][best], v[2][best], v[3][best] };
    }

    bool finite(const Vec3 &v)
    {
        return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]);
    }

    RigidPose invalidPose()
    {
        RigidPose pose;
        for (auto &row : pose.rotation)
            row.fill(notANumber);
        pose.translation.fill(notANumber);
        return pose;
    }

    // A prior that ties the orientation to a reference: the residual is the
    // rotation vector from the reference, over its spread.
    struct RotationPrior {
        Mat3 reference;
        double spread;
    };

    // The weighted, robust reprojection error of one pose and the prior
    // terms, with its Gauss-Newton normal equations (rotation first, as a
    // turn of the camera-axes points about the origin, then translation).
    struct Problem {
        const std::array<Vec3, landmarkCount> &points;
        const std::array<Pixel, landmarkCount> &pixels;
        const std::array<double, landmarkCount> &weights;
        const Pinhole &camera;
        const FitSettings &settings;
        std::vector<RotationPrior> priors;

        // Infinity when a weighted point lies at or behind the camera.
        double cost(const RigidPose &pose, std::array<double, 36> *normal = nullptr,
            std::array<double, 6> *gradient = nullptr) const
        {
            if (normal) {
                normal->fill(0.0);
                gradient->fill(0.0);
            }
            const double scale = camera.focal / settings.pixelSigma;
            const double limit = settings.robustLimit;
            double total = 0.0;
            for (std::size_t i = 0; i < landmarkCount; ++i) {
                const double weight = weights[i];
                if (!(weight > 0.0))
                    continue;
                const Vec3 turned = pose.rotation * points[i];
                const Vec3 x = turned + pose.translation;
                if (!(x[2] > 1e-3))
                    return std::numeric_limits<double>::infinity();
                const double iz = 1.0 / x[2];
                const double e[2] = { (camera.focal * x[0] * iz + camera.cx - pixels[i][0])
                        / settings.pixelSigma,
                    (camera.focal * x[1] * iz + camera.cy - pixels[i][1]) / settings.pixelSigma };
                const double length = std::sqrt(e[0] * e[0] + e[1] * e[1]);
                double robust = 1.0;
                if (length <= limit) {
                    total += weight * length * length;
                } else {
                    total += weight * (2.0 * limit * length - limit * limit);
                    robust = limit / length;
                }
                if (!normal)
                    continue;
                // d e / d x, then through x = exp(w) turned + t.
                const double dx[2][3] = { { scale * iz, 0.0, -scale * x[0] * iz * iz },
                    { 0.0, scale * iz, -scale * x[1] * iz * iz } };
                const Mat3 minusSkew = skew(-1.0 * turned);
                double jacobian[2][6];
                for (int r = 0; r < 2; ++r) {
                    for (int c = 0; c < 3; ++c) {
                        jacobian[r][c] = dx[r][0] * minusSkew[0][c] + dx[r][1] * minusSkew[1][c]
                            + dx[r][2] * minusSkew[2][c];
                        jacobian[r][3 + c] = dx[r][c];
                    }
                }
                const double w = weight * robust;
                for (int r = 0; r < 2; ++r) {
                    for (int a = 0; a < 6; ++a) {
                        (*gradient)[std::size_t(a)] += w * jacobian[r][a] * e[r];
                        for (int b = 0; b < 6; ++b)
                            (*normal)[std::size_t(a * 6 + b)]
                                += w * jacobian[r][a] * jacobian[r][b];
                    }
                }
            }
            for (const RotationPrior &prior : priors) {
                const Vec3 r = rotationVector(pose.rotation * transposed(prior.reference));
                const double inverse = 1.0 / prior.spread;
                total += dot(r, r) * inverse * inverse;
                if (!normal)
                    continue;
                for (std::size_t a = 0; a < 3; ++a) {
                    (*gradient)[a] += r[a] * inverse * inverse;
                    (*normal)[a * 6 + a] += inverse * inverse;
                }
            }
            return total;
        }

        // Levenberg-Marquardt from pose; returns the final cost.
        double refine(RigidPose &pose) const
        {
            double current = cost(pose);
            if (!std::isfinite(current))
                return current;
            double damping = 1e-3;
            std::array<double, 36> normal;
            std::array<double, 6> gradient;
            for (int iteration = 0; iteration < 30; ++iteration) {
                cost(pose, &normal, &gradient);
                bool improved = false;
                while (damping < 1e8) {
                    std::array<double, 36> damped = normal;
                    for (std::size_t a = 0; a < 6; ++a)
                        damped[a * 6 + a] += damping * (normal[a * 6 + a] + 1e-9);
                    std::array<double, 6> minusGradient;
                    for (std::size_t a = 0; a < 6; ++a)
                        minusGradient[a] = -gradient[a];
                    std::array<double, 6> step;
                    if (!solveSymmetric<6>(damped, minusGradient, step)) {
                        damping *= 10.0;
                        continue;
                    }
                    RigidPose next;
                    next.rotation
                        = rotationFromVector(Vec3 { step[0], step[1], step[2] }) * pose.rotation;
                    next.translation = pose.translation + Vec3 { step[3], step[4], step[5] };
                    const double nextCost = cost(next);
                    if (nextCost < current) {
                        const double change = current - nextCost;
                        pose = next;
                        current = nextCost;
                        damping = std::max(damping * 0.3, 1e-7);
                        improved = change > 1e-9 * (1.0 + current);
                        break;
                    }
                    damping *= 4.0;
                }
                if (!improved)
                    break;
            }
            return current;
        }
    };

} // namespace

Vec3 operator+(const Vec3 &a, const Vec3 &b) { return { a[0] + b[0], a[1] + b[1], a[2] + b[2] }; }
Vec3 operator-(const Vec3 &a, const Vec3 &b) { return { a[0] - b[0], a[1] - b[1], a[2] - b[2] }; }
Vec3 operator*(double s, const Vec3 &a) { return { s * a[0], s * a[1], s * a[2] }; }

Vec3 operator*(const Mat3 &m, const Vec3 &a)
{
    return { dot(m[0], a), dot(m[1], a), dot(m[2], a) };
}

Mat3 operator*(const Mat3 &a, const Mat3 &b)
{
    Mat3 m {};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            m[r][c] = a[r][0] * b[0][c] + a[r][1] * b[1][c] + a[r][2] * b[2][c];
    return m;
}

Mat3 transposed(const Mat3 &m)
{
    Mat3 t {};
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            t[r][c] = m[c][r];
    return t;
}

double dot(const Vec3 &a, const Vec3 &b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

Vec3 cross(const Vec3 &a, const Vec3 &b)
{
    return { a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0] };
}

double norm(const Vec3 &a) { return std::sqrt(dot(a, a)); }

Mat3 rotationFromVector(const Vec3 &v)
{
    const double angle = norm(v);
    const Mat3 k = skew(v);
    const Mat3 k2 = k * k;
    // sin(a)/a and (1 - cos(a))/a², by their series near zero.
    double a, b;
    if (angle < 1e-6) {
        a = 1.0 - angle * angle / 6.0;
        b = 0.5 - angle * angle / 24.0;
    } else {
        a = std::sin(angle) / angle;
        b = (1.0 - std::cos(angle)) / (angle * angle);
    }
    Mat3 r {};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            r[i][j] = (i == j ? 1.0 : 0.0) + a * k[i][j] + b * k2[i][j];
    return r;
}

double rotationAngle(const Mat3 &r) { return norm(rotationVector(r)); }

Pinhole pinholeFromFieldOfView(int width, int height, double hfovDegrees)
{
    Pinhole camera;
    camera.focal = 0.5 * width / std::tan(0.5 * hfovDegrees * pi / 180.0);
    camera.cx = 0.5 * width;
    camera.cy = 0.5 * height;
    return camera;
}

Vec3 solveTranslation(const Vec3 *points, const Pixel *pixels, const double *weights,
    std::size_t count, const Pinhole &camera)
{
    // Normal equations of the 2 x count linear equations in t.
    std::array<double, 9> a {};
    std::array<double, 3> b {};
    const double f = camera.focal;
    for (std::size_t i = 0; i < count; ++i) {
        const double w = weights ? weights[i] : 1.0;
        if (!(w > 0.0))
            continue;
        const Vec3 &p = points[i];
        const double du = pixels[i][0] - camera.cx;
        const double dv = pixels[i][1] - camera.cy;
        const double rows[2][3] = { { f, 0.0, -du }, { 0.0, f, -dv } };
        const double rhs[2] = { du * p[2] - f * p[0], dv * p[2] - f * p[1] };
        for (int r = 0; r < 2; ++r) {
            for (std::size_t c = 0; c < 3; ++c) {
                b[c] += w * rows[r][c] * rhs[r];
                for (std::size_t d = 0; d < 3; ++d)
                    a[c * 3 + d] += w * rows[r][c] * rows[r][d];
            }
        }
    }
    // A matrix far from positive definite, relative to its size, means the
    // depth is not determined.
    const double size = a[0] + a[4] + a[8];
    std::array<double, 3> t;
    if (!(size > 0.0) || !solveSymmetric<3>(a, b, t))
        return { notANumber, notANumber, notANumber };
    const double det = a[0] * (a[4] * a[8] - a[5] * a[7]) - a[1] * (a[3] * a[8] - a[5] * a[6])
        + a[2] * (a[3] * a[7] - a[4] * a[6]);
    if (!(det > 1e-12 * size * size * size))
        return { notANumber, notANumber, notANumber };
    return { t[0], t[1], t[2] };
}

Mat3 bestRotation(const Vec3 *from, const Vec3 *to, const double *weights, std::size_t count)
{
    Vec3 fromMean { 0.0, 0.0, 0.0 }, toMean { 0.0, 0.0, 0.0 };
    double total = 0.0;
    for (std::size_t i = 0; i < count; ++i) {
        const double w = weights ? weights[i] : 1.0;
        fromMean = fromMean + w * from[i];
        toMean = toMean + w * to[i];
        total += w;
    }
    fromMean = (1.0 / total) * fromMean;
    toMean = (1.0 / total) * toMean;
    // Horn's closed form: the rotation's quaternion is the eigenvector of the
    // largest eigenvalue of a matrix built from the cross-covariance.
    double s[3][3] = {};
    for (std::size_t i = 0; i < count; ++i) {
        const double w = weights ? weights[i] : 1.0;
        const Vec3 a = from[i] - fromMean;
        const Vec3 b = to[i] - toMean;
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 3; ++c)
                s[r][c] += w * a[std::size_t(r)] * b[std::size_t(c)];
    }
    const std::array<std::array<double, 4>, 4> n { {
        { s[0][0] + s[1][1] + s[2][2], s[1][2] - s[2][1], s[2][0] - s[0][2], s[0][1] - s[1][0] },
        { s[1][2] - s[2][1], s[0][0] - s[1][1] - s[2][2], s[0][1] + s[1][0], s[2][0] + s[0][2] },
        { s[2][0] - s[0][2], s[0][1] + s[1][0], -s[0][0] + s[1][1] - s[2][2], s[1][2] + s[2][1] },
        { s[0][1] - s[1][0], s[2][0] + s[0][2], s[1][2] + s[2][1], -s[0][0] - s[1][1] + s[2][2] },
    } };
    const std::array<double, 4> q = largestEigenvector(n);
    const double w = q[0], x = q[1], y = q[2], z = q[3];
    return Mat3 { { { 1 - 2 * (y * y + z * z), 2 * (x * y - w * z), 2 * (x * z + w * y) },
        { 2 * (x * y + w * z), 1 - 2 * (x * x + z * z), 2 * (y * z - w * x) },
        { 2 * (x * z - w * y), 2 * (y * z + w * x), 1 - 2 * (x * x + y * y) } } };
}

const std::array<Vec3, landmarkCount> &typicalRightHand()
{
    static const std::array<Vec3, landmarkCount> hand = [] {
        // Measured from the wrist, in the axes above; an adult hand about
        // 18 cm from the wrist to the middle fingertip. These are the bones'
        // joints; below, the wrist and the knuckles move to where landmark
        // models put them.
        std::array<Vec3, landmarkCount> p { {
            { 0.0, 0.0, 0.0 }, // wrist
            { 0.025, 0.036, 0.020 }, // thumb
            { 0.040, 0.060, 0.035 },
            { 0.059, 0.084, 0.047 },
            { 0.070, 0.094, 0.054 },
            { 0.021, 0.089, 0.007 }, // index
            { 0.023, 0.134, 0.010 },
            { 0.024, 0.158, 0.012 },
            { 0.024, 0.170, 0.011 },
            { 0.0, 0.092, 0.0 }, // middle
            { -0.006, 0.138, 0.003 },
            { -0.009, 0.165, 0.004 },
            { -0.011, 0.177, 0.003 },
            { -0.019, 0.085, 0.002 }, // ring
            { -0.034, 0.125, 0.004 },
            { -0.044, 0.149, 0.006 },
            { -0.048, 0.161, 0.006 },
            { -0.037, 0.074, 0.007 }, // little
            { -0.054, 0.104, 0.011 },
            { -0.065, 0.121, 0.013 },
            { -0.071, 0.131, 0.013 },
        } };
        // Hand-landmark models mark the wrist at the heel of the palm and the
        // knuckles where the fingers part, about a centimetre toward the
        // fingers from the joints' centres (1.0 to 1.5 cm in pictures of a
        // hand of known pose). A template with the joints' centres fits the
        // fingers too short for the palm, which reads as a tilt.
        p[0][1] += 0.013;
        for (std::size_t knuckle : { 5, 9, 13, 17 })
            p[knuckle][1] += 0.010;
        const Vec3 centre = 0.2 * (p[0] + p[5] + p[9] + p[13] + p[17]);
        for (Vec3 &point : p)
            point = point - centre;
        return p;
    }();
    return hand;
}

double opennessRatio(const std::array<Vec3, landmarkCount> &points)
{
    double tips = 0.0, knuckles = 0.0;
    for (std::size_t finger = 0; finger < 4; ++finger) {
        const std::size_t knuckle = 5 + 4 * finger;
        tips += norm(points[knuckle + 3] - points[0]);
        knuckles += norm(points[knuckle] - points[0]);
    }
    if (!(knuckles > 0.0) || !std::isfinite(tips))
        return notANumber;
    return tips / knuckles;
}

std::array<double, 4> fingerStraightness(const std::array<Vec3, landmarkCount> &points)
{
    std::array<double, 4> straightness;
    for (std::size_t finger = 0; finger < 4; ++finger) {
        const std::size_t knuckle = 5 + 4 * finger;
        double length = 0.0;
        for (std::size_t k = knuckle; k < knuckle + 3; ++k)
            length += norm(points[k + 1] - points[k]);
        straightness[finger]
            = length > 0.0 ? norm(points[knuckle + 3] - points[knuckle]) / length : notANumber;
    }
    return straightness;
}

HandPoseFit::HandPoseFit(
    const FitSettings &settings, const std::array<Vec3, landmarkCount> &handTemplate)
    : m_settings(settings)
    , m_template(handTemplate)
{
}

void HandPoseFit::reset() { m_hasPrevious = false; }

RigidPose HandPoseFit::fit(const std::array<Pixel, landmarkCount> &pixels,
    const std::array<Vec3, landmarkCount> &world, const Pinhole &camera,
    double secondsSincePrevious, bool holdOrientation)
{
    for (std::size_t i = 0; i < landmarkCount; ++i)
        if (!std::isfinite(pixels[i][0]) || !std::isfinite(pixels[i][1]) || !finite(world[i]))
            return invalidPose();
    if (!(camera.focal > 0.0))
        return invalidPose();

    // A bending finger leaves the template's shape: its points count less,
    // and a closing hand keeps its orientation.
    std::array<double, landmarkCount> weights = m_settings.weights;
    const std::array<double, 4> straightness = fingerStraightness(world);
    double meanStraightness = 0.0, leastShare = 1.0;
    for (std::size_t finger = 0; finger < 4; ++finger) {
        const double s = straightness[finger];
        if (!std::isfinite(s))
            return invalidPose();
        meanStraightness += 0.25 * s;
        const double share = std::clamp((s - m_settings.straightNone)
                / std::max(m_settings.straightFull - m_settings.straightNone, 1e-9),
            0.0, 1.0);
        leastShare = std::min(leastShare, share);
        for (std::size_t k = 6 + 4 * finger; k < 9 + 4 * finger; ++k)
            weights[k] *= share;
    }
    for (std::size_t k = 3; k <= 4; ++k)
        weights[k] *= leastShare;
    const bool closing = holdOrientation || meanStraightness < m_settings.holdBelow;

    auto placed = [&](const Mat3 &rotation) {
        std::array<Vec3, landmarkCount> turned;
        for (std::size_t i = 0; i < landmarkCount; ++i)
            turned[i] = rotation * m_template[i];
        RigidPose pose;
        pose.rotation = rotation;
        pose.translation
            = solveTranslation(turned.data(), pixels.data(), weights.data(), landmarkCount, camera);
        return pose;
    };

    if (closing && m_hasPrevious) {
        const RigidPose pose = placed(m_previous.rotation);
        if (!finite(pose.translation))
            return invalidPose();
        m_previous = pose;
        return pose;
    }

    Problem problem { m_template, pixels, weights, camera, m_settings, {} };
    const Mat3 fromWorld
        = bestRotation(m_template.data(), world.data(), weights.data(), landmarkCount);
    if (m_settings.worldSpread > 0.0)
        problem.priors.push_back({ fromWorld, m_settings.worldSpread });
    if (m_hasPrevious && m_settings.turnRate > 0.0) {
        const double dt = std::max(secondsSincePrevious, 0.0);
        problem.priors.push_back(
            { m_previous.rotation, std::max(m_settings.minimumTurn, m_settings.turnRate * dt) });
    }

    std::vector<Mat3> seeds;
    if (m_hasPrevious)
        seeds.push_back(m_previous.rotation);
    seeds.push_back(fromWorld);
    const double turn = m_settings.seedTurn;
    if (turn > 0.0) {
        for (const Vec3 &axis : { Vec3 { 1.0, 0.0, 0.0 }, Vec3 { 0.0, 1.0, 0.0 } }) {
            seeds.push_back(rotationFromVector(turn * axis) * fromWorld);
            seeds.push_back(rotationFromVector(-turn * axis) * fromWorld);
        }
    }

    RigidPose best = invalidPose();
    double bestCost = std::numeric_limits<double>::infinity();
    for (const Mat3 &seed : seeds) {
        RigidPose pose = placed(seed);
        if (!finite(pose.translation))
            continue;
        const double cost = problem.refine(pose);
        if (cost < bestCost) {
            bestCost = cost;
            best = pose;
        }
    }
    if (!std::isfinite(bestCost))
        return invalidPose();
    best = placed(best.rotation);
    if (!finite(best.translation))
        return invalidPose();
    m_previous = best;
    m_hasPrevious = true;
    return best;
}

} // namespace camera::handfit
