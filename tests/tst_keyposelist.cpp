#include "algebra/DualQuaternion.h"
#include "algebra/KeyPoseList.h"
#include "algebra/Pose.h"
#include "tests/support/AlgebraTestSupport.h"

#include <QVector3D>
#include <QtTest>

#include <stdexcept>
#include <string>
#include <vector>

namespace {

DualQuaternion pose(double a, double b)
{
    const double real[4] = { a, 0, 0, 1 };
    const double dual[4] = { 0, b, 0, 0 };
    return DualQuaternion(real, dual);
}

// The message of the out_of_range that at(i) throws, or "" if none.
std::string outOfRangeMessage(const KeyPoseList &list, int i)
{
    try {
        list.at(i);
    } catch (const std::out_of_range &e) {
        return e.what();
    }
    return std::string();
}

} // namespace

class TestKeyPoseList : public QObject {
    Q_OBJECT

private slots:
    void newListIsEmpty();
    void appendKeepsOrder();
    void atOutsideThrows_data();
    void atOutsideThrows();
    void copiesAreIndependent();
    void appendFromPointsAndMatrix_data();
    void appendFromPointsAndMatrix();
    void clearStartsAgain();
};

void TestKeyPoseList::newListIsEmpty()
{
    const KeyPoseList list;
    QCOMPARE(list.size(), 0);
    QVERIFY(list.poses().empty());
}

void TestKeyPoseList::appendKeepsOrder()
{
    KeyPoseList list;
    for (int i = 0; i < 5; ++i)
        list.append(pose(i, 10 * i));
    QCOMPARE(list.size(), 5);
    const std::vector<DualQuaternion> poses = list.poses();
    QCOMPARE(int(poses.size()), 5);
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(poses[size_t(i)], pose(i, 10 * i));
        QCOMPARE(list.at(i), pose(i, 10 * i));
    }
}

void TestKeyPoseList::atOutsideThrows_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("index");
    QTest::newRow("empty, 0") << 0 << 0;
    QTest::newRow("index = size") << 3 << 3;
    QTest::newRow("-1") << 3 << -1;
    QTest::newRow("most negative") << 3 << std::numeric_limits<int>::min();
    QTest::newRow("largest") << 3 << std::numeric_limits<int>::max();
}

void TestKeyPoseList::atOutsideThrows()
{
    QFETCH(int, count);
    QFETCH(int, index);
    KeyPoseList list;
    for (int i = 0; i < count; ++i)
        list.append(pose(i, 0));
    QCOMPARE(outOfRangeMessage(list, index), std::string("invalid vector<T> subscript"));
    QCOMPARE(list.size(), count);
    for (int i = 0; i < count; ++i)
        QCOMPARE(list.at(i), pose(i, 0));
}

void TestKeyPoseList::copiesAreIndependent()
{
    const std::vector<DualQuaternion> v { pose(1, 2), pose(3, 4), pose(5, 6) };
    KeyPoseList list;
    list.append(pose(9, 9));
    list.setPoses(v);
    QVERIFY(list.poses() == v);
    QCOMPARE(list.size(), 3);

    std::vector<DualQuaternion> out = list.poses();
    out[0] = DualQuaternion::zero();
    out.push_back(pose(7, 8));
    QCOMPARE(list.at(0), pose(1, 2));
    QCOMPARE(list.size(), 3);

    DualQuaternion picked = list.at(1);
    picked = 2.0 * picked;
    QCOMPARE(list.at(1), pose(3, 4));

    KeyPoseList copy = list;
    copy.append(pose(0, 0));
    list.clear();
    QCOMPARE(copy.size(), 4);
    QCOMPARE(copy.at(2), pose(5, 6));
    QCOMPARE(list.size(), 0);
}

void TestKeyPoseList::appendFromPointsAndMatrix_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("zero");
    QTest::newRow("spatial") << int(PoseModeSpatial) << false;
    QTest::newRow("planar") << int(PoseModePlanar) << false;
    QTest::newRow("mode 2") << 2 << true;
}

void TestKeyPoseList::appendFromPointsAndMatrix()
{
    QFETCH(int, mode);
    QFETCH(bool, zero);
    const QVector3D origin(0.1f, -0.3f, 1.7f), towardY(0.15f, -0.1f, 1.6f),
        towardX(0.2f, -0.3f, 1.75f);
    const Matrix4 frame = frameFromPoints(origin, towardY, towardX, mode);
    const DualQuaternion expected = poseFromMatrix(frame, mode);
    QCOMPARE(expected == DualQuaternion::zero(), zero);

    KeyPoseList list;
    list.appendFromPoints(origin, towardY, towardX, mode);
    QCOMPARE(list.size(), 1);
    QCOMPARE(list.at(0), expected);
    list.appendFromMatrix(frame, mode);
    QCOMPARE(list.size(), 2);
    QCOMPARE(list.at(1), expected);
}

void TestKeyPoseList::clearStartsAgain()
{
    KeyPoseList list;
    list.appendFromPoints(
        QVector3D(0, 0, 0), QVector3D(0, 1, 0), QVector3D(1, 0, 0), PoseModeSpatial);
    QCOMPARE(list.at(0).realPart(), Quaternion(0, 0, 0, 1));
    QCOMPARE(list.at(0).dualPart(), Quaternion(0, 0, 0, 0));
    list.append(pose(1, 1));
    list.clear();
    QCOMPARE(list.size(), 0);
    QVERIFY(list.poses().empty());
    list.append(pose(4, 4));
    QCOMPARE(list.size(), 1);
    QCOMPARE(list.at(0), pose(4, 4));
}

QTEST_APPLESS_MAIN(TestKeyPoseList)
#include "tst_keyposelist.moc"
