#include "algebra/DenseMatrix.h"
#include "algebra/DualQuaternion.h"
#include "algebra/Matrix4.h"
#include "algebra/Quaternion.h"
#include "tests/support/AlgebraTestSupport.h"

#include <QMatrix3x3>
#include <QQuaternion>
#include <QtTest>

#include <cmath>
#include <limits>

Q_DECLARE_METATYPE(Quaternion)

class TestQuaternion : public QObject {
    Q_OBJECT

private slots:
    void defaultValues();
    void hamiltonProduct_data();
    void hamiltonProduct();
    void identityIsNeutral();
    void componentOperations();
    void divisionByZeroPropagates();
    void productComposesRotations();
    void rotationMatrixMatchesQtOracle();
    void rotationMatrixOfPublishedExample();
    void rotationMatrixIgnoresLength_data();
    void rotationMatrixIgnoresLength();
    void dualQuaternionLayout();
    void fromRotationTranslation();
    void sumAndScalarProduct();
};

void TestQuaternion::defaultValues()
{
    QCOMPARE(Quaternion(), Quaternion(0, 0, 0, 0));
    const DualNumber d;
    QVERIFY(d.real() == 1.0 && d.dual() == 0.0);
    const DualQuaternion zero = DualQuaternion::zero();
    for (int i = 0; i < 4; ++i)
        QCOMPARE(zero.component(i), DualNumber(0.0, 0.0));
}

void TestQuaternion::hamiltonProduct_data()
{
    QTest::addColumn<Quaternion>("a");
    QTest::addColumn<Quaternion>("b");
    QTest::addColumn<Quaternion>("product");
    const Quaternion i(1, 0, 0, 0), j(0, 1, 0, 0), k(0, 0, 1, 0), one(0, 0, 0, 1);
    QTest::newRow("i*j = k") << i << j << k;
    QTest::newRow("j*i = -k") << j << i << Quaternion(0, 0, -1, 0);
    QTest::newRow("j*k = i") << j << k << i;
    QTest::newRow("k*i = j") << k << i << j;
    QTest::newRow("i*i = -1") << i << i << Quaternion(0, 0, 0, -1);
    QTest::newRow("k*k = -1") << k << k << Quaternion(0, 0, 0, -1);
    // Worked by hand from (a0 + a)(b0 + b) = a0 b0 - a.b + a0 b + b0 a + a x b.
    QTest::newRow("general") << Quaternion(1, 2, 3, 4) << Quaternion(5, 6, 7, 8)
                             << Quaternion(24, 48, 48, -6);
    QTest::newRow("general reversed")
        << Quaternion(5, 6, 7, 8) << Quaternion(1, 2, 3, 4) << Quaternion(32, 32, 56, -6);
}

void TestQuaternion::hamiltonProduct()
{
    QFETCH(Quaternion, a);
    QFETCH(Quaternion, b);
    QFETCH(Quaternion, product);
    QCOMPARE(a * b, product);
}

void TestQuaternion::identityIsNeutral()
{
    const Quaternion one(0, 0, 0, 1);
    for (const RotationSample &s : sampleRotations(11, 40)) {
        const Quaternion q = 3.5 * s.q;
        QCOMPARE(one * q, q);
        QCOMPARE(q * one, q);
    }
}

void TestQuaternion::componentOperations()
{
    const Quaternion a(1, 2, 3, 4), b(0.5, -1, 8, 2);
    QCOMPARE(a.conjugate(), Quaternion(-1, -2, -3, 4));
    QVERIFY(a.squaredNorm() == 30.0);
    QVERIFY(Quaternion::dot(a, b) == 30.5);
    QCOMPARE(a - b, Quaternion(0.5, 3, -5, 2));
    QCOMPARE(2.0 * a, Quaternion(2, 4, 6, 8));
    QCOMPARE(a / 4.0, Quaternion(0.25, 0.5, 0.75, 1));
    const double v[4] = { 9, 8, 7, 6 };
    const Quaternion fromArray(v);
    QCOMPARE(fromArray, Quaternion(9, 8, 7, 6));
    QVERIFY(fromArray.w() == 6.0);
}

void TestQuaternion::divisionByZeroPropagates()
{
    const Quaternion q = Quaternion(1, -1, 0, 2) / 0.0;
    QVERIFY(std::isinf(q.x()) && q.x() > 0);
    QVERIFY(std::isinf(q.y()) && q.y() < 0);
    QVERIFY(std::isnan(q.z()));
    QVERIFY(std::isinf(q.w()));
}

// (a * b) applied to a vector applies b first: R(a * b) = R(a) R(b).
void TestQuaternion::productComposesRotations()
{
    const auto samples = sampleRotations(21, 30);
    for (size_t i = 0; i + 1 < samples.size(); ++i) {
        const Quaternion a = samples[i].q, b = samples[i + 1].q;
        const Matrix4 ra = matrix4FromRotation(a.toRotationMatrix());
        const Matrix4 rb = matrix4FromRotation(b.toRotationMatrix());
        Matrix4 composed;
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                for (int k = 0; k < 4; ++k)
                    composed(r, c) += ra(r, k) * rb(k, c);
        const Matrix4 product = matrix4FromRotation((a * b).toRotationMatrix());
        // Entries of size 1, a few roundings each.
        QVERIFY2(maxAbsDifference(product, composed) <= 1e-14,
            describe(product) + " vs " + describe(composed));
    }
}

// Qt's own quaternion, in single precision, as an independent oracle.
void TestQuaternion::rotationMatrixMatchesQtOracle()
{
    for (const RotationSample &s : sampleRotations(31, 60)) {
        const QQuaternion qt = QQuaternion::fromAxisAndAngle(
            QVector3D(float(s.axis[0]), float(s.axis[1]), float(s.axis[2])),
            float(s.angleRadians * 180.0 / M_PI));
        const QMatrix3x3 expected = qt.toRotationMatrix();
        const DenseMatrix r = s.q.toRotationMatrix();
        QCOMPARE(r.rows, 3);
        QCOMPARE(r.cols, 3);
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                // Qt works in floats: a few units of 2^-24 per entry.
                QVERIFY2(std::fabs(r.data[i][j] - double(expected(i, j))) <= 1e-6, s.kind);
    }
}

// A third of a turn about (1, 1, 1) cycles the axes: x -> y -> z -> x.
void TestQuaternion::rotationMatrixOfPublishedExample()
{
    const double s = std::sin(M_PI / 3.0) / std::sqrt(3.0);
    const Quaternion q(s, s, s, 0.5);
    const Matrix4 r = matrix4FromRotation(q.toRotationMatrix());
    Matrix4 expected;
    expected(0, 2) = 1;
    expected(1, 0) = 1;
    expected(2, 1) = 1;
    expected(3, 3) = 1;
    QVERIFY2(maxAbsDifference(r, expected) <= 1e-15, describe(r));
}

void TestQuaternion::rotationMatrixIgnoresLength_data()
{
    QTest::addColumn<double>("scale");
    QTest::newRow("2") << 2.0;
    QTest::newRow("-1") << -1.0;
    QTest::newRow("1e-150") << 1e-150;
    QTest::newRow("-7.3e5") << -7.3e5;
}

void TestQuaternion::rotationMatrixIgnoresLength()
{
    QFETCH(double, scale);
    for (const RotationSample &s : sampleRotations(41, 20)) {
        const Matrix4 unit = matrix4FromRotation(s.q.toRotationMatrix());
        const Matrix4 scaled = matrix4FromRotation((scale * s.q).toRotationMatrix());
        QVERIFY2(maxAbsDifference(unit, scaled) <= 1e-15, s.kind);
    }
}

void TestQuaternion::dualQuaternionLayout()
{
    const double real[4] = { 1, 2, 3, 4 };
    const double dual[4] = { 5, 6, 7, 8 };
    const DualQuaternion q(real, dual);
    QCOMPARE(q.realPart(), Quaternion(1, 2, 3, 4));
    QCOMPARE(q.dualPart(), Quaternion(5, 6, 7, 8));
    QCOMPARE(q.component(0), DualNumber(1, 5));
    QCOMPARE(q.component(3), DualNumber(4, 8));
}

void TestQuaternion::fromRotationTranslation()
{
    const double identity[4] = { 0, 0, 0, 1 };
    const double t[4] = { 1, 2, 3, 0 };
    DualQuaternion q = DualQuaternion::fromRotationTranslation(identity, t);
    QCOMPARE(q.realPart(), Quaternion(0, 0, 0, 1));
    QCOMPARE(q.dualPart(), Quaternion(0.5, 1, 1.5, 0));

    // The translation factor is on the left: 0.5 * T * Q, not 0.5 * Q * T.
    const double quarterZ[4] = { 0, 0, std::sqrt(0.5), std::sqrt(0.5) };
    q = DualQuaternion::fromRotationTranslation(quarterZ, t);
    const Quaternion expected = 0.5 * (Quaternion(t) * Quaternion(quarterZ));
    QCOMPARE(q.dualPart(), expected);
    QVERIFY(q.dualPart() != 0.5 * (Quaternion(quarterZ) * Quaternion(t)));
}

void TestQuaternion::sumAndScalarProduct()
{
    unsigned seed = 0;
    for (const RotationSample &s : sampleRotations(51, 20)) {
        double t[4];
        sampleTranslation(++seed, t);
        const DualQuaternion q = DualQuaternion::fromRotationTranslation(s.q.data(), t);
        QCOMPARE(q + q, 2.0 * q);
        QCOMPARE(0.0 * q, DualQuaternion::zero());
        QCOMPARE(DualQuaternion::zero() + q, q);
        // Every one of the eight doubles scaled and added on its own.
        double real[4], dual[4];
        for (int i = 0; i < 4; ++i) {
            real[i] = 0.25 * q.component(i).real() + -1.5 * q.component(i).real();
            dual[i] = 0.25 * q.component(i).dual() + -1.5 * q.component(i).dual();
        }
        QCOMPARE(0.25 * q + -1.5 * q, DualQuaternion(real, dual));
    }
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double withNaN[4] = { nan, 0, 0, 1 };
    const DualQuaternion q(withNaN, withNaN);
    QVERIFY(q != q);
}

QTEST_APPLESS_MAIN(TestQuaternion)
#include "tst_quaternion.moc"
