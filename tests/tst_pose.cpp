#include "algebra/DualQuaternion.h"
#include "algebra/Matrix4.h"
#include "algebra/Pose.h"
#include "algebra/Quaternion.h"
#include "algebra/RobotPose.h"
#include "tests/support/AlgebraTestSupport.h"

#include <QMatrix4x4>
#include <QQuaternion>
#include <QVector3D>
#include <QtTest>

#include <cmath>
#include <cstdio>
#include <limits>
#include <unistd.h>

Q_DECLARE_METATYPE(Quaternion)
Q_DECLARE_METATYPE(Matrix4)

namespace {

const double notANumber = std::numeric_limits<double>::quiet_NaN();
const double halfRoot = std::sqrt(0.5);

// rotationMatrixToQuaternion takes each component as the root of a sum of
// matrix entries: a component whose square drowns in the rounding of those
// entries (a few units of 2^-53) comes out as noise of up to sqrt(4 * 2^-52),
// about 3e-8. That is the method's limit near 0 and 180 degrees, not a fault.
const double squareRootNoise = 4e-8;

Matrix4 rowsToMatrix(std::initializer_list<double> rows3x3)
{
    Matrix4 m;
    int i = 0;
    for (double v : rows3x3) {
        m(i / 3, i % 3) = v;
        ++i;
    }
    m(3, 3) = 1.0;
    return m;
}

// Runs f and returns what it wrote to file descriptor 1. Only f runs while
// the output is redirected, so QtTest's own messages are never swallowed.
template <typename F> QByteArray capturedStdout(F f)
{
    std::fflush(stdout);
    FILE *file = std::tmpfile();
    if (!file)
        qFatal("no temporary file for standard output");
    const int saved = dup(1);
    dup2(fileno(file), 1);
    f();
    std::fflush(stdout);
    dup2(saved, 1);
    close(saved);
    std::rewind(file);
    QByteArray text;
    char buffer[256];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        text.append(buffer, int(n));
    std::fclose(file);
    return text;
}

// rotationMatrixToQuaternion, checking that it printed nothing.
Quaternion quietRotationToQuaternion(const Matrix4 &m, bool *silent)
{
    Quaternion q;
    *silent = capturedStdout([&] { q = rotationMatrixToQuaternion(m); }).isEmpty();
    return q;
}

Matrix4 poseMatrix(const Quaternion &q, const double t[4])
{
    return DualQuaternion::fromRotationTranslation(q.data(), t).toMatrix();
}

} // namespace

class TestPose : public QObject {
    Q_OBJECT

private slots:
    void matrix4Storage();
    void signOfValues_data();
    void signOfValues();
    void rotationToQuaternionCases_data();
    void rotationToQuaternionCases();
    void rotationToQuaternionNaNReportsOnce();
    void rotationToQuaternionRoundTrip();
    void toMatrixGivesRotationAndTranslation();
    void toMatrixIgnoresScale_data();
    void toMatrixIgnoresScale();
    void toMatrixMatchesQtOracle();
    void toMatrixOfZeroRealPartIsNotFinite();
    void spatialPoseRoundTrip();
    void spatialFrameIdentity();
    void spatialFrameProperties();
    void planarFrameExample();
    void planarAxisDirections_data();
    void planarAxisDirections();
    void planarAnyDirection();
    void planarUndefinedAngle_data();
    void planarUndefinedAngle();
    void otherModesGiveZeros_data();
    void otherModesGiveZeros();
    void rotateVectorMatchesQt_data();
    void rotateVectorMatchesQt();
    void translationQuaternions_data();
    void translationQuaternions();
    void rotationVectorNearZeroAndPi_data();
    void rotationVectorNearZeroAndPi();
};

void TestPose::matrix4Storage()
{
    Matrix4 m;
    for (int i = 0; i < 16; ++i)
        QVERIFY(m.data()[i] == 0.0);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            m(r, c) = 10 * r + c;
    QVERIFY(m.data()[4 * 2 + 3] == 23.0);
    const Matrix4 t = m.transposed();
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            QVERIFY(t(r, c) == m(c, r));
    // Handed to OpenGL transposed: the translation column lands in 12..14.
    QVERIFY(t.data()[12] == 3.0 && t.data()[13] == 13.0 && t.data()[14] == 23.0);
}

void TestPose::signOfValues_data()
{
    QTest::addColumn<double>("x");
    QTest::addColumn<float>("sign");
    QTest::newRow("+0") << 0.0 << 1.0f;
    QTest::newRow("-0") << -0.0 << 1.0f;
    QTest::newRow("denormal") << 4.9e-324 << 1.0f;
    QTest::newRow("-denormal") << -4.9e-324 << -1.0f;
    QTest::newRow("-2") << -2.0 << -1.0f;
    QTest::newRow("+inf") << std::numeric_limits<double>::infinity() << 1.0f;
    QTest::newRow("-inf") << -std::numeric_limits<double>::infinity() << -1.0f;
    QTest::newRow("NaN") << notANumber << -1.0f;
}

void TestPose::signOfValues()
{
    QFETCH(double, x);
    QFETCH(float, sign);
    QVERIFY(signOf(x) == sign);
}

void TestPose::rotationToQuaternionCases_data()
{
    QTest::addColumn<Matrix4>("m");
    QTest::addColumn<Quaternion>("expected");
    QTest::newRow("identity") << rowsToMatrix({ 1, 0, 0, 0, 1, 0, 0, 0, 1 })
                              << Quaternion(0, 0, 0, 1);
    // w = z = 0.5: the tie goes to the w case, which fixes z's sign from m10 - m01.
    QTest::newRow("90 about z, tie w = z")
        << rowsToMatrix({ 0, -1, 0, 1, 0, 0, 0, 0, 1 }) << Quaternion(0, 0, halfRoot, halfRoot);
    QTest::newRow("-90 about z") << rowsToMatrix({ 0, 1, 0, -1, 0, 0, 0, 0, 1 })
                                 << Quaternion(0, 0, -halfRoot, halfRoot);
    QTest::newRow("90 about x") << rowsToMatrix({ 1, 0, 0, 0, 0, -1, 0, 1, 0 })
                                << Quaternion(halfRoot, 0, 0, halfRoot);
    QTest::newRow("90 about y") << rowsToMatrix({ 0, 0, 1, 0, 1, 0, -1, 0, 0 })
                                << Quaternion(0, halfRoot, 0, halfRoot);
    QTest::newRow("180 about x, x case")
        << rowsToMatrix({ 1, 0, 0, 0, -1, 0, 0, 0, -1 }) << Quaternion(1, 0, 0, 0);
    QTest::newRow("180 about y, y case")
        << rowsToMatrix({ -1, 0, 0, 0, 1, 0, 0, 0, -1 }) << Quaternion(0, 1, 0, 0);
    QTest::newRow("180 about z, z case")
        << rowsToMatrix({ -1, 0, 0, 0, -1, 0, 0, 0, 1 }) << Quaternion(0, 0, 1, 0);
    // x = y = 0.5: the x case wins and takes y's sign from m10 + m01.
    QTest::newRow("180 about x+y, tie x = y")
        << rowsToMatrix({ 0, 1, 0, 1, 0, 0, 0, 0, -1 }) << Quaternion(halfRoot, halfRoot, 0, 0);
    QTest::newRow("180 about x-y")
        << rowsToMatrix({ 0, -1, 0, -1, 0, 0, 0, 0, -1 }) << Quaternion(halfRoot, -halfRoot, 0, 0);
    // Not a rotation: w is clamped from -0.5 to 0, and the components are
    // divided by their squared sum 1.5, not by its root.
    QTest::newRow("-I, clamped") << rowsToMatrix({ -1, 0, 0, 0, -1, 0, 0, 0, -1 })
                                 << Quaternion(halfRoot / 1.5, halfRoot / 1.5, halfRoot / 1.5, 0);
}

void TestPose::rotationToQuaternionCases()
{
    QFETCH(Matrix4, m);
    QFETCH(Quaternion, expected);
    bool silent = false;
    const Quaternion q = quietRotationToQuaternion(m, &silent);
    QVERIFY(silent);
    QVERIFY2(maxAbsDifference(q, expected) <= 1e-15, describe(q));
}

void TestPose::rotationToQuaternionNaNReportsOnce()
{
    Matrix4 m = rowsToMatrix({ notANumber, 0, 0, 0, 1, 0, 0, 0, 1 });
    Quaternion q;
    const QByteArray printed = capturedStdout([&] { q = rotationMatrixToQuaternion(m); });
    QCOMPARE(printed, QByteArray("CALCULATION ERROR\n"));
    QVERIFY(std::isnan(q.x()) && std::isnan(q.y()) && std::isnan(q.z()) && std::isnan(q.w()));
}

void TestPose::rotationToQuaternionRoundTrip()
{
    for (const RotationSample &s : sampleRotations(61, 200)) {
        bool silent = false;
        const Quaternion q
            = quietRotationToQuaternion(matrix4FromRotation(s.q.toRotationMatrix()), &silent);
        QVERIFY(silent);
        QVERIFY2(rotationDifference(q, s.q) <= squareRootNoise,
            s.kind + QByteArray(" ") + describe(s.q));
        QVERIFY(std::fabs(q.squaredNorm() - 1.0) <= 1e-15);
    }
}

void TestPose::toMatrixGivesRotationAndTranslation()
{
    unsigned seed = 100;
    for (const RotationSample &s : sampleRotations(71, 200)) {
        double t[4];
        sampleTranslation(++seed, t);
        const Matrix4 m = poseMatrix(s.q, t);
        const Matrix4 r = matrix4FromRotation(s.q.toRotationMatrix());
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                QVERIFY(m(i, j) == r(i, j));
        // A few roundings relative to the largest translation component.
        const double scale = std::max({ std::fabs(t[0]), std::fabs(t[1]), std::fabs(t[2]) });
        for (int i = 0; i < 3; ++i)
            QVERIFY2(
                std::fabs(m(i, 3) - t[i]) <= 1e-15 * scale, s.kind + QByteArray(" ") + describe(m));
        QVERIFY(m(3, 0) == 0.0 && m(3, 1) == 0.0 && m(3, 2) == 0.0 && m(3, 3) == 1.0);
        QVERIFY2(orthonormalityError(m) <= 1e-15, describe(m));
        QVERIFY(std::fabs(rotationDeterminant(m) - 1.0) <= 1e-15);
    }
}

void TestPose::toMatrixIgnoresScale_data()
{
    QTest::addColumn<double>("scale");
    QTest::addColumn<bool>("exact");
    // Powers of two scale every product and the norm without rounding.
    QTest::newRow("2") << 2.0 << true;
    QTest::newRow("-1") << -1.0 << true;
    QTest::newRow("-0.5") << -0.5 << true;
    QTest::newRow("3") << 3.0 << false;
    QTest::newRow("-1e-3") << -1e-3 << false;
    QTest::newRow("7.1e4") << 7.1e4 << false;
}

void TestPose::toMatrixIgnoresScale()
{
    QFETCH(double, scale);
    QFETCH(bool, exact);
    unsigned seed = 200;
    for (const RotationSample &s : sampleRotations(81, 50)) {
        double t[4];
        sampleTranslation(++seed, t);
        const DualQuaternion q = DualQuaternion::fromRotationTranslation(s.q.data(), t);
        const Matrix4 a = q.toMatrix();
        const Matrix4 b = (scale * q).toMatrix();
        if (exact) {
            QCOMPARE(b, a);
        } else {
            const double tolerance
                = 1e-15 * (1.0 + std::fabs(t[0]) + std::fabs(t[1]) + std::fabs(t[2]));
            QVERIFY2(maxAbsDifference(a, b) <= tolerance, describe(a) + " vs " + describe(b));
        }
    }
}

// Qt's matrix, rotating first and translating after, maps points as the pose does.
void TestPose::toMatrixMatchesQtOracle()
{
    unsigned seed = 300;
    const QVector3D points[] = { { 0, 0, 0 }, { 1, 0, 0 }, { 0, 2, 0 }, { -1, 0.5, 3 } };
    for (const RotationSample &s : sampleRotations(91, 40)) {
        double t[4];
        sampleTranslation(++seed, t);
        for (double &v : t)
            v = std::fmod(v, 10.0);
        QMatrix4x4 oracle;
        oracle.translate(float(t[0]), float(t[1]), float(t[2]));
        oracle.rotate(QQuaternion(float(s.q.w()), float(s.q.x()), float(s.q.y()), float(s.q.z())));
        const Matrix4 m = poseMatrix(s.q, t);
        for (const QVector3D &p : points) {
            const QVector3D expected = oracle.map(p);
            for (int r = 0; r < 3; ++r) {
                const double mapped = m(r, 0) * p.x() + m(r, 1) * p.y() + m(r, 2) * p.z() + m(r, 3);
                // Single precision for coordinates up to about 20.
                QVERIFY2(std::fabs(mapped - double(expected[r])) <= 1e-5, s.kind);
            }
        }
    }
}

void TestPose::toMatrixOfZeroRealPartIsNotFinite()
{
    const Matrix4 m = DualQuaternion::zero().toMatrix();
    QVERIFY(std::isnan(m(0, 0)));
    QVERIFY(!std::isfinite(m(0, 3)));
}

void TestPose::spatialPoseRoundTrip()
{
    unsigned seed = 400;
    for (const RotationSample &s : sampleRotations(101, 100)) {
        double t[4];
        sampleTranslation(++seed, t);
        const DualQuaternion q = DualQuaternion::fromRotationTranslation(s.q.data(), t);
        const DualQuaternion back = poseFromMatrix(q.toMatrix(), PoseModeSpatial);
        // Same pose up to the sign of the whole dual quaternion.
        const double sign = Quaternion::dot(back.realPart(), q.realPart()) < 0 ? -1.0 : 1.0;
        QVERIFY2(maxAbsDifference(back.realPart(), sign * q.realPart()) <= squareRootNoise,
            s.kind + QByteArray(" ") + describe(back) + " vs " + describe(q));
        const double scale = 1.0 + std::fabs(t[0]) + std::fabs(t[1]) + std::fabs(t[2]);
        QVERIFY2(maxAbsDifference(back.dualPart(), sign * q.dualPart()) <= squareRootNoise * scale,
            s.kind + QByteArray(" ") + describe(back) + " vs " + describe(q));
    }
}

void TestPose::spatialFrameIdentity()
{
    const Matrix4 m = frameFromPoints(
        QVector3D(0, 0, 0), QVector3D(0, 1, 0), QVector3D(1, 0, 0), PoseModeSpatial);
    QCOMPARE(m, rowsToMatrix({ 1, 0, 0, 0, 1, 0, 0, 0, 1 }));
    QCOMPARE(rotationMatrixToQuaternion(m), Quaternion(0, 0, 0, 1));
    const DualQuaternion pose = poseFromMatrix(m, PoseModeSpatial);
    QCOMPARE(pose.realPart(), Quaternion(0, 0, 0, 1));
    QCOMPARE(pose.dualPart(), Quaternion(0, 0, 0, 0));
}

void TestPose::spatialFrameProperties()
{
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> coordinate(-2.0f, 2.0f);
    auto point = [&] { return QVector3D(coordinate(rng), coordinate(rng), coordinate(rng)); };
    int checked = 0;
    while (checked < 200) {
        const QVector3D origin = point(), towardY = point(), towardX = point();
        const QVector3D dy = towardY - origin, dx = towardX - origin;
        // Keep the three points well apart and off one line.
        if (dy.length() < 0.1f || dx.length() < 0.1f
            || QVector3D::crossProduct(dx.normalized(), dy.normalized()).length() < 0.1f)
            continue;
        ++checked;
        const Matrix4 m = frameFromPoints(origin, towardY, towardX, PoseModeSpatial);
        // Single-precision vector steps: entries within a few 1e-7.
        QVERIFY2(orthonormalityError(m) <= 1e-6, describe(m));
        QVERIFY(std::fabs(rotationDeterminant(m) - 1.0) <= 1e-6);
        const QVector3D x(float(m(0, 0)), float(m(1, 0)), float(m(2, 0)));
        const QVector3D y(float(m(0, 1)), float(m(1, 1)), float(m(2, 1)));
        const QVector3D z(float(m(0, 2)), float(m(1, 2)), float(m(2, 2)));
        QVERIFY((y - dy.normalized()).length() <= 1e-6f);
        QVERIFY(std::fabs(QVector3D::dotProduct(z, dx)) <= 1e-5f);
        QVERIFY(QVector3D::dotProduct(x, dx) > 0.0f);
        for (int r = 0; r < 3; ++r)
            QVERIFY(m(r, 3) == double(origin[r]));
        QVERIFY(m(3, 0) == 0.0 && m(3, 1) == 0.0 && m(3, 2) == 0.0 && m(3, 3) == 1.0);
    }
}

void TestPose::planarFrameExample()
{
    const QVector3D origin(0.25f, -0.5f, 3.0f);
    const Matrix4 m = frameFromPoints(origin, origin + QVector3D(-halfRoot, halfRoot, 7),
        QVector3D(100, 100, 100), PoseModePlanar);
    Matrix4 expected = rowsToMatrix({ halfRoot, -halfRoot, 0, halfRoot, halfRoot, 0, 0, 0, 1 });
    expected(0, 3) = 0.25;
    expected(1, 3) = -0.5;
    expected(2, 3) = 1.0; // a constant, not origin.z
    QVERIFY2(maxAbsDifference(m, expected) <= 1e-6, describe(m));
    QVERIFY(m(2, 3) == 1.0 && m(2, 2) == 1.0);

    const DualQuaternion pose = poseFromMatrix(m, PoseModePlanar);
    const double sn = std::sin(M_PI / 8), cs = std::cos(M_PI / 8);
    QVERIFY2(maxAbsDifference(pose.realPart(), Quaternion(0, 0, sn, cs)) <= 1e-6,
        describe(pose.realPart()));
    const Quaternion dual = 0.5 * (Quaternion(0.25, -0.5, 0, 0) * pose.realPart());
    QVERIFY2(maxAbsDifference(pose.dualPart(), dual) <= 1e-15, describe(pose.dualPart()));
}

void TestPose::planarAxisDirections_data()
{
    QTest::addColumn<QVector3D>("direction");
    QTest::addColumn<double>("degrees");
    QTest::newRow("+y") << QVector3D(0, 1, 0) << 0.0;
    QTest::newRow("-x") << QVector3D(-1, 0, 0) << 90.0;
    QTest::newRow("-y") << QVector3D(0, -1, 0) << 180.0;
    QTest::newRow("+x") << QVector3D(1, 0, 0) << -90.0;
}

void TestPose::planarAxisDirections()
{
    QFETCH(QVector3D, direction);
    QFETCH(double, degrees);
    const QVector3D origin(1, 2, 0);
    const Matrix4 frame
        = frameFromPoints(origin, origin + 3 * direction, QVector3D(), PoseModePlanar);
    const DualQuaternion pose = poseFromMatrix(frame, PoseModePlanar);
    const double h = degrees * M_PI / 360.0;
    QVERIFY2(maxAbsDifference(pose.realPart(), Quaternion(0, 0, std::sin(h), std::cos(h))) <= 1e-7,
        describe(pose.realPart()));
    const Matrix4 m = pose.toMatrix();
    QVERIFY(std::fabs(m(0, 3) - 1.0) <= 1e-15 && std::fabs(m(1, 3) - 2.0) <= 1e-15);
    QVERIFY(m(2, 3) == 0.0);
}

// Every quadrant: the pose's rotation reproduces the frame's xy block.
void TestPose::planarAnyDirection()
{
    for (int step = 0; step < 72; ++step) {
        const double a = (step * 5 + 0.3) * M_PI / 180.0;
        const QVector3D origin(-0.5f, 0.75f, 2.0f);
        const Matrix4 frame
            = frameFromPoints(origin, origin + QVector3D(float(std::cos(a)), float(std::sin(a)), 0),
                QVector3D(), PoseModePlanar);
        const Matrix4 m = poseFromMatrix(frame, PoseModePlanar).toMatrix();
        for (int r = 0; r < 2; ++r)
            for (int c = 0; c < 2; ++c)
                QVERIFY2(std::fabs(m(r, c) - frame(r, c)) <= 1e-6,
                    describe(m) + " vs " + describe(frame));
        QVERIFY(m(2, 2) == 1.0);
    }
}

void TestPose::planarUndefinedAngle_data()
{
    QTest::addColumn<double>("m00");
    QTest::addColumn<double>("m01");
    QTest::newRow("NaN m00") << notANumber << -0.5;
    QTest::newRow("NaN m01") << 0.5 << notANumber;
    QTest::newRow("both zero") << 0.0 << 0.0;
    QTest::newRow("both negative zero") << -0.0 << -0.0;
}

void TestPose::planarUndefinedAngle()
{
    QFETCH(double, m00);
    QFETCH(double, m01);
    Matrix4 m;
    m(0, 0) = m00;
    m(0, 1) = m01;
    m(0, 3) = 4.0;
    m(1, 3) = -6.0;
    const DualQuaternion pose = poseFromMatrix(m, PoseModePlanar);
    QCOMPARE(pose.realPart(), Quaternion(0, 0, 0, 1));
    QCOMPARE(pose.dualPart(), Quaternion(2, -3, 0, 0));
}

void TestPose::otherModesGiveZeros_data()
{
    QTest::addColumn<int>("mode");
    QTest::newRow("2") << 2;
    QTest::newRow("-1") << -1;
}

void TestPose::otherModesGiveZeros()
{
    QFETCH(int, mode);
    const Matrix4 frame
        = frameFromPoints(QVector3D(1, 2, 3), QVector3D(1, 3, 3), QVector3D(2, 2, 3), mode);
    QCOMPARE(frame, Matrix4());
    const Matrix4 identity = rowsToMatrix({ 1, 0, 0, 0, 1, 0, 0, 0, 1 });
    QCOMPARE(poseFromMatrix(identity, mode), DualQuaternion::zero());
}

void TestPose::rotateVectorMatchesQt_data()
{
    QTest::addColumn<QVector3D>("v");
    QTest::addColumn<float>("degrees");
    QTest::addColumn<QVector3D>("axis");
    QTest::newRow("-90 about z") << QVector3D(0.6f, 0.8f, 0) << -90.0f << QVector3D(0, 0, 1);
    QTest::newRow("90 about x") << QVector3D(1, 2, 3) << 90.0f << QVector3D(1, 0, 0);
    QTest::newRow("unnormalised axis") << QVector3D(1, -2, 0.5f) << 33.0f << QVector3D(0, 4, 0);
    QTest::newRow("oblique axis, 179") << QVector3D(-3, 1, 2) << 179.0f << QVector3D(1, 1, -2);
    QTest::newRow("tiny angle") << QVector3D(5, 0, -1) << 0.001f << QVector3D(-1, 2, 2);
    QTest::newRow("full turn") << QVector3D(1, 1, 1) << 360.0f << QVector3D(0.3f, 0.2f, 0.1f);
}

void TestPose::rotateVectorMatchesQt()
{
    QFETCH(QVector3D, v);
    QFETCH(float, degrees);
    QFETCH(QVector3D, axis);
    const QVector3D expected = QQuaternion::fromAxisAndAngle(axis, degrees).rotatedVector(v);
    const QVector3D rotated = rotateVector(v, degrees, axis);
    QVERIFY2((rotated - expected).length() <= 1e-5f * (1 + v.length()),
        qPrintable(QString("(%1, %2, %3)").arg(rotated.x()).arg(rotated.y()).arg(rotated.z())));
}

void TestPose::translationQuaternions_data()
{
    QTest::addColumn<QVector3D>("v");
    QTest::addColumn<double>("length");
    QTest::addColumn<Quaternion>("expected");
    QTest::newRow("zero vector") << QVector3D(0, 0, 0) << 20.0 << Quaternion(0, 0, 0, 1);
    QTest::newRow("(40, 0, 0)") << QVector3D(40, 0, 0) << 20.0
                                << Quaternion(halfRoot, 0, 0, halfRoot);
    // (v, 40) / |(v, 40)| with |(3, 4, 12, 40)| = sqrt(1769).
    const double n = std::sqrt(1769.0);
    QTest::newRow("(3, 4, 12)") << QVector3D(3, 4, 12) << 20.0
                                << Quaternion(3 / n, 4 / n, 12 / n, 40 / n);
    const double m = std::sqrt(0.01 + 0.04 + 2.25 + 1600.0);
    QTest::newRow("hand in metres")
        << QVector3D(0.1f, -0.2f, 1.5f) << 20.0 << Quaternion(0.1 / m, -0.2 / m, 1.5 / m, 40 / m);
}

void TestPose::translationQuaternions()
{
    QFETCH(QVector3D, v);
    QFETCH(double, length);
    QFETCH(Quaternion, expected);
    const Quaternion plus = translationQuaternion(v, length);
    const Quaternion minus = translationQuaternionConjugate(v, length);
    // The vector part is computed in single precision.
    QVERIFY2(maxAbsDifference(plus, expected) <= 1e-6, describe(plus));
    QCOMPARE(minus, plus.conjugate());
    QVERIFY(std::fabs(plus.squaredNorm() - 1.0) <= 1e-6);

    const Quaternion q(0.1, -0.2, 0.3, 0.9);
    QCOMPARE(poseQuaternionPlus(q, v, length), plus * q);
    QCOMPARE(poseQuaternionMinus(q, v, length), minus * q);
}

void TestPose::rotationVectorNearZeroAndPi_data()
{
    QTest::addColumn<double>("angle");
    QTest::newRow("1e-9 rad") << 1e-9;
    QTest::newRow("1e-300 rad") << 1e-300;
    QTest::newRow("0.3 rad") << 0.3;
    QTest::newRow("pi - 1e-9") << M_PI - 1e-9;
    QTest::newRow("pi") << M_PI;
}

// The vector gives back the rotation within 1e-12 and its length is the
// angle to full relative precision; a turn about one axis that passes pi
// goes on smoothly instead of flipping to the other side.
void TestPose::rotationVectorNearZeroAndPi()
{
    QFETCH(double, angle);
    const double axis[3] = { 0.48, -0.6, 0.64 };
    const auto quaternionOf = [&](double a) {
        return Quaternion(axis[0] * std::sin(a / 2), axis[1] * std::sin(a / 2),
            axis[2] * std::sin(a / 2), std::cos(a / 2));
    };
    double r[3];
    rotationVector(quaternionOf(angle), nullptr, r);
    QVERIFY(rotationDifference(quaternionFromRotationVector(r), quaternionOf(angle)) < 1e-12);
    const double length = std::hypot(r[0], r[1], r[2]);
    QVERIFY2(qAbs(length - angle) <= 1e-15 * angle, qPrintable(QString::number(length, 'g', 17)));
    for (int c = 0; c < 3; ++c)
        QVERIFY(qAbs(r[c] - axis[c] * angle) <= 1e-15 * angle);

    // Steps of 1e-7 rad from the angle on, through pi for the last rows;
    // the quaternions arrive as a sign-continuous export writes them.
    double previous[3];
    std::copy(r, r + 3, previous);
    for (int k = 1; k <= 40; ++k) {
        const double a = angle + k * 1e-7;
        rotationVector(quaternionOf(a), previous, r);
        QVERIFY2(qAbs(std::hypot(r[0], r[1], r[2]) - a) < 1e-12,
            qPrintable(QString::number(a, 'g', 17)));
        double step = 0.0;
        for (int c = 0; c < 3; ++c)
            step = std::max(step, qAbs(r[c] - previous[c]));
        QVERIFY(step < 2e-7);
        QVERIFY(rotationDifference(quaternionFromRotationVector(r), quaternionOf(a)) < 1e-12);
        std::copy(r, r + 3, previous);
    }
}

QTEST_APPLESS_MAIN(TestPose)
#include "tst_pose.moc"
