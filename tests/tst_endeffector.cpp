#include "view/EndEffector.h"
#include "view/DataLocation.h"

#include "tests/support/OutputCapture.h"

#include <QDir>
#include <QTemporaryDir>
#include <QVector3D>
#include <QtTest>

namespace {

const QByteArray notFound = "\n File to read geometry of Robotic End Effector not found";

QString writeFixture(const QTemporaryDir &dir, const QByteArray &content)
{
    const QString path = dir.filePath(QStringLiteral("geometry.dat"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(content) != content.size())
        return QString();
    return path;
}

QByteArray face(int vertexCount, int firstCoordinate = 0)
{
    QByteArray text = "face " + QByteArray::number(vertexCount) + "\nnormal 0 0 1\n";
    for (int v = 0; v < vertexCount; ++v)
        text += "vertex " + QByteArray::number(firstCoordinate + v) + " 0.5 -1.25\n";
    return text;
}

QByteArray faces(int count)
{
    QByteArray text;
    for (int f = 0; f < count; ++f)
        text += face(4, f);
    return text;
}

const QByteArray header = "scale 1.5 2.5 3.5\nshaft 1\n";

// Where a file vertex lands in the pose glyph's frame once drawn.
QVector3D placed(const float v[3])
{
    return 0.5f * QVector3D(v[0] - 1.0f, v[2] - 0.5f, -v[1] - 1.125f);
}

QVector3D placedNormal(const float n[3]) { return QVector3D(n[0], n[2], -n[1]); }

} // namespace

class TestEndEffector : public QObject {
    Q_OBJECT
private slots:
    // First on purpose: nothing else in this program touches the
    // process-wide model before it.
    void missingFileIsRetriedByTheCache();
    void missingFileMessage();
    void readsFixtures_data();
    void readsFixtures();
    void triangleValues();
    void shippedGripper();
    void modelLocation_data();
    void modelLocation();
};

void TestEndEffector::missingFileIsRetriedByTheCache()
{
    const QString home = QDir::currentPath();
    QTemporaryDir empty;
    QVERIFY(empty.isValid());
    QVERIFY(QDir::setCurrent(empty.path()));
    QByteArray printed;
    bool loadedWithoutFile = true;
    {
        OutputCapture out(stdout);
        loadedWithoutFile = endEffectorModel().loaded || endEffectorModel().loaded;
        printed = out.text();
    }
    QVERIFY(QDir::setCurrent(QStringLiteral(HANDMOTION_SOURCE_DIR)));
    const EndEffectorModel &model = endEffectorModel();
    QVERIFY(QDir::setCurrent(home));

    QVERIFY(!loadedWithoutFile);
    QCOMPARE(printed, notFound + notFound);
    QVERIFY(model.loaded);
    QVERIFY(model.faceCount > 0);
}

void TestEndEffector::missingFileMessage()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    OutputCapture out(stdout);
    OutputCapture err(stderr);
    const EndEffectorModel model = loadEndEffectorModel(dir.filePath(QStringLiteral("none.dat")));
    const QByteArray printed = out.text();
    const QByteArray complained = err.text();
    QCOMPARE(printed, notFound);
    QCOMPARE(complained, QByteArray());
    QVERIFY(!model.loaded);
    QCOMPARE(model.faceCount, 0);
}

void TestEndEffector::readsFixtures_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("faceCount");
    QTest::addColumn<int>("hasShaft");
    // Empty: the file is fine. Otherwise the line the message must name.
    QTest::addColumn<QString>("problemAt");

    QTest::newRow("one triangle") << header + face(3) << 1 << 1 << QString();
    QTest::newRow("header only") << header << 0 << 1 << QString();
    QTest::newRow("no shaft") << QByteArray("h 1 1 1 s 0 ") + faces(2) << 2 << 0 << QString();
    QTest::newRow("36 faces") << header + faces(36) << 36 << 1 << QString();
    QTest::newRow("labels of any words")
        << QByteArray("a-label-of-19-chars 0 0 0\nx 7\nf 0 n 1 0 0") << 1 << 7 << QString();
    QTest::newRow("37 faces") << header + faces(37) << 36 << 1 << QStringLiteral(":219:");
    QTest::newRow("11 vertices") << header + faces(1) + face(11) << 1 << 1 << QStringLiteral(":9:");
    QTest::newRow("negative vertex count") << header + face(4) + "face -3\n"
                                           << 1 << 1 << QStringLiteral(":9:");
    QTest::newRow("word as coordinate")
        << header + face(4) + "face 3\nnormal 0 0 1\nvertex 1 2 3\nvertex 1 two 3\n"
        << 1 << 1 << QStringLiteral(":12:");
    QTest::newRow("word as vertex count") << header + face(4) + "face three\n"
                                          << 1 << 1 << QStringLiteral(":9:");
    QTest::newRow("not a number") << header + "face 1\nnormal nan 0 1\nvertex 0 0 0\n"
                                  << 0 << 1 << QStringLiteral(":4:");
    QTest::newRow("decimal comma")
        << QByteArray("h 1,5 0 0\ns 1\n") << 0 << 0 << QStringLiteral(":1:");
    QTest::newRow("word as shaft flag")
        << QByteArray("h 1 1 1\ns yes\n") + face(3) << 0 << 0 << QStringLiteral(":2:");
    QTest::newRow("cut inside a face") << header + face(4) + "face 4\nnormal 0 0 1\nvertex 1 2" << 1
                                       << 1 << QStringLiteral(":11:");
    QTest::newRow("cut after a label")
        << header + face(3) + "face" << 1 << 1 << QStringLiteral(":8:");
    QTest::newRow("cut inside the header")
        << QByteArray("scale 1 2") << 0 << 0 << QStringLiteral(":1:");
    QTest::newRow("empty file") << QByteArray() << 0 << 0 << QStringLiteral(":1:");
    QTest::newRow("endless token")
        << header + QByteArray(100000, '7') << 0 << 1 << QStringLiteral(":3:");
}

void TestEndEffector::readsFixtures()
{
    QFETCH(QByteArray, content);
    QFETCH(int, faceCount);
    QFETCH(int, hasShaft);
    QFETCH(QString, problemAt);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = writeFixture(dir, content);
    QVERIFY(!path.isEmpty());

    OutputCapture err(stderr);
    const EndEffectorModel model = loadEndEffectorModel(path);
    const QString complained = QString::fromLocal8Bit(err.text());

    QVERIFY(model.loaded);
    QCOMPARE(model.faceCount, faceCount);
    QCOMPARE(model.hasShaft, hasShaft);
    for (int f = 0; f < model.faceCount; ++f)
        QVERIFY(model.faces[f].vertexCount <= EndEffectorFace::maxVertices);
    if (problemAt.isEmpty()) {
        QCOMPARE(complained, QString());
    } else {
        // One message, one line, naming the file and the line.
        QCOMPARE(complained.count(QLatin1Char('\n')), 1);
        QVERIFY2(complained.startsWith(path + problemAt), qPrintable(complained));
    }
}

void TestEndEffector::triangleValues()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = writeFixture(dir,
        "header 0.1 0.2 0.3\nshaft 0\nface 3\nnormal 0 0 1\nvertex 1 0 0\n"
        "vertex 1 1 0\nvertex 2 0 0\n");
    const EndEffectorModel model = loadEndEffectorModel(path);
    QCOMPARE(model.faceCount, 1);
    QCOMPARE(model.headerValues[0], 0.1f);
    QCOMPARE(model.headerValues[2], 0.3f);
    const EndEffectorFace &triangle = model.faces[0];
    QCOMPARE(triangle.vertexCount, 3);
    QCOMPARE(placed(triangle.vertices[0]), QVector3D(0.0f, -0.25f, -0.5625f));
    QCOMPARE(placed(triangle.vertices[1]), QVector3D(0.0f, -0.25f, -1.0625f));
    QCOMPARE(placed(triangle.vertices[2]), QVector3D(0.5f, -0.25f, -0.5625f));
    QCOMPARE(placedNormal(triangle.normal), QVector3D(0.0f, 1.0f, 0.0f));
}

// The geometry the program ships: within the format, every face planar and
// wound around its normal, the surface closed and facing outwards, and the
// whole placed around the glyph's origin at about the glyph's size.
void TestEndEffector::shippedGripper()
{
    const QString path = QStringLiteral(HANDMOTION_SOURCE_DIR "/Object/wrist_smallsize.dat");
    OutputCapture err(stderr);
    const EndEffectorModel model = loadEndEffectorModel(path);
    QCOMPARE(err.text(), QByteArray());
    QVERIFY(model.loaded);
    QVERIFY(model.faceCount >= 18);
    QVERIFY(model.hasShaft != 0);

    QVector3D areaSum;
    double volume = 0.0;
    QVector3D low(1e9f, 1e9f, 1e9f), high(-1e9f, -1e9f, -1e9f);
    for (int f = 0; f < model.faceCount; ++f) {
        const EndEffectorFace &face = model.faces[f];
        QVERIFY(face.vertexCount >= 3);
        const QVector3D normal(face.normal[0], face.normal[1], face.normal[2]);
        QVERIFY(qFuzzyCompare(normal.length(), 1.0f));
        // Newell's area vector: its direction is the winding's normal.
        QVector3D area, centre;
        for (int v = 0; v < face.vertexCount; ++v) {
            const float *a = face.vertices[v];
            const float *b = face.vertices[(v + 1) % face.vertexCount];
            area += 0.5f
                * QVector3D::crossProduct(QVector3D(a[0], a[1], a[2]), QVector3D(b[0], b[1], b[2]));
            centre += QVector3D(a[0], a[1], a[2]) / float(face.vertexCount);
            const QVector3D p = placed(a);
            low = QVector3D(qMin(low.x(), p.x()), qMin(low.y(), p.y()), qMin(low.z(), p.z()));
            high = QVector3D(qMax(high.x(), p.x()), qMax(high.y(), p.y()), qMax(high.z(), p.z()));
        }
        QVERIFY2(QVector3D::dotProduct(area.normalized(), normal) > 0.999f,
            qPrintable(QStringLiteral("face %1 is not wound around its normal").arg(f + 1)));
        for (int v = 0; v < face.vertexCount; ++v) {
            const float *a = face.vertices[v];
            QVERIFY(
                qAbs(QVector3D::dotProduct(QVector3D(a[0], a[1], a[2]) - centre, normal)) < 1e-5f);
        }
        areaSum += area;
        volume += QVector3D::dotProduct(centre, area) / 3.0;
    }
    QVERIFY(areaSum.length() < 1e-4f);
    QVERIFY(volume > 0.0);

    const QVector3D glyphOrigin(0.0f, 0.0f, -0.5625f);
    for (int axis = 0; axis < 3; ++axis) {
        QVERIFY(low[axis] <= glyphOrigin[axis] + 0.05f && glyphOrigin[axis] - 0.05f <= high[axis]);
        QVERIFY(high[axis] - low[axis] > 0.3f && high[axis] - low[axis] < 1.5f);
    }
}

void TestEndEffector::modelLocation_data()
{
    // What the working directory holds at the model's path: nothing, the
    // file, or a directory of that name.
    QTest::addColumn<QString>("inWorkingDirectory");
    QTest::addColumn<bool>("installed");
    QTest::addColumn<bool>("executableKnown");
    // "working", "installed", or "missing" (the relative path, to fail).
    QTest::addColumn<QString>("found");

    QTest::newRow("working directory") << "file" << false << true << "working";
    QTest::newRow("installed") << "" << true << true << "installed";
    QTest::newRow("both: the working directory first") << "file" << true << true << "working";
    QTest::newRow("neither") << "" << false << true << "missing";
    QTest::newRow("a directory by that name") << "directory" << true << true << "installed";
    QTest::newRow("before the application exists") << "" << true << false << "missing";
}

void TestEndEffector::modelLocation()
{
    QFETCH(QString, inWorkingDirectory);
    QFETCH(bool, installed);
    QFETCH(bool, executableKnown);
    QFETCH(QString, found);

    QTemporaryDir root;
    QVERIFY(root.isValid());
    const QString bin = root.filePath(QStringLiteral("prefix/bin"));
    const QString work = root.filePath(QStringLiteral("work"));
    const QString relative = QString::fromLatin1(endEffectorModelPath);
    // The data directory sits beside bin/, so that the install moves whole.
    QCOMPARE(installedDataDirectory(bin), root.filePath(QStringLiteral("prefix/share/handmotion")));
    const QString installedPath = QDir(installedDataDirectory(bin)).filePath(relative);
    auto place = [](const QString &path) {
        QFile file(path);
        return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly)
            && file.write(header) == header.size();
    };
    QVERIFY(QDir().mkpath(bin) && QDir().mkpath(work));
    if (inWorkingDirectory == QLatin1String("file"))
        QVERIFY(place(QDir(work).filePath(relative)));
    if (inWorkingDirectory == QLatin1String("directory"))
        QVERIFY(QDir(work).mkpath(relative));
    if (installed)
        QVERIFY(place(installedPath));

    const QString home = QDir::currentPath();
    QVERIFY(QDir::setCurrent(work));
    const QString located = locateDataFile(relative, executableKnown ? bin : QString());
    QVERIFY(QDir::setCurrent(home));

    if (found == QLatin1String("installed"))
        QCOMPARE(located, installedPath);
    else
        QCOMPARE(located, relative);
}

QTEST_MAIN(TestEndEffector)
#include "tst_endeffector.moc"
