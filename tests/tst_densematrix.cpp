#include "algebra/DenseMatrix.h"

#include <QtTest>

#include <cmath>
#include <limits>
#include <random>
#include <utility>
#include <vector>

using Rows = std::vector<std::vector<double>>;
Q_DECLARE_METATYPE(Rows)

namespace {

DenseMatrix fromRows(const Rows &rows)
{
    DenseMatrix m(int(rows.size()), rows.empty() ? 0 : int(rows[0].size()));
    for (int i = 0; i < m.rows; ++i)
        for (int j = 0; j < m.cols; ++j)
            m.data[i][j] = rows[size_t(i)][size_t(j)];
    return m;
}

Rows toRows(const DenseMatrix &m)
{
    Rows rows(size_t(m.rows), std::vector<double>(size_t(m.cols)));
    for (int i = 0; i < m.rows; ++i)
        for (int j = 0; j < m.cols; ++j)
            rows[size_t(i)][size_t(j)] = m.data[i][j];
    return rows;
}

// Element by element; with signedZeros, -0.0 and 0.0 differ too.
bool identical(const Rows &a, const Rows &b, bool signedZeros = false)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (a[i].size() != b[i].size())
            return false;
        for (size_t j = 0; j < a[i].size(); ++j)
            if (a[i][j] != b[i][j]
                || (signedZeros && std::signbit(a[i][j]) != std::signbit(b[i][j])))
                return false;
    }
    return true;
}

QByteArray describe(const Rows &rows)
{
    QByteArray text = "(";
    for (const auto &row : rows) {
        text += "(";
        for (double v : row)
            text
                += (std::signbit(v) && v == 0.0 ? QByteArray("-0") : QByteArray::number(v, 'g', 17))
                + " ";
        text += ")";
    }
    return text + ")";
}

const double inf = std::numeric_limits<double>::infinity();
const double notANumber = std::numeric_limits<double>::quiet_NaN();

} // namespace

class TestDenseMatrix : public QObject {
    Q_OBJECT

private slots:
    void inverseCases_data();
    void inverseCases();
    void failedInverse_data();
    void failedInverse();
    void inverseTimesMatrixIsIdentity();
    void copiesOwnTheirStorage();
    void emptyShapes();
};

void TestDenseMatrix::inverseCases_data()
{
    QTest::addColumn<Rows>("input");
    QTest::addColumn<Rows>("expected");
    QTest::addColumn<bool>("signedZeros");
    QTest::newRow("1 x 1") << Rows { { 4 } } << Rows { { 0.25 } } << false;
    // Pivot (0, 1), the first of the two ones; the exchanges are undone.
    QTest::newRow("exchange") << Rows { { 0, 1 }, { 1, 0 } } << Rows { { 0, 1 }, { 1, 0 } }
                              << false;
    // The first pivot is the 4 at (1, 1). Both off-diagonal zeros are
    // negated by the elimination and come out as -0.0.
    QTest::newRow("diagonal, pivot last")
        << Rows { { 2, 0 }, { 0, 4 } } << Rows { { 0.5, -0.0 }, { -0.0, 0.25 } } << true;
    QTest::newRow("tiny but regular") << Rows { { 1e-15 } } << Rows { { 1.0 / 1e-15 } } << false;
    QTest::newRow("3 x 3 permutation")
        << Rows { { 0, 0, 2 }, { 1, 0, 0 }, { 0, -4, 0 } }
        << Rows { { 0, 1, 0 }, { 0, 0, -0.25 }, { 0.5, 0, 0 } } << false;
    // An infinite entry that cancels cleanly gives the finite limit.
    QTest::newRow("infinite entry, finite limit")
        << Rows { { inf, 1 }, { 1, 1 } } << Rows { { 0, 0 }, { 0, 1 } } << false;
}

void TestDenseMatrix::inverseCases()
{
    QFETCH(Rows, input);
    QFETCH(Rows, expected);
    QFETCH(bool, signedZeros);
    const DenseMatrix m = fromRows(input);
    bool ok = false;
    const DenseMatrix inv = m.inverse(&ok);
    QVERIFY(ok);
    QVERIFY2(identical(toRows(inv), expected, signedZeros), describe(toRows(inv)));
    QVERIFY(identical(toRows(m), input, true));
}

void TestDenseMatrix::failedInverse_data()
{
    QTest::addColumn<Rows>("input");
    QTest::newRow("dependent rows") << Rows { { 1, 2 }, { 2, 4 } };
    QTest::newRow("pivot below 2^-53") << Rows { { 1e-17 } };
    QTest::newRow("all zero 3 x 3") << Rows { { 0, 0, 0 }, { 0, 0, 0 }, { 0, 0, 0 } };
    QTest::newRow("singular late") << Rows { { 1, 2, 3 }, { 4, 5, 6 }, { 7, 8, 9 } };
    QTest::newRow("non-square 2 x 3") << Rows { { 1, 0, 0 }, { 0, 1, 0 } };
    QTest::newRow("non-square 3 x 1") << Rows { { 1 }, { 2 }, { 3 } };
    QTest::newRow("NaN") << Rows { { 1, notANumber }, { 0, 1 } };
    QTest::newRow("infinities") << Rows { { inf, inf }, { 1, 1 } };
    QTest::newRow("overflow") << Rows { { 1e-300, 1 }, { 1, 1e300 } };
}

// Whatever fails, the caller still gets a matrix of the input's shape that it
// can read and combine without meeting NaN.
void TestDenseMatrix::failedInverse()
{
    QFETCH(Rows, input);
    const DenseMatrix m = fromRows(input);
    bool ok = true;
    const DenseMatrix inv = m.inverse(&ok);
    QVERIFY(!ok);
    QCOMPARE(inv.rows, m.rows);
    QCOMPARE(inv.cols, m.cols);
    for (int i = 0; i < inv.rows; ++i)
        for (int j = 0; j < inv.cols; ++j)
            QVERIFY(inv.data[i][j] == 0.0);
    // Without the flag the result is the same.
    QVERIFY(identical(toRows(m.inverse()), toRows(inv)));
}

void TestDenseMatrix::inverseTimesMatrixIsIdentity()
{
    std::mt19937 rng(12);
    std::uniform_real_distribution<double> entry(-1.0, 1.0);
    for (int n = 1; n <= 12; ++n) {
        for (int trial = 0; trial < 20; ++trial) {
            // Random entries with a dominant diagonal of either sign: well
            // conditioned, but the largest element need not be on the diagonal.
            DenseMatrix m(n, n);
            for (int i = 0; i < n; ++i)
                for (int j = 0; j < n; ++j)
                    m.data[i][j] = entry(rng) * 3.0;
            for (int i = 0; i < n; ++i)
                m.data[i][i] += (trial % 2 ? -1.0 : 1.0) * n * 3.0;
            bool ok = false;
            const DenseMatrix inv = m.inverse(&ok);
            QVERIFY(ok);
            for (int side = 0; side < 2; ++side)
                for (int i = 0; i < n; ++i)
                    for (int j = 0; j < n; ++j) {
                        double sum = 0.0;
                        for (int k = 0; k < n; ++k)
                            sum += side == 0 ? inv.data[i][k] * m.data[k][j]
                                             : m.data[i][k] * inv.data[k][j];
                        QVERIFY2(std::fabs(sum - (i == j ? 1.0 : 0.0)) <= 1e-13,
                            qPrintable(QString("n=%1 (%2, %3): %4").arg(n).arg(i).arg(j).arg(sum)));
                    }
        }
    }
}

void TestDenseMatrix::copiesOwnTheirStorage()
{
    DenseMatrix a = fromRows({ { 1, 2, 3 }, { 4, 5, 6 } });
    DenseMatrix copy(a);
    DenseMatrix assigned(4, 4);
    assigned = a;
    a.data[0][0] = 100;
    a.setZero();
    for (const DenseMatrix *m : { &copy, &assigned }) {
        QCOMPARE(m->rows, 2);
        QCOMPARE(m->cols, 3);
        QVERIFY(m->data != a.data);
        QVERIFY(identical(toRows(*m), { { 1, 2, 3 }, { 4, 5, 6 } }));
    }
    QVERIFY(identical(toRows(a), { { 0, 0, 0 }, { 0, 0, 0 } }));

    assigned = assigned;
    QVERIFY(identical(toRows(assigned), { { 1, 2, 3 }, { 4, 5, 6 } }));

    DenseMatrix moved(std::move(copy));
    QVERIFY(identical(toRows(moved), { { 1, 2, 3 }, { 4, 5, 6 } }));
    QVERIFY(copy.data == nullptr && copy.rows == 0 && copy.cols == 0);
    // The usual use: assign the inverse to a matrix that already has storage.
    DenseMatrix target(2, 2);
    target = fromRows({ { 2, 0 }, { 0, 4 } }).inverse();
    QVERIFY(target.data[0][0] == 0.5 && target.data[1][1] == 0.25);
}

void TestDenseMatrix::emptyShapes()
{
    const DenseMatrix empty(0, 0);
    QVERIFY(empty.data == nullptr);
    bool ok = false;
    const DenseMatrix inv = empty.inverse(&ok);
    QVERIFY(ok);
    QVERIFY(inv.rows == 0 && inv.cols == 0 && inv.data == nullptr);

    DenseMatrix m(3, 3);
    m.setZero();
    m = empty;
    QVERIFY(m.rows == 0 && m.cols == 0 && m.data == nullptr);

    // No columns: the row count stays, there is still no storage.
    const DenseMatrix noColumns(3, 0);
    m = noColumns;
    QVERIFY(m.rows == 3 && m.cols == 0 && m.data == nullptr);
    const DenseMatrix copied(noColumns);
    QVERIFY(copied.rows == 3 && copied.data == nullptr);

    const DenseMatrix negative(-2, 5);
    QVERIFY(negative.rows == 0 && negative.cols == 5 && negative.data == nullptr);
}

QTEST_APPLESS_MAIN(TestDenseMatrix)
#include "tst_densematrix.moc"
