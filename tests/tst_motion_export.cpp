// Motion export: the written poses against the drawn ones, quaternion signs,
// the URScript program's blends and base frame, constant-speed resampling,
// and the reasons an export is refused.
#include "motion/MBezierMotion.h"
#include "motion/MRBSplineInterpolation.h"
#include "motion/MScrewMotion.h"
#include "motion/MotionCurve.h"
#include "motion/MotionExport.h"
#include "tests/support/AlgebraTestSupport.h"
#include "tests/support/Poses.h"

#include <QRegularExpression>
#include <QStringList>
#include <QtTest>

#include <cmath>
#include <numeric>
#include <type_traits>

Q_DECLARE_METATYPE(MotionKind)

namespace {

// A hand that sweeps and turns by up to 200° about a tilted axis: the
// quaternions pass through w = 0, where signs and rotation vectors flip if
// anything is careless.
std::vector<DualQuaternion> sweep(int n)
{
    std::vector<DualQuaternion> poses;
    for (int i = 0; i < n; ++i) {
        const double s = n > 1 ? double(i) / (n - 1) : 0.0;
        poses.push_back(capturedPose(200.0 * s, QVector3D(0.3f, 1.0f, 0.2f),
            QVector3D(0.4f * std::sin(3.0 * s), 0.2f * s, 1.8f - 0.3f * s * s)));
    }
    return poses;
}

std::vector<double> numbersOf(const QString &line, const QString &separator)
{
    std::vector<double> values;
    for (const QString &field : line.split(separator))
        values.push_back(field.toDouble());
    return values;
}

QStringList linesOf(const std::string &text)
{
    QStringList lines = QString::fromStdString(text).split(QLatin1Char('\n'));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// The motion object of a kind, set up as the view sets it before a paint.
template <typename M>
std::vector<DualQuaternion> samplesOf(
    const std::vector<DualQuaternion> &keys, int density, int degree)
{
    M motion;
    motion.setKeyPoses(keys);
    motion.properties().setDensity(density);
    if constexpr (std::is_base_of_v<MRBSplineMotion, M>)
        motion.setDegree(degree);
    return motion.sampledPoses();
}

std::vector<DualQuaternion> viewSamples(
    MotionKind kind, const std::vector<DualQuaternion> &keys, int density, int degree)
{
    switch (kind) {
    case MotionKind::Screw:
        return samplesOf<MScrewMotion>(keys, density, degree);
    case MotionKind::Bezier:
        return samplesOf<MBezierMotion>(keys, density, degree);
    case MotionKind::Approximation:
        return samplesOf<MRBSplineMotion>(keys, density, degree);
    case MotionKind::Interpolation:
        return samplesOf<MRBSplineInterpolation>(keys, density, degree);
    default:
        break;
    }
    return {};
}

std::string exportText(const MotionExportRequest &request, const std::vector<DualQuaternion> &keys)
{
    std::string text, error;
    if (!motionExportText(request, keys, &text, &error))
        qWarning("export refused: %s", error.c_str());
    return text;
}

double distance(const std::vector<double> &a, const std::vector<double> &b, int from)
{
    double sum = 0.0;
    for (int c = from; c < from + 3; ++c)
        sum += (a[c] - b[c]) * (a[c] - b[c]);
    return std::sqrt(sum);
}

} // namespace

class TestMotionExport : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void csvIsTheDrawnMotion_data();
    void csvIsTheDrawnMotion();
    void urscriptBlendsAndBaseFrame();
    void constantSpeedSpacing_data();
    void constantSpeedSpacing();
    void constantSpeedLengthOfAKnownCurve();
    void refusedExports_data();
    void refusedExports();
};

void TestMotionExport::csvIsTheDrawnMotion_data()
{
    QTest::addColumn<MotionKind>("kind");
    QTest::addColumn<int>("keyCount");
    QTest::addColumn<int>("density");
    QTest::addColumn<int>("degree");
    QTest::newRow("screw") << MotionKind::Screw << 6 << 100 << 0;
    QTest::newRow("bezier, density 37") << MotionKind::Bezier << 6 << 37 << 0;
    QTest::newRow("approximation, degree 3") << MotionKind::Approximation << 7 << 100 << 3;
    QTest::newRow("approximation, degree 1") << MotionKind::Approximation << 5 << 60 << 1;
    QTest::newRow("interpolation, degree 2") << MotionKind::Interpolation << 6 << 100 << 2;
}

// Positions are the drawn matrices' translations to the last bit; the unit
// quaternions give their rotations within 1e-12, with continuous signs. The
// TUM table holds the same poses, timed from 0 to 1 s per key segment.
void TestMotionExport::csvIsTheDrawnMotion()
{
    QFETCH(MotionKind, kind);
    QFETCH(int, keyCount);
    QFETCH(int, density);
    QFETCH(int, degree);
    const std::vector<DualQuaternion> keys = sweep(keyCount);
    MotionExportRequest request;
    request.kind = kind;
    request.density = density;
    request.degree = degree;
    const QStringList lines = linesOf(exportText(request, keys));
    request.format = MotionExportFormat::Tum;
    const QStringList tum = linesOf(exportText(request, keys));
    const std::vector<DualQuaternion> drawn = viewSamples(kind, keys, density, degree);
    QVERIFY(drawn.size() > 10);
    QCOMPARE(lines.value(0), QStringLiteral("index,x,y,z,qx,qy,qz,qw"));
    QCOMPARE(lines.size(), int(drawn.size()) + 1);

    bool crossedZeroW = false;
    Quaternion previous;
    for (size_t i = 0; i < drawn.size(); ++i) {
        const std::vector<double> v = numbersOf(lines[int(i) + 1], QStringLiteral(","));
        QCOMPARE(v.size(), size_t(8));
        QCOMPARE(v[0], double(i));
        const std::vector<double> timed = numbersOf(tum.value(int(i)), QStringLiteral(" "));
        QCOMPARE(timed.size(), size_t(8));
        QVERIFY(qAbs(timed[0] - (keyCount - 1.0) * i / (drawn.size() - 1)) < 1e-12);
        QVERIFY(std::equal(v.begin() + 1, v.end(), timed.begin() + 1));
        const Matrix4 m = drawn[i].toMatrix();
        QCOMPARE(v[1], m(0, 3));
        QCOMPARE(v[2], m(1, 3));
        QCOMPARE(v[3], m(2, 3));
        const Quaternion q(v[4], v[5], v[6], v[7]);
        QVERIFY(qAbs(q.squaredNorm() - 1.0) < 1e-15);
        const DualQuaternion unitPose(q.data(), Quaternion(0, 0, 0, 0).data());
        Matrix4 fromQ = unitPose.toMatrix();
        for (int r = 0; r < 3; ++r)
            fromQ(r, 3) = m(r, 3);
        QVERIFY2(maxAbsDifference(fromQ, m) < 1e-12, describe(m) + " vs " + describe(fromQ));
        if (i == 0)
            QVERIFY(q.w() >= 0.0);
        else
            QVERIFY2(Quaternion::dot(q, previous) > 0.0, qPrintable(QString::number(i)));
        crossedZeroW = crossedZeroW || (i > 0 && (q.w() < 0.0) != (previous.w() < 0.0));
        previous = q;
    }
    QVERIFY2(crossedZeroW, "the sweep turns beyond 180°, so w changes sign once");
}

// Every move but the last blends with the same radius, below half the
// smallest spacing of the waypoints; the base transform maps each camera
// position and rotation; the header says which transform was used.
void TestMotionExport::urscriptBlendsAndBaseFrame()
{
    const std::vector<DualQuaternion> keys = sweep(4);
    MotionExportRequest request;
    request.kind = MotionKind::Interpolation;
    request.degree = 2;
    request.density = 50;
    const QStringList csv = linesOf(exportText(request, keys));
    request.format = MotionExportFormat::URScript;
    QVERIFY(parseRobotPose("p[0.5, -0.25, 0.75, 0, 0, 1.5707963267948966]", &request.cameraInBase));

    static const QRegularExpression movel(
        QStringLiteral("^  movel\\(p\\[([^,]+), ([^,]+), ([^,]+), ([^,]+), ([^,]+), ([^,\\]]+)\\], "
                       "a=([^,]+), v=([^,]+), r=([^)]+)\\)$"));
    for (bool base : { false, true }) {
        request.hasCameraInBase = base;
        const QStringList lines = linesOf(exportText(request, keys));
        QCOMPARE(lines.first(), QStringLiteral("def handmotion_path():"));
        QCOMPARE(lines.last(), QStringLiteral("end"));
        const QString header = lines.filter(QStringLiteral("# Camera in base")).value(0);
        QVERIFY2(
            header.contains(base ? QStringLiteral("p[0.5, -0.25, 0.75, 0, 0, 1.5707963267948966]")
                                 : QStringLiteral("identity")),
            qPrintable(header));

        std::vector<std::vector<double>> waypoints;
        for (const QString &line : lines) {
            const QRegularExpressionMatch m = movel.match(line);
            if (!line.startsWith(QStringLiteral("  #")) && line.startsWith(QStringLiteral("  ")))
                QVERIFY2(m.hasMatch(), qPrintable(line));
            if (m.hasMatch()) {
                std::vector<double> v;
                for (int k = 1; k <= 9; ++k)
                    v.push_back(m.captured(k).toDouble());
                waypoints.push_back(v);
            }
        }
        QCOMPARE(int(waypoints.size()), csv.size() - 1);
        double smallest = 1e300;
        for (size_t i = 1; i < waypoints.size(); ++i)
            smallest = std::min(smallest, distance(waypoints[i - 1], waypoints[i], 0));
        QVERIFY(smallest > 0.0);
        for (size_t i = 0; i + 1 < waypoints.size(); ++i) {
            QVERIFY(waypoints[i][8] > 0.0 && waypoints[i][8] < smallest / 2.0);
            QCOMPARE(waypoints[i][8], waypoints[0][8]);
        }
        QCOMPARE(waypoints.back()[8], 0.0);

        for (size_t i = 0; i < waypoints.size(); ++i) {
            const std::vector<double> c = numbersOf(csv[int(i) + 1], QStringLiteral(","));
            // A quarter turn about z, then the offset: (x, y) -> (-y, x).
            const double expected[3] = { base ? 0.5 - c[2] : c[1], base ? -0.25 + c[1] : c[2],
                base ? 0.75 + c[3] : c[3] };
            for (int k = 0; k < 3; ++k)
                QVERIFY(qAbs(waypoints[i][k] - expected[k]) < 1e-12);
            const double r[3] = { waypoints[i][3], waypoints[i][4], waypoints[i][5] };
            const Quaternion camera(c[4], c[5], c[6], c[7]);
            const Quaternion turn(0, 0, std::sin(M_PI / 4), std::cos(M_PI / 4));
            QVERIFY(
                rotationDifference(quaternionFromRotationVector(r), base ? turn * camera : camera)
                < 1e-12);
            if (i > 0)
                QVERIFY2(distance(waypoints[i - 1], waypoints[i], 3) < 0.5,
                    "rotation vectors stay continuous");
        }
    }
}

void TestMotionExport::constantSpeedSpacing_data()
{
    QTest::addColumn<MotionKind>("kind");
    QTest::addColumn<int>("degree");
    QTest::newRow("screw") << MotionKind::Screw << 0;
    QTest::newRow("bezier") << MotionKind::Bezier << 0;
    QTest::newRow("approximation") << MotionKind::Approximation << 3;
    QTest::newRow("interpolation") << MotionKind::Interpolation << 3;
    QTest::newRow("interpolation, degree 1") << MotionKind::Interpolation << 1;
}

// Neighbouring positions equally spaced within 1 %, as many as drawn, from
// the first key pose to the last.
void TestMotionExport::constantSpeedSpacing()
{
    QFETCH(MotionKind, kind);
    QFETCH(int, degree);
    const std::vector<DualQuaternion> keys = sweep(6);
    MotionExportRequest request;
    request.kind = kind;
    request.degree = degree;
    request.constantSpeed = true;
    const QStringList lines = linesOf(exportText(request, keys));
    QCOMPARE(lines.size() - 1, int(viewSamples(kind, keys, 100, degree).size()));
    std::vector<double> spacing;
    for (int i = 2; i < lines.size(); ++i)
        spacing.push_back(distance(numbersOf(lines[i - 1], QStringLiteral(",")),
            numbersOf(lines[i], QStringLiteral(",")), 1));
    const double mean = std::accumulate(spacing.begin(), spacing.end(), 0.0) / spacing.size();
    for (double s : spacing)
        QVERIFY2(qAbs(s / mean - 1.0) < 0.01, qPrintable(QString::number(s / mean)));
    const std::vector<double> first = numbersOf(lines[1], QStringLiteral(","));
    const std::vector<double> last = numbersOf(lines.last(), QStringLiteral(","));
    const Matrix4 firstKey = keys.front().toMatrix(), lastKey = keys.back().toMatrix();
    for (int k = 0; k < 3; ++k) {
        QVERIFY(qAbs(first[k + 1] - firstKey(k, 3)) < 1e-6);
        QVERIFY(qAbs(last[k + 1] - lastKey(k, 3)) < 1e-6);
    }
}

// Pure translations make the Bezier motion's path an ordinary cubic: its
// length by quadrature is the reference for the table's.
void TestMotionExport::constantSpeedLengthOfAKnownCurve()
{
    const float p[4][3]
        = { { 0, 0, 1 }, { 0.6f, 0.1f, 1 }, { -0.2f, 0.5f, 1.4f }, { 0.3f, 0.4f, 2 } };
    std::vector<DualQuaternion> keys;
    for (const auto &t : p)
        keys.push_back(makePose(0.0, QVector3D(0, 0, 1), QVector3D(t[0], t[1], t[2])));
    const auto speed = [&](double t) {
        const double u = 1.0 - t;
        const double b[3] = { 3 * u * u, 6 * u * t, 3 * t * t };
        double v2 = 0.0;
        for (int c = 0; c < 3; ++c) {
            double d = 0.0;
            for (int k = 0; k < 3; ++k)
                d += b[k] * (double(p[k + 1][c]) - double(p[k][c]));
            v2 += d * d;
        }
        return std::sqrt(v2);
    };
    // Composite Simpson's rule on a smooth speed: exact far beyond 1e-4.
    const int intervals = 2000;
    double reference = speed(0.0) + speed(1.0);
    for (int j = 1; j < intervals; ++j)
        reference += (j % 2 ? 4.0 : 2.0) * speed(double(j) / intervals);
    reference /= 3.0 * intervals;

    double length = 0.0;
    const std::vector<DualQuaternion> poses
        = constantSpeedPoses(*motionCurve(MotionKind::Bezier, keys, 0), 80, &length);
    QCOMPARE(poses.size(), size_t(80));
    QVERIFY2(qAbs(length / reference - 1.0) < 1e-4,
        qPrintable(QStringLiteral("%1 vs %2").arg(length, 0, 'g', 17).arg(reference, 0, 'g', 17)));
}

void TestMotionExport::refusedExports_data()
{
    QTest::addColumn<MotionKind>("kind");
    QTest::addColumn<int>("keyCount");
    QTest::addColumn<int>("density");
    QTest::addColumn<int>("degree");
    QTest::addColumn<QString>("reason");
    QTest::newRow("density") << MotionKind::Screw << 4 << 101 << 3 << "density 101 is out of range";
    QTest::newRow("one key") << MotionKind::Bezier << 1 << 100 << 3
                             << "needs at least 2 key positions; there is 1";
    QTest::newRow("degree n") << MotionKind::Interpolation << 4 << 100 << 4
                              << "degree 4 is out of range 1 to 3";
    QTest::newRow("singular") << MotionKind::Interpolation << 260 << 1 << 3
                              << "cannot be computed: 260 key positions at degree 3";
    QTest::newRow("not exported") << MotionKind::Continuous << 4 << 100 << 3 << "not exported";
}

void TestMotionExport::refusedExports()
{
    QFETCH(MotionKind, kind);
    QFETCH(int, keyCount);
    QFETCH(int, density);
    QFETCH(int, degree);
    QFETCH(QString, reason);
    MotionExportRequest request;
    request.kind = kind;
    request.density = density;
    request.degree = degree;
    std::string text = "untouched", error;
    QVERIFY(!motionExportText(request, sweep(keyCount), &text, &error));
    QVERIFY2(QString::fromStdString(error).contains(reason), error.c_str());
    QCOMPARE(text, std::string("untouched"));
}

QTEST_GUILESS_MAIN(TestMotionExport)
#include "tst_motion_export.moc"
