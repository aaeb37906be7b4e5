// Joint smoothing: the One Euro filter against the first-order low-pass it
// is at rest (closed-form step responses, the steady lag of a ramp, the
// continuous response under uneven sampling), its limits passing the signal
// through, bad times and samples; the joint smoother on whole bodies; and
// the smoother's parameters on the real recordings.

#include "sensor/JointSmoother.h"
#include "sensor/OneEuroFilter.h"
#include "sensor/sources/RecordingReader.h"

#include <QDir>
#include <QVector3D>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

using Kinect::JointSmoother;
using Kinect::OneEuroFilter;

namespace {

constexpr double inf = std::numeric_limits<double>::infinity();
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

OneEuroFilter lowPass(double cutoff, double beta = 0.0)
{
    return OneEuroFilter(OneEuroFilter::Parameters { cutoff, beta, 1.0 });
}

double timeConstant(double cutoff) { return 1.0 / (2.0 * M_PI * cutoff); }

// A coordinate of joint j along axis a in frame k: a different step and
// slope for each, so that a coordinate filtered with another's history shows.
float coordinate(int j, int a, int k)
{
    return float(0.01 * (3 * j + a) + (k >= 5 ? 0.05 * (a + 1) : 0.0) + 0.002 * j * k);
}

camera::Body bodyAt(int k, UINT64 trackingId = 7)
{
    camera::Body body;
    body.tracked = true;
    body.trackingId = trackingId;
    for (int j = 0; j < JointType_Count; ++j) {
        Joint &joint = body.joints[std::size_t(j)];
        joint.JointType = JointType(j);
        joint.Position = { coordinate(j, 0, k), coordinate(j, 1, k), coordinate(j, 2, k) };
        joint.TrackingState = TrackingState_Tracked;
    }
    return body;
}

QVector3D handCentre(const camera::Body &body)
{
    const CameraSpacePoint &p = body.joints[JointType_HandRight].Position;
    return QVector3D(p.X, p.Y, p.Z);
}

} // namespace

class SmoothingTest : public QObject {
    Q_OBJECT

private slots:
    void stepAtAFixedRate_data();
    void stepAtAFixedRate();
    void unevenStepsFollowTheContinuousResponse_data();
    void unevenStepsFollowTheContinuousResponse();
    void rampLagsByTheTimeConstant_data();
    void rampLagsByTheTimeConstant();
    void speedShortensTheLag();
    void limitsPassTheSignalThrough_data();
    void limitsPassTheSignalThrough();
    void repeatedBackwardAndResetTimes();
    void badSamplesLeaveTheStateAlone_data();
    void badSamplesLeaveTheStateAlone();
    void everyCoordinateIsFilteredOnItsOwn();
    void lostBodyOrAnotherPersonRestarts_data();
    void lostBodyOrAnotherPersonRestarts();
    void recordingsMeetTheTargets_data();
    void recordingsMeetTheTargets();
};

// At rest (beta 0) the filter is the low-pass y += a (x - y) with the
// constant a = dt / (dt + tau): after n samples of a unit step it has
// covered 1 - (1 - a)^n of it.
void SmoothingTest::stepAtAFixedRate_data()
{
    QTest::addColumn<double>("cutoff");
    QTest::addColumn<double>("rate");
    QTest::newRow("1 Hz at 30 Hz") << 1.0 << 30.0;
    QTest::newRow("0.2 Hz at 10 Hz") << 0.2 << 10.0;
    QTest::newRow("20 Hz at 25 Hz") << 20.0 << 25.0;
}

void SmoothingTest::stepAtAFixedRate()
{
    QFETCH(double, cutoff);
    QFETCH(double, rate);
    OneEuroFilter filter = lowPass(cutoff);
    const double dt = 1.0 / rate;
    const double tau = timeConstant(cutoff);
    QCOMPARE(filter.filter(0.0, 100.0), 0.0);
    for (int n = 1; n <= 100; ++n) {
        const double expected = 1.0 - std::pow(tau / (tau + dt), n);
        QVERIFY2(std::abs(filter.filter(1.0, 100.0 + n * dt) - expected) < 1e-10,
            qPrintable(QString::number(n)));
    }
}

// Sampled far faster than its time constant, the filter approaches the
// continuous low-pass, whose step response 1 - exp(-t / tau) depends on the
// time alone, however unevenly the samples come.
void SmoothingTest::unevenStepsFollowTheContinuousResponse_data()
{
    QTest::addColumn<std::vector<double>>("steps");
    QTest::newRow("even, 0.5 ms") << std::vector<double> { 0.0005 };
    QTest::newRow("alternating 0.1 and 0.9 ms") << std::vector<double> { 0.0001, 0.0009 };
    QTest::newRow("0.2 ms with a 5 ms gap now and then") << std::vector<double> { 0.0002, 0.0002,
        0.0002, 0.0002, 0.0002, 0.0002, 0.0002, 0.0002, 0.0002, 0.005 };
}

void SmoothingTest::unevenStepsFollowTheContinuousResponse()
{
    QFETCH(std::vector<double>, steps);
    const double cutoff = 1.0;
    const double tau = timeConstant(cutoff);
    OneEuroFilter filter = lowPass(cutoff);
    filter.filter(0.0, 0.0);
    double t = 0.0;
    double worst = 0.0;
    for (std::size_t k = 0; t < 5.0 * tau; ++k) {
        t += steps[k % steps.size()];
        worst = std::max(worst, std::abs(filter.filter(1.0, t) - (1.0 - std::exp(-t / tau))));
    }
    // The discrete filter departs from the continuous one by about the
    // square of step / tau per step: under half a percent here, for steps
    // of at most 5 ms against a time constant of 160 ms.
    QVERIFY2(worst < 5e-3, qPrintable(QString::number(worst)));
}

// On a ramp of speed v the low-pass settles at a distance v tau behind: a
// lag of exactly its time constant, whatever the sampling rate.
void SmoothingTest::rampLagsByTheTimeConstant_data()
{
    QTest::addColumn<double>("cutoff");
    QTest::addColumn<double>("rate");
    QTest::newRow("1 Hz at 30 Hz") << 1.0 << 30.0;
    QTest::newRow("1 Hz at 10 Hz") << 1.0 << 10.0;
    QTest::newRow("4 Hz at 25 Hz") << 4.0 << 25.0;
}

void SmoothingTest::rampLagsByTheTimeConstant()
{
    QFETCH(double, cutoff);
    QFETCH(double, rate);
    const double speed = 0.7;
    OneEuroFilter filter = lowPass(cutoff);
    double lag = 0.0;
    for (int n = 0; n <= 100 * int(rate); ++n) {
        const double t = n / rate;
        lag = speed * t - filter.filter(speed * t, t);
    }
    QVERIFY2(std::abs(lag - speed * timeConstant(cutoff)) < 1e-9, qPrintable(QString::number(lag)));
}

// The speed term raises the cutoff of a moving signal: the more it weighs,
// the shorter the lag behind a ramp, which at rest is the time constant.
void SmoothingTest::speedShortensTheLag()
{
    double previous = inf;
    for (double beta : { 0.0, 1.0, 8.0, 64.0 }) {
        OneEuroFilter filter = lowPass(1.0, beta);
        double lag = 0.0;
        for (int n = 0; n <= 300; ++n)
            lag = 0.5 * n / 30.0 - filter.filter(0.5 * n / 30.0, n / 30.0);
        QVERIFY2(lag > 0.0 && lag < previous, qPrintable(QString::number(beta)));
        QVERIFY(lag <= 0.5 * timeConstant(1.0) + 1e-9);
        previous = lag;
    }
}

// An infinite cutoff at rest, or an infinite weight of speed on a moving
// signal, leaves nothing to smooth: the output is the input, at rest too
// (where infinity times no speed must not make the cutoff NaN).
void SmoothingTest::limitsPassTheSignalThrough_data()
{
    QTest::addColumn<double>("minCutoff");
    QTest::addColumn<double>("beta");
    QTest::addColumn<double>("tolerance");
    QTest::newRow("infinite cutoff at rest") << inf << 0.0 << 0.0;
    QTest::newRow("infinite weight of speed") << 1.0 << inf << 0.0;
    QTest::newRow("huge weight of speed") << 1.0 << 1e12 << 1e-9;
}

void SmoothingTest::limitsPassTheSignalThrough()
{
    QFETCH(double, minCutoff);
    QFETCH(double, beta);
    QFETCH(double, tolerance);
    OneEuroFilter filter = lowPass(minCutoff, beta);
    // At rest, then a ramp, then a jump back, with a dropped frame.
    const double times[] = { 0.0, 0.1, 0.2, 0.3, 0.4, 0.6, 0.7 };
    const double samples[] = { 2.0, 2.0, 2.5, 3.0, 3.5, -1.0, -1.0 };
    for (int k = 0; k < 7; ++k) {
        const double y = filter.filter(samples[k], times[k]);
        QVERIFY2(std::abs(y - samples[k]) <= tolerance, qPrintable(QString::number(k)));
    }
}

// A repeated time adds nothing and changes nothing; a time before the last
// one (a new stream) starts afresh from that sample, as reset() does.
void SmoothingTest::repeatedBackwardAndResetTimes()
{
    const OneEuroFilter::Parameters parameters = JointSmoother::defaultParameters();
    OneEuroFilter filter(parameters);
    OneEuroFilter reference(parameters);
    for (int k = 0; k < 10; ++k) {
        const double x = 0.1 * (k % 3) + 0.05 * k;
        QCOMPARE(filter.filter(x, k / 30.0), reference.filter(x, k / 30.0));
        if (k == 4)
            QCOMPARE(filter.filter(9.0, k / 30.0), reference.value());
    }

    QCOMPARE(filter.filter(5.0, 0.1), 5.0);
    OneEuroFilter fresh(parameters);
    fresh.filter(5.0, 0.1);
    QCOMPARE(filter.filter(6.0, 0.2), fresh.filter(6.0, 0.2));

    filter.reset();
    QVERIFY(!filter.started());
    QCOMPARE(filter.filter(-3.0, 0.3), -3.0);
}

// A non-finite sample or time comes back as it came and the state does not
// see it: the next samples are filtered as if it had never come.
void SmoothingTest::badSamplesLeaveTheStateAlone_data()
{
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("t");
    QTest::addColumn<int>("at");
    QTest::newRow("NaN") << notANumber << 0.2 << 6;
    QTest::newRow("infinity") << inf << 0.2 << 6;
    QTest::newRow("minus infinity") << -inf << 0.2 << 6;
    QTest::newRow("NaN time") << 0.4 << notANumber << 6;
    QTest::newRow("infinite time") << 0.4 << inf << 6;
    QTest::newRow("NaN first") << notANumber << 0.0 << 0;
}

void SmoothingTest::badSamplesLeaveTheStateAlone()
{
    QFETCH(double, x);
    QFETCH(double, t);
    QFETCH(int, at);
    const OneEuroFilter::Parameters parameters = JointSmoother::defaultParameters();
    OneEuroFilter filter(parameters);
    OneEuroFilter reference(parameters);
    for (int k = 0; k < 20; ++k) {
        if (k == at) {
            const double y = filter.filter(x, t);
            QVERIFY(y == x || (std::isnan(y) && std::isnan(x)));
        }
        const double sample = 0.1 * std::sin(k) + 0.02 * k;
        const double y = filter.filter(sample, 1.0 + k / 30.0);
        QVERIFY(std::isfinite(y));
        QCOMPARE(y, reference.filter(sample, 1.0 + k / 30.0));
    }
}

// Each of the 75 coordinates goes through a filter of its own: the smoothed
// body equals 75 lone filters fed each one's coordinate.
void SmoothingTest::everyCoordinateIsFilteredOnItsOwn()
{
    JointSmoother smoother;
    std::vector<OneEuroFilter> lone(
        3 * JointType_Count, OneEuroFilter(JointSmoother::defaultParameters()));
    for (int k = 0; k < 15; ++k) {
        camera::Body body = bodyAt(k);
        // A dropped frame: the times need not be even.
        const double seconds = 12.0 + (k < 8 ? k : k + 1) / 30.0;
        smoother.smooth(body, seconds);
        for (int j = 0; j < JointType_Count; ++j) {
            const CameraSpacePoint &p = body.joints[std::size_t(j)].Position;
            const float smoothed[3] = { p.X, p.Y, p.Z };
            for (int a = 0; a < 3; ++a) {
                const float expected
                    = float(lone[std::size_t(3 * j + a)].filter(coordinate(j, a, k), seconds));
                QVERIFY2(smoothed[a] == expected,
                    qPrintable(QStringLiteral("frame %1 joint %2 axis %3").arg(k).arg(j).arg(a)));
            }
        }
        if (k >= 5)
            QVERIFY(body.joints[JointType_HandRight].Position.X
                != coordinate(JointType_HandRight, 0, k));
    }
}

// After a lost body, another person in the slot or reset(), the next body
// is passed through as it is; the same person goes on being smoothed. A
// non-finite joint is left as it came, the other joints smoothed.
void SmoothingTest::lostBodyOrAnotherPersonRestarts_data()
{
    QTest::addColumn<QString>("event");
    QTest::addColumn<bool>("restarts");
    QTest::newRow("same person") << "none" << false;
    QTest::newRow("body lost for a frame") << "lost" << true;
    QTest::newRow("another tracking id") << "other" << true;
    QTest::newRow("reset") << "reset" << true;
    QTest::newRow("a joint not a number") << "nan" << false;
}

void SmoothingTest::lostBodyOrAnotherPersonRestarts()
{
    QFETCH(QString, event);
    QFETCH(bool, restarts);
    JointSmoother smoother;
    for (int k = 0; k < 10; ++k) {
        camera::Body body = bodyAt(0);
        smoother.smooth(body, k / 30.0);
    }
    UINT64 trackingId = 7;
    if (event == "lost") {
        camera::Body lost;
        smoother.smooth(lost, 10 / 30.0);
        QVERIFY(!lost.tracked);
        QCOMPARE(lost.joints[JointType_HandRight].Position.X, 0.0f);
    } else if (event == "other") {
        trackingId = 8;
    } else if (event == "reset") {
        smoother.reset();
    }
    camera::Body moved = bodyAt(10, trackingId);
    const camera::Body raw = moved;
    if (event == "nan")
        moved.joints[JointType_HandRight].Position.Y = std::numeric_limits<float>::quiet_NaN();
    smoother.smooth(moved, 11 / 30.0);
    for (int j = 0; j < JointType_Count; ++j) {
        const CameraSpacePoint &p = moved.joints[std::size_t(j)].Position;
        const CameraSpacePoint &q = raw.joints[std::size_t(j)].Position;
        if (event == "nan" && j == JointType_HandRight) {
            QVERIFY(std::isnan(p.Y));
            QVERIFY(p.X != q.X && p.Z != q.Z);
            continue;
        }
        QCOMPARE(p.X == q.X && p.Y == q.Y && p.Z == q.Z, restarts);
    }
}

// The recordings at about 30 Hz: in the stillest second (the frames of one
// second whose raw hand centres lie closest to their mean), the hand
// centre's jitter (RMS distance from the midpoint of its neighbours) is
// lower smoothed, three times lower in the recording of a resting hand; the
// smoothed path lags the raw one by at most two frames, the lag being the
// shift that best aligns them by least squares where the hand moves faster
// than 0.2 m/s.
void SmoothingTest::recordingsMeetTheTargets_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<double>("jitterRatio");
    const QDir dir(QStringLiteral(HANDMOTION_RECORDINGS_DIR "/kinect-csv"));
    const QStringList files = dir.entryList({ "*.csv" }, QDir::Files, QDir::Name);
    if (files.isEmpty())
        QSKIP("no recordings next to the repository");
    for (const QString &name : files)
        QTest::newRow(qPrintable(name))
            << dir.filePath(name) << (name == "KinectReader_joints.csv" ? 3.0 : 1.0);
}

void SmoothingTest::recordingsMeetTheTargets()
{
    QFETCH(QString, path);
    QFETCH(double, jitterRatio);
    const camera::Recording recording = camera::readRecording(path);
    QVERIFY2(recording.error.isEmpty() && recording.frames.size() > 100, qPrintable(path));
    std::vector<double> seconds;
    std::vector<QVector3D> raw;
    std::vector<QVector3D> smoothed;
    JointSmoother smoother;
    for (const camera::Recording::Frame &frame : recording.frames) {
        QCOMPARE(frame.bodyCount, 1);
        camera::Body body = recording.bodies[std::size_t(frame.firstBody)];
        seconds.push_back(1e-9 * double(frame.dueNanoseconds));
        raw.push_back(handCentre(body));
        smoother.smooth(body, seconds.back());
        smoothed.push_back(handCentre(body));
    }
    const std::size_t n = raw.size();

    double bestSpread = inf;
    std::size_t first = 0, last = 0;
    for (std::size_t a = 1; a + 1 < n; ++a) {
        std::size_t b = a;
        while (b + 1 < n && seconds[b] - seconds[a] < 1.0)
            ++b;
        if (b - a < 27)
            continue;
        QVector3D mean;
        for (std::size_t i = a; i < b; ++i)
            mean += raw[i] / float(b - a);
        double spread = 0.0;
        for (std::size_t i = a; i < b; ++i)
            spread += double((raw[i] - mean).lengthSquared());
        if (spread < bestSpread) {
            bestSpread = spread;
            first = a;
            last = b;
        }
    }
    QVERIFY(last > first);
    auto jitter = [&](const std::vector<QVector3D> &path) {
        double sum = 0.0;
        for (std::size_t i = first; i < last; ++i)
            sum += double((path[i] - 0.5f * (path[i - 1] + path[i + 1])).lengthSquared());
        return std::sqrt(sum / double(last - first));
    };
    const double rawJitter = jitter(raw);
    const double smoothJitter = jitter(smoothed);
    QVERIFY2(smoothJitter * jitterRatio < rawJitter,
        qPrintable(QStringLiteral("%1 mm raw, %2 mm smoothed")
                       .arg(rawJitter * 1e3)
                       .arg(smoothJitter * 1e3)));

    const double interval = (seconds.back() - seconds.front()) / double(n - 1);
    auto rawAt = [&](double t) {
        const std::size_t i = std::size_t(std::clamp<long>(
            std::upper_bound(seconds.begin(), seconds.end(), t) - seconds.begin(), 1, long(n) - 1));
        const double u = std::clamp((t - seconds[i - 1]) / (seconds[i] - seconds[i - 1]), 0.0, 1.0);
        return raw[i - 1] + float(u) * (raw[i] - raw[i - 1]);
    };
    double bestCost = inf;
    double lagFrames = -1.0;
    int moving = 0;
    for (int k = 0; k <= 500; ++k) {
        double cost = 0.0;
        moving = 0;
        for (std::size_t i = 1; i + 1 < n; ++i) {
            if ((raw[i + 1] - raw[i - 1]).length() < 0.2 * (seconds[i + 1] - seconds[i - 1]))
                continue;
            ++moving;
            cost += double((smoothed[i] - rawAt(seconds[i] - 0.01 * k * interval)).lengthSquared());
        }
        if (cost < bestCost) {
            bestCost = cost;
            lagFrames = 0.01 * k;
        }
    }
    QVERIFY(moving > 20);
    QVERIFY2(lagFrames <= 2.0, qPrintable(QString::number(lagFrames)));
}

QTEST_GUILESS_MAIN(SmoothingTest)
#include "tst_smoothing.moc"
