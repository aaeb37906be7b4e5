#include "view/EndEffector.h"

#include "motion/Motion.h"
#include "tests/support/GLScene.h"
#include "tests/support/Poses.h"
#include "view/PoseGeometry.h"

#include <GL/gl.h>

#include <QVector3D>
#include <QtTest>

#include <vector>

namespace {

constexpr double halfExtent = 2.0;

EndEffectorModel modelWith(int hasShaft, bool triangle)
{
    EndEffectorModel model;
    model.loaded = true;
    model.hasShaft = hasShaft;
    if (triangle) {
        EndEffectorFace &face = model.faces[0];
        face.vertexCount = 3;
        const float normal[3] = { 0.0f, 0.0f, 1.0f };
        const float vertices[3][3] = { { 1, 0, 0 }, { 1, 1, 0 }, { 2, 0, 0 } };
        std::copy(normal, normal + 3, face.normal);
        for (int v = 0; v < 3; ++v)
            std::copy(vertices[v], vertices[v] + 3, face.vertices[v]);
        model.faceCount = 1;
    }
    return model;
}

// The polygons OpenGL would rasterise for a model, as eye-space vertices
// (the modelview matrix is the identity, so eye space is the caller's frame).
std::vector<std::vector<QVector3D>> feedbackPolygons(GLScene &scene, const EndEffectorModel &model)
{
    scene.begin(halfExtent);
    std::vector<GLfloat> buffer(1 << 20);
    glFeedbackBuffer(GLsizei(buffer.size()), GL_3D, buffer.data());
    glRenderMode(GL_FEEDBACK);
    drawEndEffectorModel(model);
    const GLint used = glRenderMode(GL_RENDER);

    const double size = scene.size();
    const auto eye = [&](const GLfloat *w) {
        // Window to eye space under the orthographic projection of begin():
        // depth -100 .. 100 maps to 1 .. 0.
        return QVector3D(float(w[0] / size * 2.0 * halfExtent - halfExtent),
            float(w[1] / size * 2.0 * halfExtent - halfExtent), float(-100.0 * (2.0 * w[2] - 1.0)));
    };
    std::vector<std::vector<QVector3D>> polygons;
    for (GLint i = 0; i < used;) {
        const GLint token = GLint(buffer[i++]);
        if (token == GL_POLYGON_TOKEN) {
            const int count = int(buffer[i++]);
            std::vector<QVector3D> polygon;
            for (int v = 0; v < count; ++v, i += 3)
                polygon.push_back(eye(&buffer[i]));
            polygons.push_back(polygon);
        } else if (token == GL_POINT_TOKEN || token == GL_BITMAP_TOKEN
            || token == GL_DRAW_PIXEL_TOKEN || token == GL_COPY_PIXEL_TOKEN) {
            i += 3;
        } else if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN) {
            i += 6;
        } else {
            i += 1; // pass-through value
        }
    }
    return polygons;
}

bool near(const QVector3D &a, const QVector3D &b) { return (a - b).length() < 1e-3f; }

} // namespace

class TestGLEndEffector : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void triangleLandsWhereItShould();
    void shaft_data();
    void shaft();
    void glyphColours_data();
    void glyphColours();
    void compiledGeometryLooksLikeTheExactOne();
    void repeatedDrawsKeepMemory();

private:
    std::unique_ptr<GLScene> m_scene;
};

void TestGLEndEffector::initTestCase()
{
    m_scene = std::make_unique<GLScene>(200);
    QVERIFY2(m_scene->isValid(), qPrintable(m_scene->error()));
}

void TestGLEndEffector::triangleLandsWhereItShould()
{
    const auto polygons = feedbackPolygons(*m_scene, modelWith(0, true));
    QCOMPARE(int(polygons.size()), 1);
    const std::vector<QVector3D> &triangle = polygons.front();
    QCOMPARE(int(triangle.size()), 3);
    const QVector3D expected[3]
        = { { 0.0f, -0.25f, -0.5625f }, { 0.0f, -0.25f, -1.0625f }, { 0.5f, -0.25f, -0.5625f } };
    // The rasteriser may start the polygon at any vertex; the cyclic order
    // is what must hold.
    int first = 0;
    while (first < 3 && !near(triangle[first], expected[0]))
        ++first;
    QVERIFY(first < 3);
    for (int v = 0; v < 3; ++v)
        QVERIFY2(near(triangle[(first + v) % 3], expected[v]),
            qPrintable(QStringLiteral("vertex %1 at %2 %3 %4")
                           .arg(v)
                           .arg(triangle[(first + v) % 3].x())
                           .arg(triangle[(first + v) % 3].y())
                           .arg(triangle[(first + v) % 3].z())));
}

void TestGLEndEffector::shaft_data()
{
    QTest::addColumn<int>("hasShaft");
    QTest::newRow("no shaft") << 0;
    QTest::newRow("shaft") << 1;
    QTest::newRow("any non-zero flag") << -4;
}

// A model without faces draws only its wrist shaft: a capped tube of radius
// 0.125 around the line x = 0, z = -0.8125 from y = -0.25 to y = -0.75.
void TestGLEndEffector::shaft()
{
    QFETCH(int, hasShaft);
    const auto polygons = feedbackPolygons(*m_scene, modelWith(hasShaft, false));
    if (hasShaft == 0) {
        QCOMPARE(int(polygons.size()), 0);
        return;
    }
    QVERIFY(polygons.size() > 100);
    float lowY = 0.0f, highY = -1.0f;
    for (const auto &polygon : polygons)
        for (const QVector3D &v : polygon) {
            const float radius = QVector3D(v.x(), 0.0f, v.z() + 0.8125f).length();
            QVERIFY(radius < 0.126f);
            lowY = qMin(lowY, v.y());
            highY = qMax(highY, v.y());
        }
    QVERIFY(qAbs(lowY + 0.75f) < 1e-3f);
    QVERIFY(qAbs(highY + 0.25f) < 1e-3f);
}

void TestGLEndEffector::glyphColours_data()
{
    QTest::addColumn<bool>("selected");
    QTest::addColumn<double>("turnAboutY");
    QTest::addColumn<QPointF>("probe");
    QTest::addColumn<QString>("colour");

    QTest::newRow("x rod") << false << 0.0 << QPointF(1.0, 0.0) << "magenta";
    QTest::newRow("y rod") << false << 0.0 << QPointF(0.0, 1.0) << "green";
    QTest::newRow("z rod") << false << 90.0 << QPointF(1.0, 0.0) << "blue";
    QTest::newRow("selected x rod") << true << 0.0 << QPointF(1.0, 0.0) << "white";
    QTest::newRow("selected y rod") << true << 0.0 << QPointF(0.0, 1.0) << "white";
    QTest::newRow("selected z rod") << true << 90.0 << QPointF(1.0, 0.0) << "white";
}

void TestGLEndEffector::glyphColours()
{
    QFETCH(bool, selected);
    QFETCH(double, turnAboutY);
    QFETCH(QPointF, probe);
    QFETCH(QString, colour);

    m_scene->begin(halfExtent);
    glRotated(turnAboutY, 0.0, 1.0, 0.0);
    if (selected)
        drawSelectedFrameGlyph(poseQuadric());
    else
        drawFrameGlyph(poseQuadric());
    const QImage image = m_scene->image();
    const QRgb pixel = image.pixel(m_scene->pixelOf(probe.x(), probe.y()));
    const int r = qRed(pixel), g = qGreen(pixel), b = qBlue(pixel);
    const QString seen = QStringLiteral("%1 %2 %3").arg(r).arg(g).arg(b);
    if (colour == QLatin1String("magenta"))
        QVERIFY2(r > g + 60 && b > g + 60, qPrintable(seen));
    else if (colour == QLatin1String("green"))
        QVERIFY2(g > r + 60 && g > b + 60, qPrintable(seen));
    else if (colour == QLatin1String("blue"))
        QVERIFY2(b > r + 60 && b > g + 60, qPrintable(seen));
    else
        QVERIFY2(isWhitePixel(pixel), qPrintable(seen));
    // Nothing is drawn on the far side of the origin.
    QCOMPARE(image.pixel(m_scene->pixelOf(-probe.x(), -probe.y())) & 0xffffff, 0u);
}

// The pose markers compiled into display lists, with fewer stacks along the
// rods and rings across the caps, against the exact 20 x 20 quadrics: a
// scene of 120 poses turned every way, frames, models and a highlighted pose,
// as a motion draws them.
void TestGLEndEffector::compiledGeometryLooksLikeTheExactOne()
{
    GLScene scene(480);
    QVERIFY2(scene.isValid(), qPrintable(scene.error()));
    MotionProperties properties;
    properties.setShowFrames(true);
    properties.setShowObject(true);
    properties.setObjectSize(0.7f);
    properties.setObjectColour(0.0f, 0.5f, 0.0f);
    properties.setSelectedPosition(37);
    const auto paint = [&](bool exact) {
        setExactPoseGeometry(exact);
        scene.begin(5.5);
        // As far from the eye, and from the light beside it, as the view's
        // camera puts the poses.
        glTranslated(0.0, 0.0, -20.0);
        for (int i = 0; i < 120; ++i) {
            const QVector3D axis(std::sin(i * 0.7f), std::cos(i * 1.3f), 0.6f);
            const QVector3D at(0.09f * float(i % 11 - 5), 0.09f * float(i / 11 - 5), 0.0f);
            drawPoseAt(makePose(37.0 * i, axis, at), i, properties, true);
        }
        const QImage image = scene.image();
        setExactPoseGeometry(false);
        return image;
    };
    const QImage exact = paint(true);
    const QImage compiled = paint(false);
    // Drawn again from the same lists, the picture does not change.
    QCOMPARE(paint(false), compiled);

    const int pixels = exact.width() * exact.height();
    QVERIFY2(changedPixels(exact, qRgb(0, 0, 0)) > pixels / 4,
        qPrintable(QString::number(changedPixels(exact, qRgb(0, 0, 0)))));
    int differing = 0;
    for (int y = 0; y < exact.height(); ++y)
        for (int x = 0; x < exact.width(); ++x) {
            const QRgb a = exact.pixel(x, y), b = compiled.pixel(x, y);
            const int delta = qMax(qAbs(qRed(a) - qRed(b)),
                qMax(qAbs(qGreen(a) - qGreen(b)), qAbs(qBlue(a) - qBlue(b))));
            differing += delta > 8 ? 1 : 0;
        }
    QVERIFY2(differing * 1000 <= pixels,
        qPrintable(QStringLiteral("%1 of %2 pixels differ by more than 8 levels")
                       .arg(differing)
                       .arg(pixels)));
}

// Quadrics and anything else the drawing makes must not pile up over
// repaints: after a warm-up, hundreds more frames leave the heap where it was.
void TestGLEndEffector::repeatedDrawsKeepMemory()
{
    const auto frame = [this] {
        m_scene->begin(halfExtent);
        for (int pose = 0; pose < 20; ++pose) {
            glPushMatrix();
            glTranslated(0.1 * pose - 1.0, 0.0, 0.0);
            drawFrameGlyph(poseQuadric());
            drawSelectedFrameGlyph(poseQuadric());
            drawEndEffector();
            glPopMatrix();
        }
        glFinish();
    };
    const qint64 growth = heapGrowthOver(frame, 60, 40);
    QVERIFY2(growth < heapGrowthLimit, qPrintable(QStringLiteral("heap grew by %1 bytes").arg(growth)));
}

QTEST_MAIN(TestGLEndEffector)
#include "tst_gl_endeffector.moc"
