#include "algebra/Pose.h"
#include "sensor/sources/HandBodyBuilder.h"
#include "sensor/sources/JointNames.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <algorithm>

#include <cmath>
#include <limits>

using namespace camera;
using handfit::Mat3;
using handfit::Vec3;
using handfit::operator+;
using handfit::operator*;

Q_DECLARE_METATYPE(camera::handfit::Vec3)

namespace {

constexpr int width = 640;
constexpr int height = 480;
constexpr double pi = 3.14159265358979323846;

// The hand's axes in the picture's camera axes (x right, y down, z
// forward): a right hand, fingers up, palm to the camera, turned by the
// given angles (degrees) about the camera's x (fingers tipping away), y
// (turning about the vertical) and z (in the picture, clockwise as seen).
Mat3 handRotation(double tipAway, double aboutVertical, double inPicture)
{
    const Mat3 palmToCamera { { { 1.0, 0.0, 0.0 }, { 0.0, -1.0, 0.0 }, { 0.0, 0.0, -1.0 } } };
    return handfit::rotationFromVector({ 0.0, 0.0, inPicture * pi / 180.0 })
        * handfit::rotationFromVector({ 0.0, aboutVertical * pi / 180.0, 0.0 })
        * handfit::rotationFromVector({ tipAway * pi / 180.0, 0.0, 0.0 }) * palmToCamera;
}

// What a landmark model would report for a hand whose points (camera
// axes, about centre) are these, seen by the 60-degree camera: exact
// pixels, and as its 3D points the hand's points with their depths halved
// (such models underestimate turns out of the picture). Mirrored: the
// picture was flipped left to right before the model saw it.
LandmarkHand seenHand(
    const std::array<Vec3, handfit::landmarkCount> &turned, const Vec3 &centre, bool mirrored)
{
    const handfit::Pinhole camera = handfit::pinholeFromFieldOfView(width, height, 60.0);
    LandmarkHand hand;
    for (std::size_t i = 0; i < handfit::landmarkCount; ++i) {
        const Vec3 p = turned[i] + centre;
        const double u = camera.focal * p[0] / p[2] + camera.cx;
        hand.image[i] = { mirrored ? width - u : u, camera.focal * p[1] / p[2] + camera.cy };
        hand.world[i]
            = { mirrored ? -turned[i][0] : turned[i][0], turned[i][1], 0.5 * turned[i][2] };
    }
    hand.score = 0.95;
    return hand;
}

// The typical right hand at a pose. The model assumes a mirrored picture:
// a right hand is labelled "Right" only on one.
LandmarkHand modelHand(const Mat3 &rotation, const Vec3 &centre, bool mirrored)
{
    std::array<Vec3, handfit::landmarkCount> turned;
    for (std::size_t i = 0; i < handfit::landmarkCount; ++i)
        turned[i] = rotation * handfit::typicalRightHand()[i];
    LandmarkHand hand = seenHand(turned, centre, mirrored);
    hand.labelledRight = mirrored;
    return hand;
}

// A left hand, palm to the camera, its fingers straight (curl 0) or
// folded onto the palm (curl 1).
LandmarkHand leftHand(double curl, const Vec3 &centre, bool mirrored)
{
    std::array<Vec3, handfit::landmarkCount> points = handfit::typicalRightHand();
    for (std::size_t finger = 0; finger < 4; ++finger) {
        const std::size_t knuckle = 5 + 4 * finger;
        for (std::size_t k = knuckle + 1; k < knuckle + 4; ++k) {
            // Each point turns about its knuckle toward the palm (+z), the
            // farther along the finger the more.
            const Vec3 d = points[k] + (-1.0) * points[knuckle];
            const double a = curl * 0.9 * pi * double(k - knuckle) / 3.0;
            points[k] = points[knuckle]
                + Vec3 { d[0], d[1] * std::cos(a) - d[2] * std::sin(a),
                      d[1] * std::sin(a) + d[2] * std::cos(a) };
        }
    }
    std::array<Vec3, handfit::landmarkCount> turned;
    for (std::size_t i = 0; i < handfit::landmarkCount; ++i) {
        turned[i] = handRotation(0, 0, 0) * points[i];
        turned[i][0] = -turned[i][0]; // a left hand is a right hand's mirror image
    }
    LandmarkHand hand = seenHand(turned, centre, mirrored);
    hand.labelledRight = !mirrored;
    return hand;
}

LandmarkFrame frameOf(std::vector<LandmarkHand> hands, bool mirrored, std::int64_t time = 0)
{
    LandmarkFrame frame;
    frame.timeMicroseconds = time;
    frame.width = width;
    frame.height = height;
    frame.mirrored = mirrored;
    frame.hands = std::move(hands);
    return frame;
}

QVector3D joint(const Body &body, JointType type)
{
    const CameraSpacePoint &p = body.joints[std::size_t(type)].Position;
    return QVector3D(p.X, p.Y, p.Z);
}

bool tracked(const Body &body, JointType type)
{
    const Joint &j = body.joints[std::size_t(type)];
    return j.TrackingState == TrackingState_Tracked && std::isfinite(j.Position.X)
        && std::isfinite(j.Position.Y) && std::isfinite(j.Position.Z);
}

bool untracked(const Body &body, JointType type)
{
    const Joint &j = body.joints[std::size_t(type)];
    return j.TrackingState == TrackingState_NotTracked && std::isnan(j.Position.X)
        && std::isnan(j.Position.Y) && std::isnan(j.Position.Z);
}

} // namespace

class TestHandBody : public QObject {
    Q_OBJECT

private slots:
    void exactLandmarksGiveThePose_data();
    void exactLandmarksGiveThePose();
    void translationSolve();
    void sidesFromLabelsAndPlaces_data();
    void sidesFromLabelsAndPlaces();
    void aHandKeepsItsSideWhenItsLabelFlips();
    void leftHandStateHasHysteresis();
    void leftFistAloneTracksTheBodyWithoutARightHand();
    void noHandOrBadNumbers();
    void modelLandmarksOfATurningHand();
};

void TestHandBody::exactLandmarksGiveThePose_data()
{
    QTest::addColumn<double>("tipAway");
    QTest::addColumn<double>("aboutVertical");
    QTest::addColumn<double>("inPicture");
    QTest::addColumn<Vec3>("centre");
    QTest::addColumn<bool>("mirrored");
    QTest::newRow("palm to the camera") << 0.0 << 0.0 << 0.0 << Vec3 { 0.0, 0.0, 0.6 } << false;
    QTest::newRow("mirrored picture") << 0.0 << 0.0 << 0.0 << Vec3 { 0.0, 0.0, 0.6 } << true;
    QTest::newRow("turned 60 in the picture, off centre")
        << 0.0 << 0.0 << 60.0 << Vec3 { -0.12, 0.08, 0.55 } << false;
    QTest::newRow("turned 70 about the vertical")
        << 0.0 << 70.0 << 0.0 << Vec3 { 0.05, 0.0, 0.7 } << false;
    QTest::newRow("tipped 50 away, mirrored")
        << 50.0 << 0.0 << 0.0 << Vec3 { 0.0, -0.05, 0.6 } << true;
    QTest::newRow("all three, far") << 30.0 << -40.0 << 120.0 << Vec3 { 0.2, 0.1, 1.2 } << false;
}

// The typical hand projected through the pinhole at a known pose: the
// joints give that pose back, in the tracker's axes, to single precision.
void TestHandBody::exactLandmarksGiveThePose()
{
    QFETCH(double, tipAway);
    QFETCH(double, aboutVertical);
    QFETCH(double, inPicture);
    QFETCH(Vec3, centre);
    QFETCH(bool, mirrored);
    const Mat3 rotation = handRotation(tipAway, aboutVertical, inPicture);
    HandBodyBuilder builder;
    const Body body
        = builder.bodyFrom(frameOf({ modelHand(rotation, centre, mirrored) }, mirrored));

    QVERIFY(body.tracked);
    for (JointType j :
        { JointType_HandRight, JointType_HandTipRight, JointType_ThumbRight, JointType_WristRight })
        QVERIFY2(tracked(body, j), jointNames[j]);
    QVERIFY(untracked(body, JointType_HandLeft));
    // The tracker's X is the camera's left, its Y up.
    const QVector3D expectedCentre(float(-centre[0]), float(-centre[1]), float(centre[2]));
    QVERIFY2((joint(body, JointType_HandRight) - expectedCentre).length() < 1e-4f,
        qPrintable(QString("centre off by %1 m")
                       .arg((joint(body, JointType_HandRight) - expectedCentre).length())));

    const Matrix4 frame = frameFromPoints(joint(body, JointType_HandRight),
        joint(body, JointType_HandTipRight), joint(body, JointType_ThumbRight), PoseModeSpatial);
    const double flip[3] = { -1.0, -1.0, 1.0 };
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            QVERIFY2(
                std::abs(frame(r, c) - flip[r] * rotation[std::size_t(r)][std::size_t(c)]) < 1e-3,
                qPrintable(QString("axis %1, row %2: %3 against %4")
                               .arg(c)
                               .arg(r)
                               .arg(frame(r, c))
                               .arg(flip[r] * rotation[std::size_t(r)][std::size_t(c)])));

    // Planar: the fingers' direction in the picture, turned as the hand was.
    const Matrix4 planar = frameFromPoints(joint(body, JointType_HandRight),
        joint(body, JointType_HandTipRight), joint(body, JointType_ThumbRight), PoseModePlanar);
    const Vec3 fingers { rotation[0][1], rotation[1][1], rotation[2][1] };
    const double expected = std::atan2(-fingers[1], -fingers[0]);
    const double measured = std::atan2(planar(1, 1), planar(0, 1));
    QVERIFY2(std::abs(std::remainder(measured - expected, 2.0 * pi)) < 1e-3,
        qPrintable(QString("planar turn %1 against %2").arg(measured).arg(expected)));
}

void TestHandBody::translationSolve()
{
    const handfit::Pinhole camera = handfit::pinholeFromFieldOfView(width, height, 70.0);
    QCOMPARE(camera.focal, 320.0 / std::tan(35.0 * pi / 180.0));
    const Vec3 t { -0.21, 0.13, 0.83 };
    std::vector<Vec3> points { { 0.0, 0.0, 0.0 }, { 0.05, -0.02, 0.01 }, { -0.03, 0.04, -0.02 },
        { 0.01, 0.07, 0.03 } };
    std::vector<handfit::Pixel> pixels;
    for (const Vec3 &p : points) {
        const Vec3 q = p + t;
        pixels.push_back(
            { camera.focal * q[0] / q[2] + camera.cx, camera.focal * q[1] / q[2] + camera.cy });
    }
    const Vec3 solved
        = handfit::solveTranslation(points.data(), pixels.data(), nullptr, points.size(), camera);
    for (std::size_t k = 0; k < 3; ++k)
        QVERIFY2(std::abs(solved[k] - t[k]) < 1e-9, qPrintable(QString::number(solved[k] - t[k])));

    // A landmark far off, given no weight, changes nothing.
    pixels.push_back({ 10.0, 10.0 });
    points.push_back({ 0.0, 0.0, 0.0 });
    const double weights[5] = { 1.0, 1.0, 1.0, 1.0, 0.0 };
    const Vec3 weighted
        = handfit::solveTranslation(points.data(), pixels.data(), weights, points.size(), camera);
    QVERIFY(std::abs(weighted[2] - t[2]) < 1e-9);

    // One point alone cannot tell its depth.
    QVERIFY(
        std::isnan(handfit::solveTranslation(points.data(), pixels.data(), nullptr, 1, camera)[2]));
}

void TestHandBody::sidesFromLabelsAndPlaces_data()
{
    QTest::addColumn<bool>("mirrored");
    QTest::addColumn<bool>("labelledRight");
    QTest::addColumn<bool>("operatorsRight");
    QTest::newRow("unmirrored, labelled left") << false << false << true;
    QTest::newRow("unmirrored, labelled right") << false << true << false;
    QTest::newRow("mirrored, labelled right") << true << true << true;
    QTest::newRow("mirrored, labelled left") << true << false << false;
}

void TestHandBody::sidesFromLabelsAndPlaces()
{
    QFETCH(bool, mirrored);
    QFETCH(bool, labelledRight);
    QFETCH(bool, operatorsRight);
    LandmarkHand hand = modelHand(handRotation(0, 0, 0), { 0.0, 0.0, 0.6 }, mirrored);
    hand.labelledRight = labelledRight;
    HandBodyBuilder builder;
    const Body one = builder.bodyFrom(frameOf({ hand }, mirrored));
    QVERIFY(one.tracked);
    QCOMPARE(tracked(one, JointType_HandRight), operatorsRight);
    QCOMPARE(tracked(one, JointType_HandLeft), !operatorsRight);

    // Two new hands with one label: the operator's right hand is the one on
    // the camera's left (the picture's left unless mirrored).
    LandmarkHand onCameraLeft = modelHand(handRotation(0, 0, 0), { -0.15, 0.0, 0.6 }, mirrored);
    LandmarkHand onCameraRight = modelHand(handRotation(0, 0, 0), { 0.15, 0.0, 0.6 }, mirrored);
    onCameraLeft.labelledRight = onCameraRight.labelledRight = labelledRight;
    builder.reset();
    const Body two = builder.bodyFrom(frameOf({ onCameraRight, onCameraLeft }, mirrored));
    QCOMPARE(builder.lastChoice().right, 1);
    QCOMPARE(builder.lastChoice().left, 0);
    QVERIFY(joint(two, JointType_HandRight).x() > 0.1f); // tracker X: the camera's left
    QVERIFY(joint(two, JointType_HandLeft).x() < -0.1f);
}

void TestHandBody::aHandKeepsItsSideWhenItsLabelFlips()
{
    HandBodyBuilder builder;
    LandmarkHand hand = modelHand(handRotation(0, 0, 0), { 0.0, 0.0, 0.6 }, false);
    QVERIFY(tracked(builder.bodyFrom(frameOf({ hand }, false, 0)), JointType_HandRight));
    hand.labelledRight = !hand.labelledRight;
    QVERIFY(tracked(builder.bodyFrom(frameOf({ hand }, false, 33333)), JointType_HandRight));
    // Gone for a second, the hand is new again: its label decides.
    QVERIFY(tracked(builder.bodyFrom(frameOf({ hand }, false, 1100000)), JointType_HandLeft));
    // Far from where the left hand was, it is another hand.
    LandmarkHand elsewhere = modelHand(handRotation(0, 0, 0), { 0.25, 0.0, 0.6 }, false);
    QVERIFY(tracked(builder.bodyFrom(frameOf({ elsewhere }, false, 1133333)), JointType_HandRight));
}

void TestHandBody::leftHandStateHasHysteresis()
{
    struct Step {
        double ratio;
        HandState state;
    };
    const Step steps[] = {
        { std::numeric_limits<double>::quiet_NaN(), HandState_Unknown },
        { 1.3, HandState_Open }, // first ratio: the middle of the thresholds decides
        { 1.15, HandState_Open },
        { 1.05, HandState_Closed },
        { 1.35, HandState_Closed },
        { std::numeric_limits<double>::quiet_NaN(), HandState_Closed },
        { 1.45, HandState_Open },
        { 1.8, HandState_Open },
        { 0.7, HandState_Closed },
    };
    HandOpenness openness;
    for (const Step &step : steps)
        QCOMPARE(int(openness.update(step.ratio)), int(step.state));
    openness.reset();
    QCOMPARE(int(openness.update(1.2)), int(HandState_Closed));

    // The ratio itself, on the typical hand and on a fist made of it.
    std::array<Vec3, handfit::landmarkCount> points = handfit::typicalRightHand();
    QVERIFY(handfit::opennessRatio(points) > 1.6);
    const LandmarkHand fist = leftHand(1.0, { 0.0, 0.0, 0.6 }, false);
    for (std::size_t i = 0; i < handfit::landmarkCount; ++i)
        points[i] = fist.world[i];
    QVERIFY(handfit::opennessRatio(points) < 1.0);
}

void TestHandBody::leftFistAloneTracksTheBodyWithoutARightHand()
{
    for (bool mirrored : { false, true }) {
        HandBodyBuilder builder;
        const Body open
            = builder.bodyFrom(frameOf({ leftHand(0.0, { 0.1, 0.0, 0.6 }, mirrored) }, mirrored));
        QVERIFY(open.tracked);
        QCOMPARE(int(open.handLeftState), int(HandState_Open));
        const Body closed = builder.bodyFrom(
            frameOf({ leftHand(1.0, { 0.1, 0.0, 0.6 }, mirrored) }, mirrored, 33333));
        QVERIFY(closed.tracked);
        QCOMPARE(int(closed.handLeftState), int(HandState_Closed));
        QCOMPARE(int(closed.handRightState), int(HandState_NotTracked));
        for (JointType j : { JointType_HandRight, JointType_HandTipRight, JointType_ThumbRight,
                 JointType_WristRight, JointType_SpineBase })
            QVERIFY(untracked(closed, j));
        QVERIFY(tracked(closed, JointType_HandLeft));
        // The left hand stands on the camera's right: negative tracker X.
        QVERIFY(std::abs(joint(closed, JointType_HandLeft).x() + 0.1f) < 0.02f);
    }
}

void TestHandBody::noHandOrBadNumbers()
{
    HandBodyBuilder builder;
    const Body none = builder.bodyFrom(frameOf({}, false));
    QVERIFY(!none.tracked);
    for (int j = 0; j < JointType_Count; ++j) {
        QCOMPARE(int(none.joints[std::size_t(j)].JointType), j);
        QVERIFY(untracked(none, JointType(j)));
    }

    LandmarkHand broken = modelHand(handRotation(0, 0, 0), { 0.0, 0.0, 0.6 }, false);
    broken.image[3][0] = std::numeric_limits<double>::quiet_NaN();
    const Body body = builder.bodyFrom(frameOf({ broken }, false));
    QVERIFY(body.tracked);
    QVERIFY(untracked(body, JointType_HandRight));
    QVERIFY(untracked(body, JointType_HandTipRight));

    LandmarkFrame sizeless
        = frameOf({ modelHand(handRotation(0, 0, 0), { 0.0, 0.0, 0.6 }, false) }, false);
    sizeless.width = 0;
    QVERIFY(!builder.bodyFrom(sizeless).tracked);
}

// Landmarks a hand-landmark model found in every fifth frame of a rendered
// hand that turns 60 degrees in the picture and 40 about the vertical while
// it moves 16 cm across and 12 cm away, with the rendering's true pose: the
// fit follows the turn and the place within what the model's landmarks
// allow (they lie 1 to 2 cm from the true joints).
void TestHandBody::modelLandmarksOfATurningHand()
{
    QFile file(QStringLiteral(HANDMOTION_SOURCE_DIR "/tests/data/hand-move-landmarks.jsonl"));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
    HandBodyBuilder builder;
    std::vector<double> turnErrors, centreErrors;
    Mat3 firstFit {}, firstTruth {};
    while (!file.atEnd()) {
        const QJsonObject line = QJsonDocument::fromJson(file.readLine()).object();
        QVERIFY(!line.isEmpty());
        LandmarkFrame frame = frameOf(
            {}, line.value("mirrored").toBool(), std::int64_t(line.value("t_us").toDouble()));
        for (const QJsonValue &value : line.value("hands").toArray()) {
            const QJsonObject object = value.toObject();
            LandmarkHand hand;
            hand.labelledRight = object.value("label").toString() == "Right";
            for (int i = 0; i < 21; ++i) {
                const QJsonArray p = object.value("image").toArray().at(i).toArray();
                const QJsonArray w = object.value("world").toArray().at(i).toArray();
                hand.image[std::size_t(i)] = { p.at(0).toDouble(), p.at(1).toDouble() };
                hand.world[std::size_t(i)]
                    = { w.at(0).toDouble(), w.at(1).toDouble(), w.at(2).toDouble() };
            }
            frame.hands.push_back(hand);
        }
        const Body body = builder.bodyFrom(frame);
        QVERIFY(tracked(body, JointType_HandRight));
        // The fitted frame in the picture's axes (the tracker's X and Y
        // flipped), against the truth's.
        const Matrix4 m
            = frameFromPoints(joint(body, JointType_HandRight), joint(body, JointType_HandTipRight),
                joint(body, JointType_ThumbRight), PoseModeSpatial);
        Mat3 fit, truth;
        const QJsonObject truthObject = line.value("truth").toObject();
        for (int r = 0; r < 3; ++r) {
            const QJsonArray row = truthObject.value("R_rows").toArray().at(r).toArray();
            for (int c = 0; c < 3; ++c) {
                fit[std::size_t(r)][std::size_t(c)] = (r < 2 ? -1.0 : 1.0) * m(r, c);
                truth[std::size_t(r)][std::size_t(c)] = row.at(c).toDouble();
            }
        }
        if (turnErrors.empty()) {
            firstFit = fit;
            firstTruth = truth;
        }
        // Turns from the first frame, in camera axes: a constant difference
        // between the fitted hand frame and the truth's wrist frame cancels.
        const Mat3 fitTurn = fit * handfit::transposed(firstFit);
        const Mat3 truthTurn = truth * handfit::transposed(firstTruth);
        turnErrors.push_back(
            handfit::rotationAngle(handfit::transposed(truthTurn) * fitTurn) * 180.0 / pi);
        const QJsonArray c = truthObject.value("centre").toArray();
        const QVector3D trueCentre(
            float(-c.at(0).toDouble()), float(-c.at(1).toDouble()), float(c.at(2).toDouble()));
        centreErrors.push_back((joint(body, JointType_HandRight) - trueCentre).length());
    }
    QCOMPARE(turnErrors.size(), std::size_t(30));
    std::sort(turnErrors.begin(), turnErrors.end());
    std::sort(centreErrors.begin(), centreErrors.end());
    const QString figures = QString("turn error median %1, largest %2 degrees; centre median %3 m")
                                .arg(turnErrors[15])
                                .arg(turnErrors.back())
                                .arg(centreErrors[15]);
    QVERIFY2(turnErrors[15] < 4.0 && turnErrors.back() < 6.0, qPrintable(figures));
    QVERIFY2(centreErrors[15] < 0.02, qPrintable(figures));
}

QTEST_GUILESS_MAIN(TestHandBody)
#include "tst_hand_body.moc"
