#include "motion/MContinuousMotion.h"
#include "motion/MNoneMotion.h"
#include "motion/MScrewMotion.h"
#include "motion/MotionKind.h"

#include "tests/support/GLScene.h"
#include "tests/support/Poses.h"

#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(MotionKind)

namespace {

// Scene units: the poses below spread over -3 .. 3 in x.
constexpr double halfExtent = 5.0;

std::vector<DualQuaternion> spreadPoses()
{
    return { makePose(0.0, QVector3D(0, 0, 1), QVector3D(-0.3f, 0.0f, 0.0f)),
        makePose(20.0, QVector3D(0, 0, 1), QVector3D(-0.1f, 0.15f, 0.0f)),
        makePose(40.0, QVector3D(0, 0, 1), QVector3D(0.1f, -0.15f, 0.0f)),
        makePose(60.0, QVector3D(0, 0, 1), QVector3D(0.3f, 0.0f, 0.0f)) };
}

} // namespace

class TestGLMotion : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void eachKindDrawsWhereItsPosesAre_data();
    void eachKindDrawsWhereItsPosesAre();
    void highlightFollowsTheRunningIndex_data();
    void highlightFollowsTheRunningIndex();
    void keyPositionsIgnoreTheDisplaySettings();
    void poseThatVanishesIsSkippedButCounted();
    void repeatedDrawsKeepMemory();

private:
    QPoint pixelOf(const DualQuaternion &pose) const
    {
        const ScenePoint p = placedTranslation(pose);
        return m_scene->pixelOf(p.x, p.y);
    }

    std::unique_ptr<GLScene> m_scene;
};

void TestGLMotion::initTestCase()
{
    m_scene = std::make_unique<GLScene>(200);
    QVERIFY2(m_scene->isValid(), qPrintable(m_scene->error()));
}

void TestGLMotion::eachKindDrawsWhereItsPosesAre_data()
{
    QTest::addColumn<MotionKind>("kind");
    QTest::addColumn<int>("degree");
    QTest::addColumn<int>("density");
    QTest::newRow("screw") << MotionKind::Screw << 0 << 10;
    QTest::newRow("bezier") << MotionKind::Bezier << 0 << 10;
    QTest::newRow("approximation") << MotionKind::Approximation << 2 << 10;
    QTest::newRow("approximation of degree 1") << MotionKind::Approximation << 1 << 10;
    QTest::newRow("interpolation") << MotionKind::Interpolation << 3 << 10;
    QTest::newRow("continuous") << MotionKind::Continuous << 0 << 100;
}

void TestGLMotion::eachKindDrawsWhereItsPosesAre()
{
    QFETCH(MotionKind, kind);
    QFETCH(int, degree);
    QFETCH(int, density);

    const std::unique_ptr<Motion> motion = createMotion(kind);
    motion->setKeyPoses(spreadPoses());
    motion->setDegree(degree);
    motion->properties().setDensity(density);
    motion->properties().setSelectedPosition(-1);

    // Nothing to show: nothing drawn.
    m_scene->begin(halfExtent);
    motion->draw();
    QCOMPARE(changedPixels(m_scene->image(), qRgb(0, 0, 0)), 0);

    motion->properties().setShowFrames(true);
    motion->properties().setShowObject(true);
    m_scene->begin(halfExtent);
    motion->draw();
    const QImage poses = m_scene->image();
    const std::vector<DualQuaternion> samples = motion->sampledPoses();
    QVERIFY(samples.size() >= 4);
    for (size_t i : { size_t(0), samples.size() / 2, samples.size() - 1 })
        QVERIFY2(changedPixelsAround(poses, pixelOf(samples[i]), 3, qRgb(0, 0, 0)) > 0,
            qPrintable(QStringLiteral("sample %1").arg(i)));
    // Far from every pose the background stays.
    QCOMPARE(changedPixelsAround(poses, m_scene->pixelOf(0.0, 4.5), 8, qRgb(0, 0, 0)), 0);

    motion->properties().setShowFrames(false);
    motion->properties().setShowObject(false);
    motion->properties().setShowTrajectory(true);
    m_scene->begin(halfExtent);
    motion->draw();
    const QImage trajectory = m_scene->image();
    const std::vector<ScenePoint> points = motion->trajectoryPoints();
    for (size_t i : { size_t(1), points.size() / 2, points.size() - 2 })
        QVERIFY2(changedPixelsAround(
                     trajectory, m_scene->pixelOf(points[i].x, points[i].y), 2, qRgb(0, 0, 0))
                > 0,
            qPrintable(QStringLiteral("trajectory point %1").arg(i)));
}

void TestGLMotion::highlightFollowsTheRunningIndex_data()
{
    QTest::addColumn<int>("selected");
    QTest::addColumn<int>("highlightedKey");
    // Three key poses at density 5: two poses per segment (t = 0 and 2/3),
    // so index 2 is the first pose of the second segment, the middle key
    // pose. The last key pose is not drawn as a pose of its own.
    QTest::newRow("first pose") << 0 << 0;
    QTest::newRow("second segment") << 2 << 1;
    QTest::newRow("beyond the last") << 4 << -1;
    QTest::newRow("negative") << -1 << -1;
}

void TestGLMotion::highlightFollowsTheRunningIndex()
{
    QFETCH(int, selected);
    QFETCH(int, highlightedKey);

    const std::vector<DualQuaternion> keys
        = { makePose(0.0, QVector3D(0, 0, 1), QVector3D(-0.3f, 0.0f, 0.0f)),
              makePose(0.0, QVector3D(0, 0, 1), QVector3D(0.0f, 0.0f, 0.0f)),
              makePose(0.0, QVector3D(0, 0, 1), QVector3D(0.3f, 0.0f, 0.0f)) };
    MScrewMotion screw;
    screw.setKeyPoses(keys);
    screw.properties().setDensity(5);
    screw.properties().setShowFrames(true);
    screw.properties().setShowObject(true);
    screw.properties().setObjectColour(0.0f, 0.0f, 1.0f);
    screw.properties().setSelectedPosition(selected);
    QCOMPARE(int(screw.sampledPoses().size()), 4);

    m_scene->begin(halfExtent);
    screw.draw();
    const QImage image = m_scene->image();
    for (int k = 0; k < 3; ++k) {
        // The glyph reaches one unit along +x and +y from the pose; the
        // model lies around the pose.
        const QPoint at = pixelOf(keys[k]);
        const int red = countPixelsAround(image, at, 8, isRedPixel);
        const int white = countPixelsAround(image, at + QPoint(12, -12), 12, isWhitePixel);
        if (k == highlightedKey) {
            QVERIFY2(red > 10, qPrintable(QString::number(red)));
            QVERIFY2(white > 5, qPrintable(QString::number(white)));
        } else {
            QCOMPARE(red, 0);
            QCOMPARE(white, 0);
        }
    }
}

void TestGLMotion::keyPositionsIgnoreTheDisplaySettings()
{
    const std::vector<DualQuaternion> keys = spreadPoses();
    MNoneMotion none;
    none.setKeyPoses(keys);
    const float material[4] = { 0.7f, 0.5f, 0.2f, 0.0f };

    m_scene->begin(halfExtent);
    none.draw();
    QCOMPARE(changedPixels(m_scene->image(), qRgb(0, 0, 0)), 0);

    m_scene->begin(halfExtent);
    none.drawKeyPositions(material);
    const QImage image = m_scene->image();
    for (const DualQuaternion &key : keys)
        QVERIFY(changedPixelsAround(image, pixelOf(key), 3, qRgb(0, 0, 0)) > 0);
    // Key positions are never highlighted.
    QCOMPARE(countPixelsAround(image, QPoint(100, 100), 100, isRedPixel), 0);
}

// A pose whose real part is zero has no matrix: it is left out, and the poses
// after it keep their running index.
void TestGLMotion::poseThatVanishesIsSkippedButCounted()
{
    const std::vector<DualQuaternion> keys = spreadPoses();
    MContinuousMotion continuous;
    continuous.setKeyPoses({ keys[0], DualQuaternion::zero(), keys[3] });
    continuous.properties().setDensity(100);
    continuous.properties().setShowFrames(true);
    continuous.properties().setShowObject(true);
    continuous.properties().setShowTrajectory(true);
    continuous.properties().setObjectColour(0.0f, 0.0f, 1.0f);
    continuous.properties().setSelectedPosition(2);

    m_scene->begin(halfExtent);
    continuous.draw();
    const QImage image = m_scene->image();
    QCOMPARE(int(continuous.shownPoses().size()), 3);
    QCOMPARE(continuous.shownPose(2), keys[3]);
    QVERIFY(countPixelsAround(image, pixelOf(keys[3]), 8, isRedPixel) > 10);
    QCOMPARE(countPixelsAround(image, pixelOf(keys[0]), 8, isRedPixel), 0);
    // No line runs to or from the missing pose.
    QCOMPARE(changedPixelsAround(image, m_scene->pixelOf(0.0, 3.0), 10, qRgb(0, 0, 0)), 0);
}

void TestGLMotion::repeatedDrawsKeepMemory()
{
    MScrewMotion screw;
    screw.setKeyPoses(spreadPoses());
    screw.properties().setDensity(10);
    screw.properties().setShowFrames(true);
    screw.properties().setShowObject(true);
    screw.properties().setShowTrajectory(true);
    const float material[4] = { 0.7f, 0.5f, 0.2f, 0.0f };
    const auto frame = [&] {
        m_scene->begin(halfExtent);
        screw.drawKeyPositions(material);
        screw.draw();
        glFinish();
    };
    const qint64 growth = heapGrowthOver(frame, 60, 40);
    QVERIFY2(
        growth < heapGrowthLimit, qPrintable(QStringLiteral("heap grew by %1 bytes").arg(growth)));
}

QTEST_MAIN(TestGLMotion)
#include "tst_gl_motion.moc"
