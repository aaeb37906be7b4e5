#include "algebra/DualQuaternion.h"
#include "algebra/KeyPoseList.h"
#include "algebra/KeyPoseListListener.h"
#include "algebra/Pose.h"
#include "tests/support/AlgebraTestSupport.h"

#include <QDir>
#include <QFile>
#include <QVector3D>
#include <QtTest>

#include <cmath>

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

// The right hand's centre, tip and thumb of every fully parsed frame of a
// recording (joints 11, 23 and 24 of the 25; four fields per joint after the
// time stamp). Lines that do not parse are skipped and counted.
struct HandFrame {
    QVector3D centre, tip, thumb;
};

std::vector<HandFrame> readRightHands(const QString &path, int *badLines)
{
    std::vector<HandFrame> frames;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return frames;
    while (!file.atEnd()) {
        const QList<QByteArray> fields = file.readLine().trimmed().split(',');
        if (fields.size() < 1 + 25 * 4) {
            ++*badLines;
            continue;
        }
        bool allOk = true;
        auto joint = [&](int j) {
            float v[3];
            for (int c = 0; c < 3; ++c) {
                bool ok = false;
                v[c] = fields[1 + 4 * j + c].toFloat(&ok);
                allOk = allOk && ok;
            }
            return QVector3D(v[0], v[1], v[2]);
        };
        const HandFrame frame { joint(11), joint(23), joint(24) };
        if (allOk)
            frames.push_back(frame);
        else
            ++*badLines;
    }
    return frames;
}

// Replays what it is told onto a vector of its own, which must then equal the
// list: a change the listener missed or got wrong shows as a difference.
class MirrorListener : public KeyPoseListListener {
public:
    void poseAppended(const KeyPoseList &list, const DualQuaternion &pose) override
    {
        note(list);
        mirror.push_back(pose);
    }
    void posesReplaced(const KeyPoseList &list, const std::vector<DualQuaternion> &poses) override
    {
        note(list);
        mirror = poses;
    }
    void posesCleared(const KeyPoseList &list) override
    {
        note(list);
        mirror.clear();
    }
    void poseRemoved(const KeyPoseList &list, int index) override
    {
        note(list);
        mirror.erase(mirror.begin() + index);
    }
    void poseMoved(const KeyPoseList &list, int from, int to) override
    {
        note(list);
        const DualQuaternion moved = mirror[size_t(from)];
        mirror.erase(mirror.begin() + from);
        mirror.insert(mirror.begin() + to, moved);
    }

    std::vector<DualQuaternion> mirror;
    int calls = 0;
    const KeyPoseList *lastList = nullptr;

private:
    void note(const KeyPoseList &list)
    {
        ++calls;
        lastList = &list;
    }
};

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
    void recordedHandPoses();
    void removeAndMove_data();
    void removeAndMove();
    void listenerSeesEveryChange();
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

// Real hands: the joints lie a few centimetres apart and are noisy. Every pose
// taken from a frame must draw as that frame.
void TestKeyPoseList::recordedHandPoses()
{
    const QDir dir(QStringLiteral(HANDMOTION_RECORDINGS_DIR "/kinect-csv"));
    const QStringList files = dir.entryList({ "*.csv" }, QDir::Files);
    if (files.isEmpty())
        QSKIP("no recordings next to the repository");
    int checked = 0, degenerate = 0;
    for (const QString &name : files) {
        int badLines = 0;
        const std::vector<HandFrame> frames = readRightHands(dir.filePath(name), &badLines);
        QVERIFY2(badLines == 0 && !frames.empty(), qPrintable(name));
        KeyPoseList spatial, planar;
        for (const HandFrame &f : frames) {
            spatial.appendFromPoints(f.centre, f.tip, f.thumb, PoseModeSpatial);
            planar.appendFromPoints(f.centre, f.tip, f.thumb, PoseModePlanar);
        }
        QCOMPARE(spatial.size(), int(frames.size()));
        QCOMPARE(planar.size(), int(frames.size()));
        for (int i = 0; i < spatial.size(); ++i) {
            const HandFrame &f = frames[size_t(i)];
            for (const DualQuaternion &pose : { spatial.at(i), planar.at(i) })
                for (int c = 0; c < 4; ++c)
                    QVERIFY(std::isfinite(pose.component(c).real())
                        && std::isfinite(pose.component(c).dual()));
            const QVector3D dy = f.tip - f.centre, dx = f.thumb - f.centre;
            // Coincident or nearly collinear joints give an arbitrary frame.
            if (QVector3D::crossProduct(dx.normalized(), dy.normalized()).length() < 0.05f) {
                ++degenerate;
                continue;
            }
            ++checked;
            const Matrix4 frame = frameFromPoints(f.centre, f.tip, f.thumb, PoseModeSpatial);
            const Matrix4 drawn = spatial.at(i).toMatrix();
            // The frame is orthonormal to single precision only. Each quaternion
            // component is the root of a sum of its entries, so a component near
            // zero comes out as the root of their rounding (a few 1e-4): recorded
            // hands reach 2e-4 in the rotation block. A wrong case or sign would
            // show as an error of order 1. The translation passes through intact.
            for (int r = 0; r < 3; ++r) {
                for (int c = 0; c < 3; ++c)
                    QVERIFY2(std::fabs(drawn(r, c) - frame(r, c)) <= 1e-3,
                        qPrintable(name + QString(" frame %1: ").arg(i) + describe(drawn) + " vs "
                            + describe(frame)));
                QVERIFY(std::fabs(drawn(r, 3) - frame(r, 3)) <= 1e-12);
            }

            const Matrix4 planarFrame = frameFromPoints(f.centre, f.tip, f.thumb, PoseModePlanar);
            const Matrix4 planarDrawn = planar.at(i).toMatrix();
            for (int r = 0; r < 2; ++r) {
                for (int c = 0; c < 2; ++c)
                    QVERIFY(std::fabs(planarDrawn(r, c) - planarFrame(r, c)) <= 1e-6);
                QVERIFY(std::fabs(planarDrawn(r, 3) - planarFrame(r, 3)) <= 1e-12);
            }
        }
    }
    // Most recorded hands are proper frames.
    QVERIFY2(
        checked > 10 * degenerate, qPrintable(QString("%1 / %2").arg(checked).arg(degenerate)));
}

void TestKeyPoseList::removeAndMove_data()
{
    // On the list 0 1 2 3 4 (pose(i, 0) for each i): the operation and the
    // order it leaves, or "throws" with the list unchanged.
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("a");
    QTest::addColumn<int>("b");
    QTest::addColumn<QString>("expected");
    QTest::newRow("remove first") << "remove" << 0 << 0 << "1234";
    QTest::newRow("remove middle") << "remove" << 2 << 0 << "0134";
    QTest::newRow("remove last") << "remove" << 4 << 0 << "0123";
    QTest::newRow("remove -1") << "remove" << -1 << 0 << "throws";
    QTest::newRow("remove size") << "remove" << 5 << 0 << "throws";
    QTest::newRow("move up") << "move" << 3 << 2 << "01324";
    QTest::newRow("move down") << "move" << 1 << 2 << "02134";
    QTest::newRow("move last to first") << "move" << 4 << 0 << "40123";
    QTest::newRow("move first to last") << "move" << 0 << 4 << "12340";
    QTest::newRow("move onto itself") << "move" << 2 << 2 << "01234";
    QTest::newRow("move from -1") << "move" << -1 << 0 << "throws";
    QTest::newRow("move to size") << "move" << 0 << 5 << "throws";
}

void TestKeyPoseList::removeAndMove()
{
    QFETCH(QString, operation);
    QFETCH(int, a);
    QFETCH(int, b);
    QFETCH(QString, expected);
    KeyPoseList list;
    for (int i = 0; i < 5; ++i)
        list.append(pose(i, 0));
    MirrorListener listener;
    list.setListener(&listener);
    listener.mirror = list.poses();

    bool threw = false;
    try {
        if (operation == "remove")
            list.removeAt(a);
        else
            list.move(a, b);
    } catch (const std::out_of_range &e) {
        threw = true;
        QCOMPARE(std::string(e.what()), std::string("invalid vector<T> subscript"));
    }
    QCOMPARE(threw, expected == "throws");
    const QString order = threw ? QStringLiteral("01234") : expected;
    QCOMPARE(list.size(), order.size());
    for (int i = 0; i < order.size(); ++i)
        QCOMPARE(list.at(i), pose(order[i].digitValue(), 0));
    // Told exactly when something changed, and told it right.
    QCOMPARE(listener.calls, order == "01234" ? 0 : 1);
    QVERIFY(listener.mirror == list.poses());
}

// Every operation that changes the list reaches the listener, and the mirror
// it keeps follows the list step by step; copies and destruction do not.
void TestKeyPoseList::listenerSeesEveryChange()
{
    MirrorListener listener;
    int expectedCalls = 0;
    {
        KeyPoseList list;
        list.setListener(&listener);
        QCOMPARE(list.listener(), static_cast<KeyPoseListListener *>(&listener));
        const auto step = [&](const char *what) {
            ++expectedCalls;
            QVERIFY2(listener.calls == expectedCalls, what);
            QVERIFY2(listener.lastList == &list, what);
            QVERIFY2(listener.mirror == list.poses(), what);
        };
        list.append(pose(1, 1));
        step("append");
        list.appendFromPoints(
            QVector3D(0, 0, 0), QVector3D(0, 1, 0), QVector3D(1, 0, 0), PoseModeSpatial);
        step("appendFromPoints");
        list.appendFromMatrix(pose(2, 3).toMatrix(), PoseModePlanar);
        step("appendFromMatrix");
        list.setPoses({ pose(5, 0), pose(6, 0), pose(7, 0), pose(8, 0) });
        step("setPoses");
        list.removeAt(1);
        step("removeAt");
        list.move(0, 2);
        step("move");
        KeyPoseList other;
        other.append(pose(9, 9));
        list = other;
        step("assignment");
        list.clear();
        step("clear");

        // A copy starts without a listener; changing it tells nobody.
        list.append(pose(4, 4));
        step("append after clear");
        KeyPoseList copy(list);
        QVERIFY(copy.listener() == nullptr);
        copy.append(pose(1, 2));
        copy.clear();
        list.setListener(nullptr);
        list.append(pose(3, 3));
        QCOMPARE(listener.calls, expectedCalls);
        list.setListener(&listener);
    }
    // The list's destruction is not a change of its content.
    QCOMPARE(listener.calls, expectedCalls);
}

QTEST_APPLESS_MAIN(TestKeyPoseList)
#include "tst_keyposelist.moc"
