#include "motion/MBezierMotion.h"
#include "motion/MContinuousMotion.h"
#include "motion/MRBSplineInterpolation.h"
#include "motion/MRBSplineMotion.h"
#include "motion/MScrewMotion.h"
#include "motion/MotionKind.h"

#include "tests/support/Poses.h"

#include <QtTest>

#include <cmath>
#include <limits>
#include <memory>

namespace {

// n distinct unit poses: turning about a tilted axis and moving along a bent
// line, so that no two of them are the same pose.
std::vector<DualQuaternion> keyPoses(int n)
{
    std::vector<DualQuaternion> poses;
    for (int k = 0; k < n; ++k)
        poses.push_back(makePose(
            25.0 * k, QVector3D(0.2f, 0.3f, 1.0f), QVector3D(0.1f * k, 0.05f * k * k, 0.02f * k)));
    return poses;
}

// The motion object of a kind, by its name, set up as the view sets it.
std::unique_ptr<Motion> computed(
    const QString &kind, const std::vector<DualQuaternion> &poses, int density, int degree = 3)
{
    MotionKind k = MotionKind::Screw;
    if (!motionKindFromName(kind.toStdString(), &k))
        qFatal("no motion kind %s", qPrintable(kind));
    std::unique_ptr<Motion> motion = createMotion(k);
    motion->setKeyPoses(poses);
    motion->properties().setDensity(density);
    motion->setDegree(degree);
    return motion;
}

bool samePoint(const ScenePoint &a, const ScenePoint &b, double tolerance = 1e-9)
{
    return std::abs(a.x - b.x) <= tolerance && std::abs(a.y - b.y) <= tolerance
        && std::abs(a.z - b.z) <= tolerance;
}

// The Bernstein values by de Casteljau's recurrence on the values, O(n^2): the
// evaluation the Bezier motion was first written with.
std::vector<double> quadraticBernstein(int degree, double t)
{
    std::vector<double> b(size_t(degree) + 1, 0.0);
    b[0] = 1.0;
    for (int j = 1; j <= degree; ++j) {
        double saved = 0.0;
        for (int k = 0; k < j; ++k) {
            const double temp = b[k];
            b[k] = saved + (1.0 - t) * temp;
            saved = t * temp;
        }
        b[j] = saved;
    }
    return b;
}

// Largest difference of the eight components, relative to the largest
// component of `expected`.
double relativeDifference(const DualQuaternion &actual, const DualQuaternion &expected)
{
    double difference = 0.0, scale = 0.0;
    for (int c = 0; c < 4; ++c) {
        difference = std::max(difference,
            std::max(std::abs(actual.component(c).real() - expected.component(c).real()),
                std::abs(actual.component(c).dual() - expected.component(c).dual())));
        scale = std::max(scale,
            std::max(
                std::abs(expected.component(c).real()), std::abs(expected.component(c).dual())));
    }
    return difference / scale;
}

// The angle of a sample's rotation about +z, signed, in degrees.
double angleAboutZ(const DualQuaternion &pose)
{
    const Matrix4 m = pose.toMatrix();
    return std::atan2(m(1, 0), m(0, 0)) * 180.0 / M_PI;
}

} // namespace

class TestMotion : public QObject {
    Q_OBJECT
private slots:
    void initialProperties();
    void kindTable();
    void placement();
    void sampleCounts_data();
    void sampleCounts();
    void densityOneDrawsTheKeyPoses();
    void trajectoryCounts_data();
    void trajectoryCounts();
    void continuousStride_data();
    void continuousStride();
    void blendOfAQuarterTurn();
    void pureTranslations();
    void signsAreAligned_data();
    void signsAreAligned();
    void ownNegationBlendsToItself_data();
    void ownNegationBlendsToItself();
    void bernstein();
    void bezierSamplesAgainstTheQuadraticRecurrence_data();
    void bezierSamplesAgainstTheQuadraticRecurrence();
    void knotVectors_data();
    void knotVectors();
    void publishedBasisValues();
    void basisIsAPartitionOfUnity();
    void badKnotArguments();
    void splineOfDegreeOneIsTheScrewMotion();
    void splineOfDegreeNMinusOneIsTheBezierCurve();
    void threeKeyControlPoses();
    void interpolationPassesThroughKeyPoses_data();
    void interpolationPassesThroughKeyPoses();
    void interpolationOfDegreeOne();
    void interpolationIsSolvedOnceForItsKeyPosesAndDegree();
    void interpolationThatCannotBeTrusted_data();
    void interpolationThatCannotBeTrusted();
};

void TestMotion::initialProperties()
{
    const MotionProperties p;
    QCOMPARE(p.trajectoryColour()[0], 0.7f);
    QCOMPARE(p.trajectoryColour()[2], 0.2f);
    QCOMPARE(p.objectColour()[1], 0.8f);
    QCOMPARE(p.objectSize(), 0.7f);
    QVERIFY(!p.showTrajectory() && !p.showObject() && !p.showFrames());
    QCOMPARE(p.density(), 10);
    QCOMPARE(p.selectedPosition(), 0);
}

// Every part of the program finds a kind's row at its enum value, and the
// row's factory makes that kind.
void TestMotion::kindTable()
{
    const std::vector<MotionKindInfo> &kinds = motionKinds();
    QSet<QString> names;
    for (size_t i = 0; i < kinds.size(); ++i) {
        const MotionKindInfo &kind = kinds[i];
        QCOMPARE(size_t(kind.kind), i);
        names.insert(QString::fromLatin1(kind.name));
        const std::unique_ptr<Motion> motion = createMotion(kind.kind);
        QVERIFY(motion);
        QCOMPARE(motion->properties().density(), 10);
        motion->setDegree(5);
        QCOMPARE(motion->degree() == 5, kind.hasDegree);
        MotionKind parsed = MotionKind::Continuous;
        QCOMPARE(motionKindFromName(kind.name, &parsed), kind.exported);
        if (kind.exported) {
            QCOMPARE(parsed, kind.kind);
            QCOMPARE(kind.source, MotionSource::KeyPositions);
        }
    }
    QCOMPARE(names.size(), int(kinds.size()));
}

void TestMotion::placement()
{
    const DualQuaternion pose = makePose(30.0, QVector3D(1, 2, 3), QVector3D(0.1f, 0.2f, 0.3f));
    const Matrix4 m = posePlacementMatrix(pose);
    const Matrix4 rowMajor = pose.toMatrix();
    QVERIFY(std::abs(m.data()[12] - 1.0) < 1e-6);
    QVERIFY(std::abs(m.data()[13] - 2.0) < 1e-6);
    QVERIFY(std::abs(m.data()[14] + 3.0) < 1e-6);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            QCOMPARE(m.data()[4 * c + r], rowMajor(r, c));
    QVERIFY(samePoint(placedTranslation(pose), ScenePoint { 1.0, 2.0, -3.0 }, 1e-6));
    QVERIFY(!isFiniteMatrix(posePlacementMatrix(DualQuaternion::zero())));
}

void TestMotion::sampleCounts_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("keys");
    QTest::addColumn<int>("density");
    QTest::addColumn<int>("degree");
    QTest::addColumn<int>("count");

    QTest::newRow("screw 2 at 100") << "screw" << 2 << 100 << 0 << 41;
    QTest::newRow("screw 3 at 100") << "screw" << 3 << 100 << 0 << 60;
    QTest::newRow("screw 4 at 100") << "screw" << 4 << 100 << 0 << 81;
    QTest::newRow("screw 2 at 10") << "screw" << 2 << 10 << 0 << 5;
    QTest::newRow("screw 4 at 1") << "screw" << 4 << 1 << 0 << 3;
    QTest::newRow("screw 4 at 0") << "screw" << 4 << 0 << 0 << 3;
    QTest::newRow("screw 1") << "screw" << 1 << 100 << 0 << 0;
    QTest::newRow("screw 0") << "screw" << 0 << 100 << 0 << 0;
    QTest::newRow("screw 2 at -5") << "screw" << 2 << -5 << 0 << 1;
    QTest::newRow("screw 2 at 1e9") << "screw" << 2 << 1000000000 << 0 << 41;

    QTest::newRow("bezier 2 at 100") << "bezier" << 2 << 100 << 0 << 40;
    QTest::newRow("bezier 3 at 100") << "bezier" << 3 << 100 << 0 << 60;
    QTest::newRow("bezier 10 at 100") << "bezier" << 10 << 100 << 0 << 201;
    QTest::newRow("bezier 5 at 50") << "bezier" << 5 << 50 << 0 << 51;
    QTest::newRow("bezier 5 at 0") << "bezier" << 5 << 0 << 0 << 1;
    QTest::newRow("bezier 1") << "bezier" << 1 << 100 << 0 << 0;

    QTest::newRow("approximation 3 degree 2") << "approximation" << 3 << 100 << 2 << 60;
    QTest::newRow("approximation 4 degree 2") << "approximation" << 4 << 100 << 2 << 80;
    QTest::newRow("approximation 4 degree 3") << "approximation" << 4 << 100 << 3 << 80;
    QTest::newRow("approximation 4 degree 1") << "approximation" << 4 << 100 << 1 << 81;
    QTest::newRow("approximation 4 at 0") << "approximation" << 4 << 0 << 2 << 1;
    QTest::newRow("approximation 4 degree 0") << "approximation" << 4 << 100 << 0 << 0;
    QTest::newRow("approximation 2 degree 1") << "approximation" << 2 << 100 << 1 << 0;
    QTest::newRow("approximation 4 degree 4") << "approximation" << 4 << 100 << 4 << 0;
    QTest::newRow("approximation 4 degree 40") << "approximation" << 4 << 100 << 40 << 0;
    QTest::newRow("approximation 4 degree -1") << "approximation" << 4 << 100 << -1 << 0;

    QTest::newRow("interpolation 4 degree 2") << "interpolation" << 4 << 100 << 2 << 80;
    QTest::newRow("interpolation 3 degree 2") << "interpolation" << 3 << 100 << 2 << 60;
    QTest::newRow("interpolation 4 degree 1") << "interpolation" << 4 << 100 << 1 << 81;
    QTest::newRow("interpolation 4 degree 0") << "interpolation" << 4 << 100 << 0 << 0;
    QTest::newRow("interpolation 2 degree 1") << "interpolation" << 2 << 100 << 1 << 0;
    QTest::newRow("interpolation 4 degree 4") << "interpolation" << 4 << 100 << 4 << 0;
    QTest::newRow("interpolation 4 degree -2") << "interpolation" << 4 << 100 << -2 << 0;
}

void TestMotion::sampleCounts()
{
    QFETCH(QString, kind);
    QFETCH(int, keys);
    QFETCH(int, density);
    QFETCH(int, degree);
    QFETCH(int, count);

    const auto motion = computed(kind, keyPoses(keys), density, degree);
    const std::vector<DualQuaternion> samples = motion->sampledPoses();
    QCOMPARE(int(samples.size()), count);
    if (count == 0)
        QVERIFY(motion->trajectoryPoints().empty());
    // Every curve starts at the first key pose.
    if (count > 0)
        QVERIFY(
            maxDifference(samples.front().toMatrix(), keyPoses(keys).front().toMatrix()) < 1e-6);
}

void TestMotion::densityOneDrawsTheKeyPoses()
{
    MScrewMotion screw;
    const std::vector<DualQuaternion> poses = keyPoses(4);
    screw.setKeyPoses(poses);
    screw.properties().setDensity(1);
    const std::vector<DualQuaternion> samples = screw.sampledPoses();
    QCOMPARE(int(samples.size()), 3);
    for (int k = 0; k < 3; ++k)
        QCOMPARE(samples[k], poses[k]);
}

void TestMotion::trajectoryCounts_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("keys");
    QTest::addColumn<int>("degree");
    QTest::addColumn<int>("count");

    QTest::newRow("screw 2") << "screw" << 2 << 0 << 51 + 1;
    QTest::newRow("screw 5") << "screw" << 5 << 0 << 4 * 51 + 1;
    QTest::newRow("bezier 2") << "bezier" << 2 << 0 << 201;
    QTest::newRow("bezier 7") << "bezier" << 7 << 0 << 201;
    QTest::newRow("approximation 5 degree 3") << "approximation" << 5 << 3 << 201;
    QTest::newRow("approximation 5 degree 1") << "approximation" << 5 << 1 << 4 * 51 + 1;
    QTest::newRow("interpolation 5 degree 2") << "interpolation" << 5 << 2 << 201;
}

void TestMotion::trajectoryCounts()
{
    QFETCH(QString, kind);
    QFETCH(int, keys);
    QFETCH(int, degree);
    QFETCH(int, count);

    const std::vector<DualQuaternion> poses = keyPoses(keys);
    // The density does not change the trajectory.
    const auto sparse = computed(kind, poses, 1, degree);
    const auto dense = computed(kind, poses, 100, degree);
    const std::vector<ScenePoint> points = dense->trajectoryPoints();
    QCOMPARE(int(points.size()), count);
    QCOMPARE(int(sparse->trajectoryPoints().size()), count);
    QVERIFY(samePoint(points.front(), placedTranslation(poses.front()), 1e-6));
    QVERIFY(samePoint(points.back(), placedTranslation(poses.back()), 1e-6));
    // The last sampled point lies close to the curve's end, not elsewhere.
    const ScenePoint &beforeLast = points[points.size() - 2];
    QVERIFY(samePoint(beforeLast, points.back(), 0.5));
}

void TestMotion::continuousStride_data()
{
    QTest::addColumn<int>("poses");
    QTest::addColumn<int>("density");
    QTest::addColumn<int>("shown");
    QTest::addColumn<int>("stride");

    QTest::newRow("100 at 100") << 100 << 100 << 100 << 1;
    QTest::newRow("100 at 10") << 100 << 10 << 10 << 10;
    QTest::newRow("100 at 33") << 100 << 33 << 34 << 3;
    QTest::newRow("7 at 10") << 7 << 10 << 1 << 7;
    QTest::newRow("7 at 0") << 7 << 0 << 1 << 7;
    QTest::newRow("7 at 1000") << 7 << 1000 << 7 << 1;
    QTest::newRow("none") << 0 << 100 << 0 << 1;
}

void TestMotion::continuousStride()
{
    QFETCH(int, poses);
    QFETCH(int, density);
    QFETCH(int, shown);
    QFETCH(int, stride);

    MContinuousMotion continuous;
    const std::vector<DualQuaternion> captured = keyPoses(poses);
    continuous.setKeyPoses(captured);
    continuous.properties().setDensity(density);
    const std::vector<DualQuaternion> samples = continuous.sampledPoses();
    QCOMPARE(int(samples.size()), shown);
    for (int i = 0; i < shown; ++i)
        QCOMPARE(samples[i], captured[i * stride]);
    QCOMPARE(int(continuous.trajectoryPoints().size()), poses);
    QVERIFY(continuous.shownPoses().empty());
    QCOMPARE(continuous.shownPose(0), DualQuaternion::zero());
}

void TestMotion::blendOfAQuarterTurn()
{
    MScrewMotion screw;
    screw.setKeyPoses({ makePose(0.0, QVector3D(0, 0, 1), QVector3D()),
        makePose(90.0, QVector3D(0, 0, 1), QVector3D()) });
    screw.properties().setDensity(10);
    const std::vector<DualQuaternion> samples = screw.sampledPoses();
    QCOMPARE(int(samples.size()), 5);
    const double expected[5] = { 0.0, 21.6, 45.0, 68.4, 90.0 };
    for (int i = 0; i < 5; ++i)
        QVERIFY2(std::abs(angleAboutZ(samples[i]) - expected[i]) < 0.05,
            qPrintable(QString::number(angleAboutZ(samples[i]))));
}

void TestMotion::pureTranslations()
{
    MScrewMotion screw;
    screw.setKeyPoses({ makePose(0.0, QVector3D(0, 0, 1), QVector3D()),
        makePose(0.0, QVector3D(0, 0, 1), QVector3D(0.1f, 0.0f, 0.0f)) });
    screw.properties().setDensity(10);
    const std::vector<DualQuaternion> samples = screw.sampledPoses();
    QCOMPARE(int(samples.size()), 5);
    for (int i = 0; i < 5; ++i)
        QVERIFY(samePoint(placedTranslation(samples[i]), ScenePoint { 0.25 * i, 0.0, 0.0 }, 1e-6));

    MBezierMotion bezier;
    bezier.setKeyPoses({ makePose(0.0, QVector3D(0, 0, 1), QVector3D()),
        makePose(0.0, QVector3D(0, 0, 1), QVector3D(0.1f, 0.1f, 0.0f)),
        makePose(0.0, QVector3D(0, 0, 1), QVector3D(0.2f, 0.0f, 0.0f)) });
    const std::vector<ScenePoint> points = bezier.trajectoryPoints();
    QCOMPARE(int(points.size()), 201);
    // Point 100 is t = 0.5 up to the rounding of the summed steps.
    QVERIFY(samePoint(points[100], ScenePoint { 1.0, 0.5, 0.0 }, 1e-6));
    QVERIFY(samePoint(points[50], ScenePoint { 0.5, 0.375, 0.0 }, 1e-6));
}

void TestMotion::signsAreAligned_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("degree");
    QTest::newRow("screw") << "screw" << 0;
    QTest::newRow("bezier") << "bezier" << 0;
    QTest::newRow("approximation") << "approximation" << 2;
    QTest::newRow("interpolation") << "interpolation" << 2;
}

// Turns of -74, -90 and -106 degrees about z, as the capture stores them: the
// largest component positive, so the last one has the opposite sign. The
// motion must turn the short way, staying between -74 and -106 degrees.
void TestMotion::signsAreAligned()
{
    QFETCH(QString, kind);
    QFETCH(int, degree);

    const std::vector<DualQuaternion> poses
        = { capturedPose(-74.0, QVector3D(0, 0, 1), QVector3D()),
              capturedPose(-90.0, QVector3D(0, 0, 1), QVector3D(0.1f, 0, 0)),
              capturedPose(-106.0, QVector3D(0, 0, 1), QVector3D(0.2f, 0, 0)) };
    QVERIFY(Quaternion::dot(poses[0].realPart(), poses[2].realPart()) < 0.0);
    const auto motion = computed(kind, poses, 100, degree);
    const std::vector<DualQuaternion> samples = motion->sampledPoses();
    QVERIFY(samples.size() >= 40);
    for (const DualQuaternion &sample : samples) {
        const double angle = angleAboutZ(sample);
        QVERIFY2(angle <= -73.9 && angle >= -106.1, qPrintable(QString::number(angle)));
    }
    for (const ScenePoint &p : motion->trajectoryPoints())
        QVERIFY(p.x >= -1e-6 && p.x <= 2.0 + 1e-6 && std::abs(p.y) < 0.3);
}

void TestMotion::ownNegationBlendsToItself_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("degree");
    QTest::addColumn<int>("keys");
    QTest::addColumn<int>("density");
    // Density 10 with two key poses samples t = 0.5, where the unaligned
    // blend vanishes.
    QTest::newRow("screw") << "screw" << 0 << 2 << 10;
    QTest::newRow("bezier") << "bezier" << 0 << 2 << 10;
    QTest::newRow("approximation") << "approximation" << 2 << 3 << 100;
    QTest::newRow("interpolation") << "interpolation" << 2 << 3 << 100;
}

// A pose followed by its negation (and the pose again) is one pose: every
// sample is that pose, none vanishes, and the stored poses keep their signs.
void TestMotion::ownNegationBlendsToItself()
{
    QFETCH(QString, kind);
    QFETCH(int, degree);
    QFETCH(int, keys);
    QFETCH(int, density);

    const DualQuaternion pose = makePose(40.0, QVector3D(1, 1, 0), QVector3D(0.3f, -0.1f, 0.2f));
    const DualQuaternion negated = -1.0 * pose;
    std::vector<DualQuaternion> poses;
    for (int k = 0; k < keys; ++k)
        poses.push_back(k % 2 == 0 ? pose : negated);
    const auto motion = computed(kind, poses, density, degree);
    const std::vector<DualQuaternion> samples = motion->sampledPoses();
    QVERIFY(!samples.empty());
    for (const DualQuaternion &sample : samples)
        QVERIFY(maxDifference(sample.toMatrix(), pose.toMatrix()) < 1e-9);

    MScrewMotion screw;
    screw.setKeyPoses(poses);
    (void)screw.sampledPoses();
    QCOMPARE(screw.keyPoses()[1], negated);
}

// The values by hand, then against the quadratic recurrence, for every
// degree up to 60 and t at, near and beyond the ends.
void TestMotion::bernstein()
{
    const MBezierMotion bezier;
    QCOMPARE(bezier.allBernstein(2, 0.5), std::vector<double>({ 0.25, 0.5, 0.25 }));
    QCOMPARE(bezier.allBernstein(0, 0.3), std::vector<double>({ 1.0 }));
    QVERIFY(bezier.allBernstein(-1, 0.3).empty());
    std::vector<double> ts
        = { 0.0, 1e-9, 0.005, 0.1, 1.0 / 3.0, 0.5, 0.77, 0.995, 1.0 - 1e-9, 1.0, -0.25, 1.5 };
    for (int degree = 1; degree <= 60; ++degree)
        for (double t : ts) {
            const std::vector<double> fast = bezier.allBernstein(degree, t);
            const std::vector<double> reference = quadraticBernstein(degree, t);
            QCOMPARE(fast.size(), reference.size());
            // Values below the smallest normal double keep fewer bits: they
            // agree to 1e-12 of that smallest one.
            for (int k = 0; k <= degree; ++k)
                QVERIFY2(std::abs(fast[k] - reference[k])
                        <= 1e-12 * (std::abs(reference[k]) + std::numeric_limits<double>::min()),
                    qPrintable(QStringLiteral("degree %1, t = %2, k = %3: %4, not %5")
                                   .arg(degree)
                                   .arg(t)
                                   .arg(k)
                                   .arg(fast[k], 0, 'g', 17)
                                   .arg(reference[k], 0, 'g', 17)));
        }

    // At 1,000 key poses t^k (1 - t)^(n - k) underflows long before the
    // values do: they stay finite, sum to 1 and end exactly at the ends.
    for (double t : { 0.0, 0.003, 0.5, 0.9, 0.999, 1.0 }) {
        const std::vector<double> b = bezier.allBernstein(999, t);
        double sum = 0.0;
        for (double v : b) {
            QVERIFY(std::isfinite(v) && v >= 0.0);
            sum += v;
        }
        QVERIFY2(std::abs(sum - 1.0) < 1e-13, qPrintable(QString::number(sum - 1.0)));
    }
    QCOMPARE(bezier.allBernstein(999, 0.0).front(), 1.0);
    QCOMPARE(bezier.allBernstein(999, 1.0).back(), 1.0);
    // The largest value at 1,000 key poses, C(999, 500) 0.5^999, by hand.
    QVERIFY(std::abs(bezier.allBernstein(999, 0.5)[500] / 0.025225 - 1.0) < 1e-4);
}

void TestMotion::bezierSamplesAgainstTheQuadraticRecurrence_data()
{
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("density");
    QTest::newRow("2 key poses") << 2 << 100;
    QTest::newRow("3 key poses") << 3 << 100;
    QTest::newRow("10 key poses") << 10 << 37;
    QTest::newRow("33 key poses") << 33 << 100;
    QTest::newRow("60 key poses") << 60 << 100;
}

// The drawn poses are the Bezier curve of the key poses, sampled as ever:
// each equals the sum of the key poses weighted by the quadratic recurrence.
void TestMotion::bezierSamplesAgainstTheQuadraticRecurrence()
{
    QFETCH(int, n);
    QFETCH(int, density);
    const std::vector<DualQuaternion> poses = signAlignedPoses(keyPoses(n));
    MBezierMotion bezier;
    bezier.setKeyPoses(keyPoses(n));
    bezier.properties().setDensity(density);
    const std::vector<DualQuaternion> samples = bezier.sampledPoses();
    const float step = samplingStep(density, n);
    int i = 0;
    for (double t = 0.0; t <= 1.0; t += double(step), ++i) {
        QVERIFY(i < int(samples.size()));
        const std::vector<double> b = quadraticBernstein(n - 1, t);
        DualQuaternion expected = DualQuaternion::zero();
        for (int j = 0; j < n; ++j)
            expected = expected + b[j] * poses[j];
        QVERIFY2(relativeDifference(samples[i], expected) <= 1e-12,
            qPrintable(QStringLiteral("sample %1: %2")
                           .arg(i)
                           .arg(relativeDifference(samples[i], expected))));
    }
    QCOMPARE(i, int(samples.size()));
    QCOMPARE(samples.front(), poses.front());
}

void TestMotion::knotVectors_data()
{
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("degree");
    QTest::addColumn<std::vector<double>>("knots");

    QTest::newRow("3, 2") << 3 << 2 << std::vector<double> { 0, 0, 0, 1, 1, 1 };
    QTest::newRow("4, 2") << 4 << 2 << std::vector<double> { 0, 0, 0, 0.5, 1, 1, 1 };
    QTest::newRow("5, 3") << 5 << 3 << std::vector<double> { 0, 0, 0, 0, 0.5, 1, 1, 1, 1 };
    QTest::newRow("5, 2") << 5 << 2
                          << std::vector<double> { 0, 0, 0, 0.3333333432674408, 0.6666666865348816,
                                 1, 1, 1 };
    QTest::newRow("3, 0") << 3 << 0
                          << std::vector<double> { 0, 0.3333333432674408, 0.6666666865348816, 1 };
    QTest::newRow("degree n") << 3 << 3 << std::vector<double>();
    QTest::newRow("degree -1") << 3 << -1 << std::vector<double>();
}

void TestMotion::knotVectors()
{
    QFETCH(int, n);
    QFETCH(int, degree);
    QFETCH(std::vector<double>, knots);

    MRBSplineMotion spline;
    spline.setKeyPoses(keyPoses(n));
    spline.setDegree(degree);
    QCOMPARE(spline.uniformKnotVector(), knots);
}

// Values from the textbook example of a quadratic B-spline over the knots
// 0, 0, 0, 1, 2, 3, 4, 4, 5, 5, 5 at u = 5/2.
void TestMotion::publishedBasisValues()
{
    const std::vector<double> knots = { 0, 0, 0, 1, 2, 3, 4, 4, 5, 5, 5 };
    const int span = findKnotSpan(7, 2, 2.5f, knots);
    QCOMPARE(span, 4);
    QCOMPARE(basisFunctions(span, 2.5, 2, knots), std::vector<float>({ 0.125f, 0.75f, 0.125f }));

    const std::vector<double> clamped = { 0, 0, 0, 0.5, 1, 1, 1 };
    QCOMPARE(findKnotSpan(3, 2, 0.5f, clamped), 3);
    QCOMPARE(findKnotSpan(3, 2, 0.0f, clamped), 2);
    QCOMPARE(findKnotSpan(3, 2, 1.0f, clamped), 3);
}

void TestMotion::basisIsAPartitionOfUnity()
{
    for (int n = 2; n <= 12; ++n) {
        for (int p = 0; p < n; ++p) {
            const std::vector<double> knots = MRBSplineMotion::uniformKnotVector(n, p);
            for (int s = 0; s <= 64; ++s) {
                const double t = s / 64.0;
                const int span = findKnotSpan(n - 1, p, float(t), knots);
                QVERIFY(span >= p && span <= n - 1);
                QVERIFY(knots[span] <= t && (t < knots[span + 1] || span == n - 1));
                const std::vector<float> basis = basisFunctions(span, t, p, knots);
                QCOMPARE(int(basis.size()), p + 1);
                double sum = 0.0;
                for (float b : basis) {
                    QVERIFY(b >= -1e-6f);
                    sum += b;
                }
                QVERIFY(std::abs(sum - 1.0) < 1e-5);
            }
        }
    }
}

void TestMotion::badKnotArguments()
{
    const std::vector<double> knots = { 0, 0, 0, 1, 1, 1 };
    QCOMPARE(findKnotSpan(2, -1, 0.5f, knots), -1);
    QCOMPARE(findKnotSpan(1, 2, 0.5f, knots), -1);
    QCOMPARE(findKnotSpan(9, 2, 0.5f, knots), -1);
    QCOMPARE(findKnotSpan(2, 2, 7.0f, knots), 2);
    QCOMPARE(findKnotSpan(2, 2, -7.0f, knots), 2);
    QCOMPARE(findKnotSpan(2, 2, std::nanf(""), knots), 2);
    const std::vector<double> shuffled = { 0, 0.9, 0.1, 0.8, 0.2, 0.7, 0.3, 1, 1 };
    for (float t : { 0.05f, 0.5f, 0.95f }) {
        const int span = findKnotSpan(6, 1, t, shuffled);
        QVERIFY(span >= 1 && span <= 6);
    }
    QVERIFY(basisFunctions(5, 0.5, 2, knots).empty());
    QVERIFY(basisFunctions(0, 0.5, 2, knots).empty());
    QVERIFY(basisFunctions(2, 0.5, -1, knots).empty());
}

void TestMotion::splineOfDegreeOneIsTheScrewMotion()
{
    const std::vector<DualQuaternion> poses = keyPoses(5);
    MScrewMotion screw;
    screw.setKeyPoses(poses);
    screw.properties().setDensity(37);
    MRBSplineMotion spline;
    spline.setKeyPoses(poses);
    spline.setDegree(1);
    spline.properties().setDensity(37);
    QCOMPARE(spline.sampledPoses(), screw.sampledPoses());
    const std::vector<ScenePoint> a = spline.trajectoryPoints(), b = screw.trajectoryPoints();
    QCOMPARE(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i)
        QVERIFY(samePoint(a[i], b[i], 0.0));
}

void TestMotion::splineOfDegreeNMinusOneIsTheBezierCurve()
{
    const std::vector<DualQuaternion> poses = keyPoses(6);
    MBezierMotion bezier;
    bezier.setKeyPoses(poses);
    bezier.properties().setDensity(100);
    MRBSplineMotion spline;
    spline.setKeyPoses(poses);
    spline.setDegree(5);
    spline.properties().setDensity(100);
    const std::vector<DualQuaternion> b = bezier.sampledPoses(), s = spline.sampledPoses();
    // Same step; the B-spline stops short of t = 1.
    QVERIFY(s.size() == b.size() || s.size() + 1 == b.size());
    for (size_t i = 0; i < s.size(); ++i)
        QVERIFY(maxDifference(s[i].toMatrix(), b[i].toMatrix()) < 1e-5);
}

void TestMotion::threeKeyControlPoses()
{
    const std::vector<DualQuaternion> k = keyPoses(3);
    MRBSplineInterpolation interpolation;
    interpolation.setKeyPoses(k);
    interpolation.setDegree(2);
    QCOMPARE(interpolation.uniformParameters(), std::vector<double>({ 0.0, 0.5, 1.0 }));
    const std::vector<DualQuaternion> control = interpolation.interpolationControlPoints();
    QCOMPARE(int(control.size()), 3);
    const DualQuaternion middle = 2.0 * k[1] + (-0.5) * k[0] + (-0.5) * k[2];
    const DualQuaternion expected[3] = { k[0], middle, k[2] };
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c) {
            QVERIFY(
                std::abs(control[r].component(c).real() - expected[r].component(c).real()) < 1e-12);
            QVERIFY(
                std::abs(control[r].component(c).dual() - expected[r].component(c).dual()) < 1e-12);
        }

    // Two key poses: control poses, but nothing to draw.
    interpolation.setKeyPoses(keyPoses(2));
    interpolation.setDegree(1);
    QCOMPARE(int(interpolation.interpolationControlPoints().size()), 2);
    QVERIFY(interpolation.sampledPoses().empty());
}

void TestMotion::interpolationPassesThroughKeyPoses_data()
{
    QTest::addColumn<int>("n");
    for (int n = 3; n <= 12; ++n)
        QTest::newRow(qPrintable(QStringLiteral("%1 key poses").arg(n))) << n;
}

void TestMotion::interpolationPassesThroughKeyPoses()
{
    QFETCH(int, n);
    const std::vector<DualQuaternion> poses = keyPoses(n);
    MRBSplineInterpolation interpolation;
    interpolation.setKeyPoses(poses);
    for (int p = 0; p <= n - 1; ++p) {
        interpolation.setDegree(p);
        const std::vector<DualQuaternion> control = interpolation.interpolationControlPoints();
        QCOMPARE(int(control.size()), n);
        const std::vector<double> knots = MRBSplineMotion::uniformKnotVector(n, p);
        for (int k = 0; k < n; ++k) {
            const double u = double(k) / (n - 1);
            const Matrix4 curve = MRBSplineMotion::curvePoint(control, p, knots, u).toMatrix();
            QVERIFY2(maxDifference(curve, poses[k].toMatrix()) < 1e-5,
                qPrintable(QStringLiteral("degree %1, key pose %2").arg(p).arg(k)));
        }
    }
    interpolation.setDegree(n);
    QVERIFY(interpolation.interpolationControlPoints().empty());
}

void TestMotion::interpolationOfDegreeOne()
{
    const std::vector<DualQuaternion> poses = keyPoses(5);
    MRBSplineInterpolation interpolation;
    interpolation.setKeyPoses(poses);
    interpolation.setDegree(1);
    interpolation.properties().setDensity(100);
    const std::vector<DualQuaternion> control = interpolation.interpolationControlPoints();
    for (size_t k = 0; k < poses.size(); ++k)
        QVERIFY(maxDifference(control[k].toMatrix(), poses[k].toMatrix()) < 1e-6);

    MScrewMotion screw;
    screw.setKeyPoses(poses);
    screw.properties().setDensity(100);
    const std::vector<DualQuaternion> a = interpolation.sampledPoses(), b = screw.sampledPoses();
    QCOMPARE(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i)
        QVERIFY(maxDifference(a[i].toMatrix(), b[i].toMatrix()) < 1e-6);
}

// A paint sets the same key poses and degree again and again: the basis
// matrix is inverted when the count or the degree changes, the control poses
// solved again when the poses change.
void TestMotion::interpolationIsSolvedOnceForItsKeyPosesAndDegree()
{
    std::vector<DualQuaternion> poses = keyPoses(8);
    MRBSplineInterpolation interpolation;
    interpolation.properties().setDensity(100);
    interpolation.properties().setShowTrajectory(true);
    interpolation.setKeyPoses(poses);
    const std::vector<DualQuaternion> control = interpolation.interpolationControlPoints();
    for (int paint = 0; paint < 3; ++paint) {
        interpolation.setKeyPoses(poses);
        interpolation.setDegree(3);
        QVERIFY(!interpolation.prepareDrawing().poses.empty());
        interpolation.sampledPoses();
        interpolation.trajectoryPoints();
        QVERIFY(!interpolation.interpolationFailed());
    }
    QCOMPARE(interpolation.inversions(), 1);
    QCOMPARE(interpolation.interpolationControlPoints(), control);

    // A moved key pose: the same matrix, new control poses through it.
    poses[4] = makePose(10.0, QVector3D(1, 0, 0), QVector3D(0.3f, 0.1f, 0.0f));
    interpolation.setKeyPoses(poses);
    const std::vector<DualQuaternion> moved = interpolation.interpolationControlPoints();
    QCOMPARE(interpolation.inversions(), 1);
    QVERIFY(moved != control);
    const std::vector<double> knots = MRBSplineMotion::uniformKnotVector(8, 3);
    QVERIFY(maxDifference(MRBSplineMotion::curvePoint(moved, 3, knots, 4.0 / 7.0).toMatrix(),
                poses[4].toMatrix())
        < 1e-5);

    interpolation.setDegree(2);
    interpolation.sampledPoses();
    QCOMPARE(interpolation.inversions(), 2);
    poses.push_back(poses.back());
    interpolation.setKeyPoses(poses);
    interpolation.sampledPoses();
    QCOMPARE(interpolation.inversions(), 3);
    // Degrees outside 0 .. n - 1 have no matrix to invert and fail nothing.
    interpolation.setDegree(9);
    QVERIFY(interpolation.interpolationControlPoints().empty());
    QVERIFY(!interpolation.interpolationFailed());
    QCOMPARE(interpolation.inversions(), 3);
}

void TestMotion::interpolationThatCannotBeTrusted_data()
{
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("degree");
    QTest::addColumn<bool>("fails");
    QTest::newRow("48 at degree 3") << 48 << 3 << false;
    QTest::newRow("49 at degree 3: amplifies") << 49 << 3 << true;
    QTest::newRow("60 at degree 3: amplifies") << 60 << 3 << true;
    QTest::newRow("250 at degree 3: singular") << 250 << 3 << true;
    QTest::newRow("250 at degree 2") << 250 << 2 << false;
    QTest::newRow("12 at degree 11") << 12 << 11 << false;
    QTest::newRow("13 at degree 12: amplifies") << 13 << 12 << true;
}

void TestMotion::interpolationThatCannotBeTrusted()
{
    QFETCH(int, n);
    QFETCH(int, degree);
    QFETCH(bool, fails);
    MRBSplineInterpolation interpolation;
    interpolation.setKeyPoses(keyPoses(n));
    interpolation.setDegree(degree);
    interpolation.properties().setDensity(10);
    QCOMPARE(interpolation.interpolationFailed(), fails);
    const double residual = interpolation.inverseResidual();
    const double amplification = interpolation.inverseAmplification();
    const QString seen
        = QStringLiteral("residual %1, amplification %2").arg(residual).arg(amplification);
    if (fails) {
        QVERIFY2(residual > MRBSplineInterpolation::maxInverseResidual
                || amplification > MRBSplineInterpolation::maxAmplification,
            qPrintable(seen));
        // Nothing is drawn for it.
        QVERIFY(interpolation.interpolationControlPoints().empty());
        QVERIFY(interpolation.sampledPoses().empty());
        QVERIFY(interpolation.trajectoryPoints().empty());
    } else {
        QVERIFY2(residual <= MRBSplineInterpolation::maxInverseResidual, qPrintable(seen));
        // Every row of the inverse sums to one, as every row of the basis
        // matrix does: the amplification is at least 1.
        QVERIFY2(amplification >= 1.0 - 1e-9
                && amplification <= MRBSplineInterpolation::maxAmplification,
            qPrintable(seen));
        QCOMPARE(int(interpolation.interpolationControlPoints().size()), n);
        QVERIFY(!interpolation.sampledPoses().empty());
    }
}

QTEST_MAIN(TestMotion)
#include "tst_motion.moc"
