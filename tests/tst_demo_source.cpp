// The demo camera: the operator's script over one cycle, the pace of its
// frames, and its colour picture.

#include "sensor/sources/Clock.h"
#include "sensor/sources/DemoOperator.h"
#include "sensor/sources/DemoScene.h"
#include "sensor/sources/DemoSource.h"

#include <QtTest>

#include <cmath>

using camera::Body;
using camera::DemoOperator;
using namespace std::chrono_literals;

namespace {

QVector3D position(const Body &body, JointType type)
{
    const CameraSpacePoint &p = body.joints[std::size_t(type)].Position;
    return QVector3D(p.X, p.Y, p.Z);
}

float distance(const Body &body, JointType a, JointType b)
{
    return (position(body, a) - position(body, b)).length();
}

// The angle in degrees of the rotation between two unit quaternions.
float angleBetween(const QQuaternion &a, const QQuaternion &b)
{
    const float dot = std::min(1.0f, std::abs(QQuaternion::dotProduct(a, b)));
    return 2.0f * std::acos(dot) * 180.0f / float(M_PI);
}

} // namespace

class DemoSourceTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyJointIsPlausibleThroughTheCycle()
    {
        for (int frame = 0; frame < DemoOperator::cycleFrames; ++frame) {
            const Body body = DemoOperator::body(frame);
            QVERIFY(body.tracked);
            for (int j = 0; j < JointType_Count; ++j) {
                const Joint &joint = body.joints[std::size_t(j)];
                QCOMPARE(int(joint.JointType), j);
                QCOMPARE(joint.TrackingState, TrackingState_Tracked);
                // Standing about 2 m away, within the camera's view.
                QVERIFY(joint.Position.Z > 1.4f && joint.Position.Z < 2.3f);
                QVERIFY(std::abs(joint.Position.X) < 1.0f && std::abs(joint.Position.Y) < 1.0f);
            }
            // Limbs keep their lengths.
            for (const auto &bone : { std::make_pair(JointType_ShoulderRight, JointType_ElbowRight),
                     std::make_pair(JointType_ElbowRight, JointType_WristRight),
                     std::make_pair(JointType_ShoulderLeft, JointType_ElbowLeft),
                     std::make_pair(JointType_ElbowLeft, JointType_WristLeft) }) {
                const float length = distance(body, bone.first, bone.second);
                QVERIFY2(length > 0.25f && length < 0.3f, qPrintable(QString::number(frame)));
            }
        }
    }

    void leftHandClosesOnceAndOpensOnce()
    {
        int closes = 0;
        int opens = 0;
        HandState previous = DemoOperator::body(DemoOperator::cycleFrames - 1).handLeftState;
        for (int frame = 0; frame < DemoOperator::cycleFrames; ++frame) {
            const HandState state = DemoOperator::body(frame).handLeftState;
            QVERIFY(state == HandState_Open || state == HandState_Closed);
            closes += previous != HandState_Closed && state == HandState_Closed;
            opens += previous == HandState_Closed && state == HandState_Open;
            previous = state;
        }
        QCOMPARE(closes, 1);
        QCOMPARE(opens, 1);
        // About a minute.
        QVERIFY(DemoOperator::cycleFrames >= 45 * 30 && DemoOperator::cycleFrames <= 75 * 30);
    }

    void heldPosesAreDistinctStillAndRecorded()
    {
        const std::vector<DemoOperator::HeldPose> &held = DemoOperator::heldPoses();
        QVERIFY(held.size() >= 5);
        for (std::size_t i = 0; i < held.size(); ++i) {
            for (std::size_t k = i + 1; k < held.size(); ++k) {
                QVERIFY(angleBetween(held[i].orientation, held[k].orientation) >= 30.0f);
                QVERIFY((held[i].handCentre - held[k].handCentre).length() >= 0.05f);
            }
        }
        int previousEnd = -1;
        for (const DemoOperator::HeldPose &pose : held) {
            // Held at least 4 s, reached in about a second, all while the
            // left hand is closed.
            QVERIFY(pose.lastFrame - pose.firstFrame + 1 >= 4 * 30);
            if (previousEnd >= 0)
                QVERIFY(pose.firstFrame - previousEnd - 1 <= 40);
            previousEnd = pose.lastFrame;
            for (int frame = pose.firstFrame; frame <= pose.lastFrame; ++frame) {
                const Body body = DemoOperator::body(frame);
                QCOMPARE(body.handLeftState, HandState_Closed);
                // Sub-centimetre jitter.
                QVERIFY((position(body, JointType_HandRight) - pose.handCentre).length() < 0.01f);
                QVERIFY((position(body, JointType_HandTipRight) - pose.handTip).length() < 0.01f);
                QVERIFY((position(body, JointType_ThumbRight) - pose.thumbTip).length() < 0.01f);
            }
            // The three joints of the hold give its orientation.
            const QVector3D y = (pose.handTip - pose.handCentre).normalized();
            QVERIFY((y - pose.orientation.rotatedVector(QVector3D(0, 1, 0))).length() < 1e-4f);
        }
    }

    void framesFollowTheClockAtThirtyHertz()
    {
        camera::SteppedClock clock;
        clock.set(5s);
        camera::DemoSource source(clock.clock());
        QVERIFY(source.open());
        QCOMPARE(source.latestBodyFrame(), std::int64_t(0));
        QCOMPARE(source.timeToNextBodyFrame(), 33333334ns);
        clock.advance(33333333ns);
        QCOMPARE(source.latestBodyFrame(), std::int64_t(0));
        QCOMPARE(source.timeToNextColorFrame(), 1ns);
        clock.advance(1ns);
        QCOMPARE(source.latestBodyFrame(), std::int64_t(1));
        QCOMPARE(source.latestColorFrame(), std::int64_t(1));
        QCOMPARE(source.timeToNextBodyFrame(), 33333333ns);
        clock.advance(33333333ns);
        QCOMPARE(source.latestBodyFrame(), std::int64_t(2));
        QCOMPARE(source.timeToNextBodyFrame(), 33333333ns);
        clock.set(5s + 60s);
        QCOMPARE(source.latestBodyFrame(), std::int64_t(1800));
        clock.set(5s + std::chrono::hours(24 * 365));
        QCOMPARE(source.latestBodyFrame(), std::int64_t(30) * 3600 * 24 * 365);

        // Frame k is taken at k / 30 s, in units of 100 ns.
        camera::BodyFrame frame;
        source.bodyFrame(1, frame);
        QCOMPARE(frame.relativeTime, TIMESPAN(333333));
        source.bodyFrame(1800, frame);
        QCOMPARE(frame.relativeTime, TIMESPAN(600000000));
        QVERIFY(frame.bodies[0].tracked);
        QCOMPARE(position(frame.bodies[0], JointType_HandRight),
            position(DemoOperator::body(1800), JointType_HandRight));
        for (int slot = 1; slot < BODY_COUNT; ++slot)
            QVERIFY(!frame.bodies[std::size_t(slot)].tracked);
    }

    void colourFrameShowsTheOperatorInTheRoom()
    {
        camera::SteppedClock clock;
        camera::DemoSource source(clock.clock());
        QVERIFY(source.open());
        camera::ColorImage image;
        const int frameIndex = DemoOperator::heldPoses()[2].firstFrame;
        source.colorFrame(frameIndex, image);
        QCOMPARE(image.format, ColorImageFormat_Yuy2);
        QCOMPARE(image.width, 1920);
        QCOMPARE(image.height, 1080);
        QCOMPARE(image.bytes.size(), std::size_t(1920 * 1080 * 2));

        const camera::DemoScene scene;
        const std::vector<BYTE> &room = scene.background();
        auto luma = [](const std::vector<BYTE> &picture, QPointF p) {
            return int(picture[std::size_t(int(p.y()) * 1920 + int(p.x())) * 2]);
        };
        const Body body = DemoOperator::body(frameIndex);
        // The operator covers the room where the head, the chest and the
        // right hand are, and leaves the corners alone.
        for (JointType joint : { JointType_Head, JointType_SpineMid, JointType_HandRight }) {
            const QPointF p = camera::DemoScene::colorPoint(body.joints[joint].Position);
            QVERIFY(QRectF(0, 0, 1920, 1080).contains(p));
            QVERIFY(luma(image.bytes, p) != luma(room, p));
        }
        for (QPointF corner : { QPointF(5, 5), QPointF(1910, 1070) })
            QCOMPARE(luma(image.bytes, corner), luma(room, corner));
        // The room is not blank.
        QVERIFY(luma(room, QPointF(5, 5)) != luma(room, QPointF(5, 1070)));
    }
};

QTEST_MAIN(DemoSourceTest)
#include "tst_demo_source.moc"
