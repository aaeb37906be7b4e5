// The webcam and video sources without a browser: the hand page's messages
// read or refused, the loopback server's token and limits, the source
// settings, and the pictures of video files (MJPEG split, YUV4MPEG2
// converted, other formats through ffmpeg).

#include "sensor/sources/HandSource.h"
#include "sensor/sources/PageMessage.h"
#include "sensor/sources/PageServer.h"
#include "sensor/sources/Source.h"
#include "sensor/sources/VideoPictures.h"

#include <QEventLoop>
#include <QImage>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <cmath>

using camera::PageIgnored;
using camera::PageMessage;
using camera::VideoPicture;
using camera::VideoPictures;
using namespace std::chrono_literals;

namespace {

const QString handVideos = QStringLiteral(HANDMOTION_HAND_VIDEOS_DIR);

// A landmarks message as the page writes it (JSON.stringify of its object):
// two hands, every coordinate a distinct exact binary fraction.
QByteArray landmarkMessage(int hands = 2)
{
    QByteArray text = R"({"kind":"landmarks","i":41,"t_us":1366667,"w":640,"h":480,)"
                      R"("mirrored":false,"ms":61.5,"hands":[)";
    for (int h = 0; h < hands; ++h) {
        text += h ? "," : "";
        text += h ? R"({"label":"Right","score":0.5,"image":[)"
                  : R"({"label":"Left","score":0.96875,"image":[)";
        for (int k = 0; k < 21; ++k)
            text += QByteArray(k ? "," : "") + '[' + QByteArray::number(100 * h + k + 0.25, 'g', 17)
                + ',' + QByteArray::number(-k - 0.5, 'g', 17) + ']';
        text += R"(],"world":[)";
        for (int k = 0; k < 21; ++k)
            text += QByteArray(k ? "," : "") + '[' + QByteArray::number(k / 128.0, 'g', 17) + ','
                + QByteArray::number(-k / 64.0, 'g', 17) + ','
                + QByteArray::number(h / 32.0, 'g', 17) + ']';
        text += "]}";
    }
    return text + "]}";
}

bool read(const QByteArray &text, PageMessage &message, std::string &error)
{
    return camera::readPageMessage(text.constData(), std::size_t(text.size()), message, error);
}

// The number drawn into a hand video's picture: 8 blocks of 20 x 20 pixels
// along the top, block k white for bit k.
int drawnFrameNumber(const QImage &picture)
{
    int number = 0;
    for (int k = 0; k < 8; ++k) {
        if (qGray(picture.pixel(20 * k + 10, 10)) > 128)
            number |= 1 << k;
    }
    return number;
}

QImage pictureImage(const VideoPicture &picture)
{
    if (picture.format == VideoPicture::Format::Jpeg)
        return QImage::fromData(reinterpret_cast<const uchar *>(picture.bytes.data()),
            int(picture.bytes.size()), "JPEG");
    return QImage(reinterpret_cast<const uchar *>(picture.bytes.data()), picture.width,
        picture.height, QImage::Format_RGBA8888)
        .copy();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.flush();
}

struct Reply {
    int status = 0;
    QByteArray body;
    QByteArray header(const char *name) const { return headers.value(name); }
    QHash<QByteArray, QByteArray> headers;
};

// One request, answered before returning.
Reply request(QNetworkAccessManager &network, const QByteArray &method, const QString &url,
    const QByteArray &body = QByteArray(), const QByteArray &type = "application/json")
{
    QNetworkRequest req { QUrl(url) };
    req.setHeader(QNetworkRequest::ContentTypeHeader, type);
    QNetworkReply *reply = network.sendCustomRequest(req, method, body);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    loop.exec();
    Reply answer;
    answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    answer.body = reply->readAll();
    for (const QByteArray &name : reply->rawHeaderList())
        answer.headers.insert(name.toLower(), reply->rawHeader(name));
    reply->deleteLater();
    return answer;
}

// The Y'CbCr to R'G'B' of BT.601 with video levels, in floating point: the
// independent oracle for the converter's fixed point.
void bt601(int y, int cb, int cr, int rgb[3])
{
    const double l = 255.0 / 219.0 * (y - 16);
    const double b = 255.0 / 224.0 * 1.772 * (cb - 128);
    const double r = 255.0 / 224.0 * 1.402 * (cr - 128);
    const double g = l - (0.114 * b + 0.299 * r) / 0.587;
    const double v[3] = { l + r, g, l + b };
    for (int c = 0; c < 3; ++c)
        rgb[c] = int(std::lround(std::min(255.0, std::max(0.0, v[c]))));
}

} // namespace

class TestHandPage : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void landmarkMessageIsRead();
    void malformedMessagesAreRefused_data();
    void malformedMessagesAreRefused();
    void everyCutIsRefused();
    void serverAnswersItsTokenOnly();
    void ignoredRequestsAreSummedUpOnceASecond();
    void settingsAreRead_data();
    void settingsAreRead();
    void mjpegPicturesComeOnceInOrder();
    void brokenMjpegKeepsThePicturesBeforeIt_data();
    void brokenMjpegKeepsThePicturesBeforeIt();
    void y4mPicturesAreConverted_data();
    void y4mPicturesAreConverted();
    void convertedVideoKeepsEveryPicture();
};

void TestHandPage::landmarkMessageIsRead()
{
    PageMessage message;
    std::string error;
    QVERIFY2(read(landmarkMessage(), message, error), error.c_str());
    QCOMPARE(int(message.kind), int(PageMessage::Kind::Landmarks));
    QCOMPARE(message.index, std::int64_t(41));
    QCOMPARE(message.frame.timeMicroseconds, std::int64_t(1366667));
    QCOMPARE(message.frame.width, 640);
    QCOMPARE(message.frame.height, 480);
    QVERIFY(!message.frame.mirrored);
    QCOMPARE(message.analysisMilliseconds, 61.5);
    QCOMPARE(int(message.frame.hands.size()), 2);
    const camera::LandmarkHand &left = message.frame.hands[0];
    const camera::LandmarkHand &right = message.frame.hands[1];
    QVERIFY(!left.labelledRight);
    QVERIFY(right.labelledRight);
    QCOMPARE(left.score, 0.96875);
    for (int k = 0; k < 21; ++k) {
        QCOMPARE(right.image[std::size_t(k)][0], 100 + k + 0.25);
        QCOMPARE(right.image[std::size_t(k)][1], -k - 0.5);
        QCOMPARE(right.world[std::size_t(k)][0], k / 128.0);
        QCOMPARE(right.world[std::size_t(k)][1], -k / 64.0);
        QCOMPARE(right.world[std::size_t(k)][2], 1 / 32.0);
    }
    QVERIFY(read(R"({"kind":"error","text":"the camera is busy"})", message, error));
    QCOMPARE(int(message.kind), int(PageMessage::Kind::Error));
    QCOMPARE(message.text, QStringLiteral("the camera is busy"));
    QVERIFY(read(R"({"kind":"end","text":""})", message, error));
    QCOMPARE(int(message.kind), int(PageMessage::Kind::End));
    // A picture the browser could not decode still counts.
    QVERIFY(read(
        R"({"kind":"landmarks","i":3,"t_us":0,"w":0,"h":0,"mirrored":false,"hands":[],"broken":true})",
        message, error));
    QVERIFY(message.broken);
}

void TestHandPage::malformedMessagesAreRefused_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("why");
    const QByteArray good = landmarkMessage(1);
    const auto with = [&good](const char *from, const char *to) {
        QByteArray changed = good;
        return changed.replace(from, to);
    };
    QTest::newRow("not JSON") << QByteArray("{\"kind\":") << "not a JSON object";
    QTest::newRow("a list") << QByteArray("[1,2]") << "not a JSON object";
    QTest::newRow("empty") << QByteArray() << "not a JSON object";
    QTest::newRow("unknown kind") << with("landmarks", "landmark") << "unknown \"kind\"";
    QTest::newRow("index missing") << with("\"i\":41,", "") << "\"i\" is missing";
    QTest::newRow("index negative") << with("\"i\":41", "\"i\":-1") << "\"i\" is out of range";
    QTest::newRow("index fractional") << with("\"i\":41", "\"i\":41.5") << "not a whole number";
    QTest::newRow("index beyond 2^53")
        << with("\"i\":41", "\"i\":1e300") << "\"i\" is out of range";
    QTest::newRow("time a string")
        << with("\"t_us\":1366667", "\"t_us\":\"1\"") << "\"t_us\" is missing";
    QTest::newRow("width huge") << with("\"w\":640", "\"w\":99999") << "\"w\" is out of range";
    QTest::newRow("hands without a size") << with("\"w\":640", "\"w\":0") << "without a size";
    QTest::newRow("mirrored missing") << with("\"mirrored\":false,", "") << "\"mirrored\"";
    QTest::newRow("three hands") << landmarkMessage(3) << "more than two hands";
    QTest::newRow("hands not a list") << QByteArray(
        R"({"kind":"landmarks","i":1,"t_us":0,"w":4,"h":4,"mirrored":false,"hands":{}})")
                                      << "\"hands\" is missing or not a list";
    QTest::newRow("label unknown") << with("\"Left\"", "\"left\"") << "\"label\"";
    QTest::newRow("score above one") << with("0.96875", "1.5") << "\"score\" is out of range";
    QTest::newRow("20 image points") << with("[0.25,-0.5],", "") << "not a list of 21 points";
    QTest::newRow("image point of 3") << with("[0.25,-0.5]", "[0.25,-0.5,1]") << "does not have 2";
    QTest::newRow("image point far outside")
        << with("[0.25,-0.5]", "[0.25,-5000]") << "out of range";
    QTest::newRow("world coordinate null")
        << with("\"world\":[[0,", "\"world\":[[null,") << "out of range";
    QTest::newRow("world point metres away")
        << with("\"world\":[[0,", "\"world\":[[11,") << "out of range";
    QTest::newRow("text missing") << QByteArray(R"({"kind":"error"})") << "\"text\"";
    QByteArray oversized = R"({"kind":"error","text":")";
    oversized += QByteArray(int(camera::maxPageMessageBytes), 'a') + "\"}";
    QTest::newRow("oversized") << oversized << "larger than";
}

void TestHandPage::malformedMessagesAreRefused()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, why);
    PageMessage message;
    std::string error;
    QVERIFY(!read(text, message, error));
    QVERIFY2(QString::fromStdString(error).contains(why), error.c_str());
}

// Every message cut short anywhere is refused, and reading never goes past
// the cut (the sanitized build checks that).
void TestHandPage::everyCutIsRefused()
{
    const QByteArray whole = landmarkMessage();
    PageMessage message;
    std::string error;
    for (int n = 0; n < whole.size(); ++n) {
        const QByteArray cut(whole.constData(), n);
        QVERIFY2(!read(cut, message, error), qPrintable(QString::number(n)));
    }
}

void TestHandPage::serverAnswersItsTokenOnly()
{
    QTemporaryDir page;
    QTemporaryDir model;
    QVERIFY(page.isValid() && model.isValid());
    for (const char *name : { "hands.html", "handpage.js", "secret.txt" })
        QVERIFY(writeFile(page.filePath(QLatin1String(name)), QByteArray("page file ") + name));
    for (const char *name : { "hands.js", "hands.binarypb", "hands_solution_packed_assets.data",
             "hands_solution_packed_assets_loader.js", "hands_solution_simd_wasm_bin.js",
             "hands_solution_simd_wasm_bin.wasm", "hands_solution_wasm_bin.js",
             "hands_solution_wasm_bin.wasm", "hand_landmark_full.tflite",
             "hand_landmark_lite.tflite" })
        QVERIFY(writeFile(model.filePath(QLatin1String(name)), QByteArray("model file ") + name));
    const camera::HandPageFiles files { page.path(), model.path() };
    QString missing;
    QVERIFY2(files.isComplete(missing), qPrintable(missing));

    std::vector<PageMessage> messages;
    std::vector<std::pair<std::int64_t, std::size_t>> pictures;
    std::atomic<int> picturesLeft { 1 };
    camera::PageServer::Handlers handlers;
    handlers.config = [] { return std::string(R"({"mode":"file"})"); };
    handlers.nextPicture = [&picturesLeft](VideoPicture &picture) {
        if (picturesLeft-- <= 0)
            return false;
        picture.index = 7;
        picture.timeMicroseconds = 233333;
        picture.bytes = "\xff\xd8 picture";
        return true;
    };
    handlers.message = [&messages](PageMessage &&message) { messages.push_back(message); };
    handlers.picture = [&pictures](std::int64_t index, std::string &&jpeg) {
        pictures.emplace_back(index, jpeg.size());
    };
    // A file missing is named.
    QVERIFY(QFile::remove(model.filePath(QStringLiteral("hand_landmark_lite.tflite"))));
    QVERIFY(!files.isComplete(missing));
    QVERIFY2(missing.endsWith(QLatin1String("/hand_landmark_lite.tflite")), qPrintable(missing));
    QVERIFY(writeFile(model.filePath(QStringLiteral("hand_landmark_lite.tflite")), "model file"));

    camera::PageServer server(files, handlers, "test");
    QString error;
    QVERIFY2(server.start(error), qPrintable(error));
    camera::PageServer other(files, handlers, "test");
    QVERIFY2(other.start(error), qPrintable(error));
    QVERIFY(QRegularExpression(QStringLiteral("^[0-9a-f]{32}$"))
                .match(QString::fromStdString(server.token()))
                .hasMatch());
    QVERIFY(server.token() != other.token());

    QNetworkAccessManager network;
    const QString root = QStringLiteral("http://127.0.0.1:%1/").arg(server.port());
    const QString base = root + QString::fromStdString(server.token()) + QLatin1Char('/');
    QCOMPARE(QString::fromStdString(server.pageAddress()), base + QStringLiteral("hands.html"));
    Reply r = request(network, "GET", base + QStringLiteral("hands.html"));
    QCOMPARE(r.status, 200);
    QCOMPARE(r.body, QByteArray("page file hands.html"));
    r = request(
        network, "GET", base + QStringLiteral("mediapipe/hands_solution_simd_wasm_bin.wasm"));
    QCOMPARE(r.status, 200);
    QCOMPARE(r.header("content-type"), QByteArray("application/wasm"));
    QCOMPARE(r.body, QByteArray("model file hands_solution_simd_wasm_bin.wasm"));
    r = request(network, "GET", base + QStringLiteral("config"));
    QCOMPARE(r.body, QByteArray(R"({"mode":"file"})"));
    r = request(network, "POST", base + QStringLiteral("next"));
    QCOMPARE(r.status, 200);
    QCOMPARE(r.header("x-frame-index"), QByteArray("7"));
    QCOMPARE(r.header("x-frame-time"), QByteArray("233333"));
    QCOMPARE(r.body, QByteArray("\xff\xd8 picture"));
    QCOMPARE(request(network, "POST", base + QStringLiteral("next")).status, 204);
    r = request(network, "POST", base + QStringLiteral("message"), landmarkMessage());
    QCOMPARE(r.status, 204);
    QCOMPARE(int(messages.size()), 1);
    QCOMPARE(messages[0].index, std::int64_t(41));
    QCOMPARE(request(network, "POST", base + QStringLiteral("picture?i=12"), "\xff\xd8\xff\xd9",
                 "image/jpeg")
                 .status,
        204);
    QCOMPARE(int(pictures.size()), 1);
    QCOMPARE(pictures[0].first, std::int64_t(12));

    // Refused, and nothing reaches the handlers: a wrong token, the token
    // with more after it, none, the other server's.
    const QString wrong[] = { root + QStringLiteral("0123456789abcdef0123456789abcdef/hands.html"),
        root + QString::fromStdString(server.token()) + QStringLiteral("0/hands.html"),
        root + QStringLiteral("hands.html"),
        root + QString::fromStdString(other.token()) + QStringLiteral("/message") };
    for (const QString &url : wrong) {
        const bool post = url.endsWith(QLatin1String("message"));
        r = request(network, post ? "POST" : "GET", url, post ? landmarkMessage() : QByteArray());
        QVERIFY2(
            r.status == 403, qPrintable(url + QStringLiteral(": ") + QString::number(r.status)));
        QVERIFY(!r.body.contains("page file"));
    }
    // Malformed: a bad message, a picture without its number or not a JPEG.
    QCOMPARE(
        request(network, "POST", base + QStringLiteral("message"), "{\"kind\":1}").status, 400);
    QCOMPARE(request(network, "POST", base + QStringLiteral("picture?i=x"), "\xff\xd8\xff\xd9",
                 "image/jpeg")
                 .status,
        400);
    QCOMPARE(request(network, "POST", base + QStringLiteral("picture?i=1"), "GIF89a", "image/gif")
                 .status,
        400);
    // Oversized: a message over its limit, a body over any limit.
    QCOMPARE(request(network, "POST", base + QStringLiteral("message"),
                 QByteArray(int(camera::maxPageMessageBytes) + 1, ' '))
                 .status,
        413);
    QCOMPARE(request(network, "POST", base + QStringLiteral("picture?i=1"),
                 QByteArray(int(camera::maxPreviewBytes) + 1, ' '), "image/jpeg")
                 .status,
        413);
    // Unknown: a file of the page's folder that is not the page's, a path
    // out of the model's folder, a request the page never makes.
    QCOMPARE(request(network, "GET", base + QStringLiteral("secret.txt")).status, 404);
    QCOMPARE(
        request(network, "GET", base + QStringLiteral("mediapipe/%2e%2e/secret.txt")).status, 404);
    QCOMPARE(request(network, "POST", base + QStringLiteral("hands.html")).status, 404);

    QCOMPARE(int(messages.size()), 1);
    QCOMPARE(int(pictures.size()), 1);
    QCOMPARE(server.ignoredTotal(PageIgnored::WrongToken), std::uint64_t(4));
    QCOMPARE(other.ignoredTotal(PageIgnored::WrongToken), std::uint64_t(0));
    QCOMPARE(server.ignoredTotal(PageIgnored::MalformedMessage), std::uint64_t(3));
    QCOMPARE(server.ignoredTotal(PageIgnored::OversizedMessage), std::uint64_t(2));
    QCOMPARE(server.ignoredTotal(PageIgnored::UnknownRequest), std::uint64_t(3));
    server.stop();
    QCOMPARE(request(network, "GET", base + QStringLiteral("hands.html")).status, 0);
}

void TestHandPage::ignoredRequestsAreSummedUpOnceASecond()
{
    camera::PageInputTally tally("webcam");
    const std::chrono::nanoseconds t0 = 100s;
    QVERIFY(tally.takeReport(t0).empty());
    tally.add(PageIgnored::WrongToken, "GET /x");
    tally.add(PageIgnored::WrongToken, "GET /favicon.ico");
    tally.add(PageIgnored::MalformedMessage, "POST /t/message: \"i\" is missing");
    QCOMPARE(QString::fromStdString(tally.takeReport(t0)),
        QStringLiteral("webcam: ignored since the last report: 2 requests without the right "
                       "token (last: GET /favicon.ico); 1 malformed messages (last: POST "
                       "/t/message: \"i\" is missing)"));
    tally.add(PageIgnored::OversizedMessage);
    QVERIFY(tally.takeReport(t0 + 999ms).empty());
    QCOMPARE(QString::fromStdString(tally.takeReport(t0 + 1s)),
        QStringLiteral("webcam: ignored since the last report: 1 oversized requests"));
    QVERIFY(tally.takeReport(t0 + 5s).empty());
    QCOMPARE(tally.total(PageIgnored::WrongToken), std::uint64_t(2));
}

void TestHandPage::settingsAreRead_data()
{
    QTest::addColumn<QString>("setting");
    QTest::addColumn<bool>("video");
    QTest::addColumn<QString>("target");
    QTest::addColumn<double>("fov");
    QTest::addColumn<bool>("lite");
    QTest::addColumn<QString>("error");
    QTest::newRow("webcam") << "webcam" << false << "" << 60.0 << false << "";
    QTest::newRow("a device") << "webcam:/dev/video2" << false << "/dev/video2" << 60.0 << false
                              << "";
    QTest::newRow("options") << "webcam:/dev/video0?fov=70&model=lite" << false << "/dev/video0"
                             << 70.0 << true << "";
    QTest::newRow("webcam options") << "webcam?model=full" << false << "" << 60.0 << false << "";
    QTest::newRow("video") << "video:/p/x.mp4?fov=70" << true << "/p/x.mp4" << 70.0 << false << "";
    QTest::newRow("question mark in a name")
        << "video:/p/what?.mp4" << true << "/p/what?.mp4" << 60.0 << false << "";
    QTest::newRow("no path") << "video:" << true << "" << 60.0 << false << "needs the video file";
    QTest::newRow("not a device") << "webcam:/dev/sda" << false << "" << 60.0 << false
                                  << "/dev/videoN";
    QTest::newRow("fov too small")
        << "webcam?fov=5" << false << "" << 60.0 << false << "from 10 to 170";
    QTest::newRow("fov not a number")
        << "video:/a.y4m?fov=wide" << true << "" << 60.0 << false << "from 10 to 170";
    QTest::newRow("unknown model")
        << "webcam?model=heavy" << false << "" << 60.0 << false << "full or lite";
    QTest::newRow("unknown option")
        << "webcam?zoom=2" << false << "" << 60.0 << false << "unknown option \"zoom\"";
}

void TestHandPage::settingsAreRead()
{
    QFETCH(QString, setting);
    QFETCH(bool, video);
    QFETCH(QString, target);
    QFETCH(double, fov);
    QFETCH(bool, lite);
    QFETCH(QString, error);
    camera::HandSourceSetting read;
    QString why;
    const bool ok = camera::readHandSourceSetting(setting, read, why);
    // The camera setting refuses exactly what the source's reader refuses.
    QCOMPARE(camera::cameraSettingError(setting), why);
    if (!error.isEmpty()) {
        QVERIFY(!ok);
        QVERIFY2(why.contains(error), qPrintable(why));
        return;
    }
    QVERIFY2(ok, qPrintable(why));
    QCOMPARE(read.kind == camera::HandSourceSetting::Kind::Video, video);
    QCOMPARE(video ? read.path : read.device, target);
    QCOMPARE(read.fovDegrees, fov);
    QCOMPARE(read.liteModel, lite);
}

void TestHandPage::mjpegPicturesComeOnceInOrder()
{
    const QString path = handVideos + QStringLiteral("/move.mjpeg");
    if (!QFileInfo::exists(path))
        QSKIP("the hand videos are not here");
    QString error;
    const std::unique_ptr<VideoPictures> pictures
        = VideoPictures::open(path + QString(), 25.0, error);
    QVERIFY2(pictures, qPrintable(error));
    VideoPicture picture;
    int count = 0;
    while (pictures->next(picture, error)) {
        QCOMPARE(picture.index, std::int64_t(count));
        QCOMPARE(picture.timeMicroseconds, std::int64_t(count) * 40000);
        const QImage image = pictureImage(picture);
        QCOMPARE(image.size(), QSize(640, 480));
        QCOMPARE(drawnFrameNumber(image), count);
        ++count;
    }
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(count, 150);
}

void TestHandPage::brokenMjpegKeepsThePicturesBeforeIt_data()
{
    QTest::addColumn<QString>("damage");
    QTest::addColumn<QString>("error");
    QTest::newRow("cut inside a picture") << "cut"
                                          << "picture 3 is cut short";
    QTest::newRow("no marker after a segment") << "garbage"
                                               << "picture 3 is broken";
    QTest::newRow("a picture inside a picture") << "nested"
                                                << "picture 3 is broken";
}

void TestHandPage::brokenMjpegKeepsThePicturesBeforeIt()
{
    QFETCH(QString, damage);
    QFETCH(QString, error);
    const QString path = handVideos + QStringLiteral("/still.mjpeg");
    if (!QFileInfo::exists(path))
        QSKIP("the hand videos are not here");
    QString why;
    std::unique_ptr<VideoPictures> source = VideoPictures::open(path, 30.0, why);
    QVERIFY(source);
    QByteArray bytes;
    VideoPicture picture;
    for (int k = 0; k < 4; ++k) {
        QVERIFY(source->next(picture, why));
        bytes += QByteArray(picture.bytes.data(), int(picture.bytes.size()));
    }
    const int fourth = bytes.size() - int(picture.bytes.size());
    if (damage == QLatin1String("cut"))
        bytes.truncate(fourth + int(picture.bytes.size()) / 2);
    else if (damage == QLatin1String("garbage"))
        bytes[fourth + 2] = 'x'; // where the first segment's marker is
    else
        bytes.insert(fourth + 2, "\xff\xd8");
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/hand page XXXXXX"));
    const QString damaged = dir.filePath(QStringLiteral("damaged.mjpeg"));
    QVERIFY(writeFile(damaged, bytes));
    source = VideoPictures::open(damaged, 30.0, why);
    QVERIFY(source);
    for (int k = 0; k < 3; ++k)
        QVERIFY2(source->next(picture, why), qPrintable(why));
    QVERIFY(!source->next(picture, why));
    QVERIFY2(why.contains(error) && why.contains(damaged), qPrintable(why));
}

void TestHandPage::y4mPicturesAreConverted_data()
{
    QTest::addColumn<QByteArray>("colourSpace");
    QTest::addColumn<int>("shiftX");
    QTest::addColumn<int>("shiftY");
    QTest::newRow("4:2:0") << QByteArray(" C420jpeg") << 1 << 1;
    QTest::newRow("4:2:0 unnamed") << QByteArray() << 1 << 1;
    QTest::newRow("4:2:2") << QByteArray(" C422") << 1 << 0;
    QTest::newRow("4:4:4") << QByteArray(" C444") << 0 << 0;
    QTest::newRow("grey") << QByteArray(" Cmono") << -1 << -1;
}

void TestHandPage::y4mPicturesAreConverted()
{
    QFETCH(QByteArray, colourSpace);
    QFETCH(int, shiftX);
    QFETCH(int, shiftY);
    // Pictures of 6 x 4 with odd chroma sizes left out; every pixel its own
    // luma, every chroma sample its own pair.
    const int w = 6, h = 4;
    // Chroma samples spread over the legal range 16 to 240.
    const auto chroma
        = [](int k, int step, int first) { return 16 + (first - 16 + step * k) % 225; };
    const bool grey = shiftX < 0;
    const int cw = grey ? 0 : (w + (1 << shiftX) - 1) >> shiftX;
    const int ch = grey ? 0 : (h + (1 << shiftY) - 1) >> shiftY;
    QByteArray file = "YUV4MPEG2 W6 H4 F15:2 Ip A1:1" + colourSpace + " XYSCSS=X\n";
    for (int f = 0; f < 2; ++f) {
        file += f ? "FRAME Ixyz\n" : "FRAME\n";
        for (int k = 0; k < w * h; ++k)
            file += char(16 + 9 * k + f);
        for (int k = 0; k < cw * ch; ++k)
            file += char(chroma(k, 37, 16));
        for (int k = 0; k < cw * ch; ++k)
            file += char(chroma(k, 53, 240));
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("pictures.y4m"));
    QVERIFY(writeFile(path, file));
    QString error;
    const std::unique_ptr<VideoPictures> pictures = VideoPictures::open(path, 30.0, error);
    QVERIFY2(pictures, qPrintable(error));
    QCOMPARE(pictures->framesPerSecond(), 7.5);
    VideoPicture picture;
    for (int f = 0; f < 2; ++f) {
        QVERIFY2(pictures->next(picture, error), qPrintable(error));
        QCOMPARE(int(picture.format), int(VideoPicture::Format::Rgba));
        QCOMPARE(picture.timeMicroseconds, std::int64_t(f) * 133333);
        QCOMPARE(picture.width, w);
        QCOMPARE(picture.height, h);
        QCOMPARE(int(picture.bytes.size()), w * h * 4);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const int c = grey ? 0 : (y >> shiftY) * cw + (x >> shiftX);
                int expected[3];
                bt601(16 + 9 * (y * w + x) + f, grey ? 128 : chroma(c, 37, 16),
                    grey ? 128 : chroma(c, 53, 240), expected);
                const auto *pixel = reinterpret_cast<const unsigned char *>(picture.bytes.data())
                    + 4 * (y * w + x);
                for (int k = 0; k < 3; ++k)
                    QVERIFY2(std::abs(int(pixel[k]) - expected[k]) <= 1,
                        qPrintable(QStringLiteral("(%1, %2) channel %3: %4, not %5")
                                       .arg(x)
                                       .arg(y)
                                       .arg(k)
                                       .arg(pixel[k])
                                       .arg(expected[k])));
                QCOMPARE(int(pixel[3]), 255);
            }
        }
    }
    QVERIFY(!pictures->next(picture, error));
    QVERIFY(error.isEmpty());
    // The same stream cut inside its second picture, and headers that are
    // not a stream of 8-bit pictures.
    QVERIFY(writeFile(path, file.left(file.size() - 3)));
    std::unique_ptr<VideoPictures> cut = VideoPictures::open(path, 30.0, error);
    QVERIFY(cut && cut->next(picture, error) && !cut->next(picture, error));
    QVERIFY2(error.contains(QLatin1String("picture 1 is cut short")), qPrintable(error));
    const std::pair<QByteArray, QString> headers[] = {
        { "YUV4MPEG2 H4 F15:1\n", QStringLiteral("no picture size") },
        { "YUV4MPEG2 W6 H4 F15:0\n", QStringLiteral("frame rate") },
        { "YUV4MPEG2 W0 H4\n", QStringLiteral("picture size is invalid") },
        { "YUV4MPEG2 W6 H4 C420p10\n", QStringLiteral("C420p10 is not supported") },
        { "YUV4MPEG W6 H4\n", QStringLiteral("not a YUV4MPEG2") },
        { "YUV4MPEG2 W6 H4", QStringLiteral("no header") },
    };
    for (const auto &header : headers) {
        QVERIFY(writeFile(path, header.first));
        QVERIFY(!VideoPictures::open(path, 30.0, error));
        QVERIFY2(error.contains(header.second), qPrintable(error));
    }
}

// A phone's kind of file: H.264 in MP4, made from the first pictures of a
// hand video, read through ffmpeg with every picture in order.
void TestHandPage::convertedVideoKeepsEveryPicture()
{
    const QString source = handVideos + QStringLiteral("/move.mjpeg");
    if (!QFileInfo::exists(source))
        QSKIP("the hand videos are not here");
    if (QStandardPaths::findExecutable(QStringLiteral("ffmpeg")).isEmpty())
        QSKIP("ffmpeg is not installed (scripts/test installs it)");
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/hand page XXXXXX"));
    const QString path = dir.filePath(QStringLiteral("phone video.mp4"));
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
        { QStringLiteral("-nostdin"), QStringLiteral("-v"), QStringLiteral("error"),
            QStringLiteral("-f"), QStringLiteral("mjpeg"), QStringLiteral("-framerate"),
            QStringLiteral("30"), QStringLiteral("-i"), source, QStringLiteral("-frames:v"),
            QStringLiteral("24"), QStringLiteral("-c:v"), QStringLiteral("libx264"),
            QStringLiteral("-crf"), QStringLiteral("18"), QStringLiteral("-pix_fmt"),
            QStringLiteral("yuv420p"), path });
    QVERIFY(ffmpeg.waitForFinished(120000));
    QVERIFY2(ffmpeg.exitCode() == 0, ffmpeg.readAllStandardError().constData());
    QString error;
    const std::unique_ptr<VideoPictures> pictures = VideoPictures::open(path, 30.0, error);
    QVERIFY2(pictures, qPrintable(error));
    QCOMPARE(pictures->framesPerSecond(), 30.0);
    VideoPicture picture;
    int count = 0;
    while (pictures->next(picture, error)) {
        QCOMPARE(picture.timeMicroseconds, std::llround(count * 1e6 / 30));
        const QImage image = pictureImage(picture);
        QCOMPARE(image.size(), QSize(640, 480));
        QCOMPARE(drawnFrameNumber(image), count);
        ++count;
    }
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(count, 24);
    // Not a video at all: ffmpeg's own words reach the message.
    const QString text = dir.filePath(QStringLiteral("notes.mp4"));
    QVERIFY(writeFile(text, "not a video"));
    const std::unique_ptr<VideoPictures> none = VideoPictures::open(text, 30.0, error);
    QVERIFY(!none);
    QVERIFY2(error.contains(QLatin1String("ffmpeg:")) && error.contains(text), qPrintable(error));
}

QTEST_GUILESS_MAIN(TestHandPage)
#include "tst_hand_page.moc"
