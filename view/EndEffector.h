#pragma once

#include <QString>

class GLUquadric;
class QIODevice;

// One polygon of the end-effector model: the first vertexCount of vertices,
// in file order, with one normal for the whole face.
struct EndEffectorFace {
    static constexpr int maxVertices = 10;

    int vertexCount = 0;
    float normal[3] = { 0.0f, 0.0f, 0.0f };
    float vertices[maxVertices][3] = {};
};

// The end-effector geometry as read from its file: at most maxFaces faces.
// headerValues are read and kept but never drawn; a non-zero hasShaft adds a
// capped cylinder (the wrist). loaded is false until a file has been read.
struct EndEffectorModel {
    static constexpr int maxFaces = 36;

    EndEffectorFace faces[maxFaces];
    int faceCount = 0;
    float headerValues[3] = { 0.0f, 0.0f, 0.0f };
    int hasShaft = 0;
    bool loaded = false;
};

// The geometry file the program draws, relative to a data directory: the
// working directory first, then the installed one (view/DataLocation.h).
extern const char *const endEffectorModelPath;

// Reads a geometry file without any OpenGL. The file is whitespace-separated
// tokens: a label word and three numbers (headerValues), a label and an
// integer (hasShaft), then per face a label and the vertex count, a label and
// the normal, and per vertex a label and x, y, z. Labels are skipped unread.
//
// A file that cannot be opened prints the program's "not found" message on
// standard output and gives a model with loaded false. Anything else gives
// loaded true: a token that is not a number, a vertex count outside 0..10, a
// 37th face or a file cut short ends the usable data there; the complete
// faces before it are kept and one message naming the file and line goes to
// standard error.
EndEffectorModel loadEndEffectorModel(const QString &path);

// The reader behind loadEndEffectorModel(path), for text that is already
// open: reads device to its end or to the first fault, prints nothing, and
// puts the message that the path version writes to standard error into
// *problem ("NAME:LINE: what; ... (N faces)" and a line end; empty when the
// text was read whole). The model is always loaded.
EndEffectorModel readEndEffectorModel(
    QIODevice &device, const QString &name, QString *problem = nullptr);

// The process-wide model read from endEffectorModelPath, wherever
// locateDataFile finds it. While neither place holds the file every call
// tries again (and prints the message again); once read, the model never
// changes.
const EndEffectorModel &endEffectorModel();

// One quadric for the whole process (GLU quadrics hold no GL objects, so any
// context may use it), set to smooth normals and filled style on every call.
// Null only if GLU could not allocate it; the drawing routines then skip
// their cylinders.
GLUquadric *poseQuadric();

// Draws the process-wide model filled in the current modelview matrix with
// the current material; draws nothing while the file is missing.
void drawEndEffector();
// Draws a given model as drawEndEffector() draws the process-wide one. A file
// vertex (x, y, z) lands at 0.5 * (x - 1, z - 0.5, -y - 1.125).
void drawEndEffectorModel(const EndEffectorModel &model);

// Three rods of radius 0.1 and length 2 along x (magenta), y (green) and z
// (blue) from the origin; the selected variant draws all three white.
void drawFrameGlyph(GLUquadric *quadric);
void drawSelectedFrameGlyph(GLUquadric *quadric);

// The round parts (rods, shaft, caps) have 20 slices around their axis and,
// as drawn above, 20 stacks along it (rings across a cap). A straight rod or
// a flat cap gains no shape from stacks: with fewer, only the lighting is
// interpolated over longer triangles. These take the number of stacks; the
// model can also give its faces as one set of triangles (the fans GL makes
// of its polygons) instead of one polygon each.
constexpr int exactStacks = 20;
void drawEndEffectorModel(const EndEffectorModel &model, int stacks, bool facesAsTriangles);
void drawFrameGlyph(GLUquadric *quadric, int stacks);
void drawSelectedFrameGlyph(GLUquadric *quadric, int stacks);
