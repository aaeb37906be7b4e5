#include "view/EndEffector.h"

#include "view/DataLocation.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <QByteArray>
#include <QFile>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>

const char *const endEffectorModelPath = "Object/wrist_smallsize.dat";

namespace {

// Whitespace-separated tokens of a geometry file, with the line each starts
// on. Reading stops for good at the first problem: the reader reports it once
// and every later request fails, so a bad file cannot make the caller loop.
class GeometryReader {
public:
    GeometryReader(QIODevice &device, const QString &path)
        : m_device(device)
        , m_path(path)
    {
    }

    bool failed() const { return m_failed; }

    // Skips one label token. False at the end of input (reported when
    // endIsError) or after an earlier failure.
    bool label(const char *what, bool endIsError = true)
    {
        QByteArray token;
        return next(token, what, endIsError);
    }

    // True at the end of input, without consuming anything but whitespace.
    bool atEnd()
    {
        skipWhitespace();
        return m_peeked < 0;
    }

    bool number(float &value, const char *what)
    {
        QByteArray token;
        if (!next(token, what, true))
            return false;
        bool ok = false;
        // QByteArray's conversion ignores the C locale, so "0.5" reads the
        // same whatever the user's language.
        const float v = token.toFloat(&ok);
        if (!ok || !std::isfinite(v))
            return fail(QStringLiteral("\"%1\" is not a number (%2)")
                            .arg(QString::fromLatin1(token), QString::fromLatin1(what)));
        value = v;
        return true;
    }

    bool integer(int &value, const char *what)
    {
        QByteArray token;
        if (!next(token, what, true))
            return false;
        bool ok = false;
        const int v = token.toInt(&ok);
        if (!ok)
            return fail(QStringLiteral("\"%1\" is not an integer (%2)")
                            .arg(QString::fromLatin1(token), QString::fromLatin1(what)));
        value = v;
        return true;
    }

    bool fail(const QString &problem)
    {
        if (!m_failed) {
            m_failed = true;
            m_problem = problem;
            m_problemLine = m_tokenLine;
        }
        return false;
    }

    // The one message of this read, empty if nothing went wrong.
    QString message(int facesKept) const
    {
        if (!m_failed)
            return QString();
        // One multi-argument arg(): chained calls would replace a "%1" that
        // the path or a quoted token brings along.
        return QStringLiteral("%1:%2: %3; end-effector geometry read up to there is used (%4 "
                              "faces)\n")
            .arg(m_path, QString::number(m_problemLine), m_problem, QString::number(facesKept));
    }

private:
    // Longer tokens are no numbers and no labels of this format; keeping a
    // bounded prefix is enough to name them in the message.
    static constexpr int maxTokenLength = 64;

    int peek()
    {
        if (m_peeked == -2) {
            char c = 0;
            m_peeked = m_device.getChar(&c) ? static_cast<unsigned char>(c) : -1;
        }
        return m_peeked;
    }

    void consume()
    {
        if (m_peeked == '\n')
            ++m_line;
        m_peeked = -2;
    }

    void skipWhitespace()
    {
        for (int c = peek();
             c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v'; c = peek())
            consume();
    }

    bool next(QByteArray &token, const char *what, bool endIsError)
    {
        if (m_failed)
            return false;
        skipWhitespace();
        m_tokenLine = m_line;
        if (peek() < 0) {
            if (endIsError)
                fail(QStringLiteral("the file ends in %1").arg(QString::fromLatin1(what)));
            return false;
        }
        bool truncated = false;
        for (int c = peek();
             c >= 0 && c != ' ' && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != '\v';
             c = peek()) {
            if (token.size() < maxTokenLength)
                token.append(static_cast<char>(c));
            else
                truncated = true;
            consume();
        }
        if (truncated)
            token.append("...");
        return true;
    }

    QIODevice &m_device;
    QString m_path;
    int m_peeked = -2; // -2: nothing peeked yet, -1: end of input
    int m_line = 1;
    int m_tokenLine = 1;
    bool m_failed = false;
    QString m_problem;
    int m_problemLine = 0;
};

bool readFace(GeometryReader &in, EndEffectorFace &face, int index)
{
    // Descriptions for the message; the face number counts from 1.
    const QByteArray n = QByteArray::number(index + 1);
    int count = 0;
    if (!in.integer(count, QByteArray("the vertex count of face " + n).constData()))
        return false;
    if (count < 0 || count > EndEffectorFace::maxVertices)
        return in.fail(QStringLiteral("face %1 has %2 vertices, a face may have 0 to %3")
                           .arg(index + 1)
                           .arg(count)
                           .arg(EndEffectorFace::maxVertices));
    const QByteArray normalWhat = "the normal of face " + n;
    if (!in.label(normalWhat.constData()))
        return false;
    for (float &c : face.normal)
        if (!in.number(c, normalWhat.constData()))
            return false;
    for (int v = 0; v < count; ++v) {
        const QByteArray vertexWhat = "vertex " + QByteArray::number(v + 1) + " of face " + n;
        if (!in.label(vertexWhat.constData()))
            return false;
        for (float &c : face.vertices[v])
            if (!in.number(c, vertexWhat.constData()))
                return false;
    }
    face.vertexCount = count;
    return true;
}

// Every round part has 20 slices around its axis, whatever its stacks.
constexpr int slices = 20;

void drawCappedShaft(GLUquadric *quadric, int stacks)
{
    if (!quadric)
        return;
    gluCylinder(quadric, 0.25, 0.25, 1.0, slices, stacks);
    // The caps are cones too flat to see as cones: discs of radius 0.25.
    glPushMatrix();
    glRotated(180.0, 0.0, 1.0, 0.0);
    gluCylinder(quadric, 0.25, 0.0, 0.00001, slices, stacks);
    glPopMatrix();
    glPushMatrix();
    glTranslated(0.0, 0.0, 1.0);
    gluCylinder(quadric, 0.25, 0.0, 0.00001, slices, stacks);
    glPopMatrix();
}

void drawRods(GLUquadric *quadric, const GLfloat *xColour, const GLfloat *yColour,
    const GLfloat *zColour, int stacks)
{
    if (!quadric)
        return;
    glPushMatrix();
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, xColour);
    glRotatef(90.0f, 0.0f, 1.0f, 0.0f);
    gluCylinder(quadric, 0.1, 0.1, 2.0, slices, stacks);
    glPopMatrix();

    glPushMatrix();
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, yColour);
    glRotatef(-90.0f, 1.0f, 0.0f, 0.0f);
    gluCylinder(quadric, 0.1, 0.1, 2.0, slices, stacks);
    glPopMatrix();

    glPushMatrix();
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, zColour);
    gluCylinder(quadric, 0.1, 0.1, 2.0, slices, stacks);
    glPopMatrix();
}

} // namespace

EndEffectorModel readEndEffectorModel(QIODevice &device, const QString &name, QString *problem)
{
    EndEffectorModel model;
    GeometryReader in(device, name);
    if (in.label("the header"))
        for (float &value : model.headerValues)
            if (!in.number(value, "the header"))
                break;
    if (in.label("the shaft flag"))
        in.integer(model.hasShaft, "the shaft flag");

    while (!in.failed() && !in.atEnd()) {
        in.label("a face");
        if (model.faceCount == EndEffectorModel::maxFaces) {
            in.fail(QStringLiteral("more than %1 faces").arg(EndEffectorModel::maxFaces));
            break;
        }
        // A face enters the model only when it was read completely.
        EndEffectorFace face;
        if (!readFace(in, face, model.faceCount))
            break;
        model.faces[model.faceCount++] = face;
    }
    if (problem)
        *problem = in.message(model.faceCount);
    model.loaded = true;
    return model;
}

EndEffectorModel loadEndEffectorModel(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        std::fputs("\n File to read geometry of Robotic End Effector not found", stdout);
        std::fflush(stdout);
        return EndEffectorModel();
    }
    QString problem;
    const EndEffectorModel model = readEndEffectorModel(file, path, &problem);
    if (!problem.isEmpty()) {
        std::fputs(problem.toLocal8Bit().constData(), stderr);
        std::fflush(stderr);
    }
    return model;
}

const EndEffectorModel &endEffectorModel()
{
    static EndEffectorModel model;
    if (!model.loaded)
        model = loadEndEffectorModel(locateDataFile(QString::fromLatin1(endEffectorModelPath)));
    return model;
}

GLUquadric *poseQuadric()
{
    static const std::unique_ptr<GLUquadric, void (*)(GLUquadric *)> quadric(
        gluNewQuadric(), gluDeleteQuadric);
    if (quadric) {
        gluQuadricNormals(quadric.get(), GLU_SMOOTH);
        gluQuadricDrawStyle(quadric.get(), GLU_FILL);
    }
    return quadric.get();
}

void drawEndEffector()
{
    const EndEffectorModel &model = endEffectorModel();
    if (model.loaded)
        drawEndEffectorModel(model);
}

void drawEndEffectorModel(const EndEffectorModel &model)
{
    drawEndEffectorModel(model, exactStacks, false);
}

void drawEndEffectorModel(const EndEffectorModel &model, int stacks, bool facesAsTriangles)
{
    GLUquadric *quadric = poseQuadric();
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);

    glPushMatrix();
    glScalef(0.5f, 0.5f, 0.5f);
    glTranslatef(0.0f, 0.0f, -1.125f);
    glTranslatef(-1.0f, -0.5f, 0.0f);
    glRotatef(-90.0f, 1.0f, 0.0f, 0.0f);
    const int faceCount = model.faceCount < EndEffectorModel::maxFaces ? model.faceCount
                                                                       : EndEffectorModel::maxFaces;
    if (facesAsTriangles) {
        // Each face as the fan from its first vertex that GL makes of a
        // polygon, all of them one primitive.
        glBegin(GL_TRIANGLES);
        for (int f = 0; f < faceCount; ++f) {
            const EndEffectorFace &face = model.faces[f];
            const int count = std::min(face.vertexCount, EndEffectorFace::maxVertices);
            for (int v = 1; v + 1 < count; ++v) {
                glNormal3fv(face.normal);
                glVertex3fv(face.vertices[0]);
                glVertex3fv(face.vertices[v]);
                glVertex3fv(face.vertices[v + 1]);
            }
        }
        glEnd();
    } else {
        for (int f = 0; f < faceCount; ++f) {
            const EndEffectorFace &face = model.faces[f];
            glBegin(GL_POLYGON);
            glNormal3fv(face.normal);
            for (int v = 0; v < face.vertexCount && v < EndEffectorFace::maxVertices; ++v) {
                glEdgeFlag(GL_TRUE);
                glVertex3fv(face.vertices[v]);
            }
            glEnd();
        }
    }

    // The shaft runs from file point (1, 0.5, 0) towards -z, one unit long.
    glRotatef(90.0f, 0.0f, 1.0f, 0.0f);
    glTranslated(0.0, 0.5, 1.0);
    glRotatef(90.0f, 0.0f, 1.0f, 0.0f);
    if (model.hasShaft != 0)
        drawCappedShaft(quadric, stacks);
    glPopMatrix();
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
}

void drawFrameGlyph(GLUquadric *quadric) { drawFrameGlyph(quadric, exactStacks); }

void drawSelectedFrameGlyph(GLUquadric *quadric) { drawSelectedFrameGlyph(quadric, exactStacks); }

void drawFrameGlyph(GLUquadric *quadric, int stacks)
{
    static const GLfloat magenta[4] = { 1.0f, 0.0f, 1.0f, 0.0f };
    static const GLfloat green[4] = { 0.0f, 1.0f, 0.0f, 0.0f };
    static const GLfloat blue[4] = { 0.0f, 0.0f, 1.0f, 0.0f };
    drawRods(quadric, magenta, green, blue, stacks);
}

void drawSelectedFrameGlyph(GLUquadric *quadric, int stacks)
{
    static const GLfloat white[4] = { 1.0f, 1.0f, 1.0f, 1.0f };
    drawRods(quadric, white, white, white, stacks);
}
