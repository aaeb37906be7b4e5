#pragma once

#include "algebra/DualQuaternion.h"
#include "algebra/Matrix4.h"

#include <memory>
#include <string>
#include <vector>

class KeyPoseList;
class MotionCurve;

// The display settings of a drawing motion. Colours are RGB; density is the
// sampling density in percent (0 to 100 from the window); selectedPosition is
// the running index of the drawn pose that is highlighted.
class MotionProperties {
public:
    const float *trajectoryColour() const { return m_trajectoryColour; }
    void setTrajectoryColour(const float colour[3]);
    void setTrajectoryColour(float red, float green, float blue);
    const float *objectColour() const { return m_objectColour; }
    void setObjectColour(const float colour[3]);
    void setObjectColour(float red, float green, float blue);
    float objectSize() const { return m_objectSize; }
    void setObjectSize(float size) { m_objectSize = size; }
    bool showTrajectory() const { return m_showTrajectory; }
    void setShowTrajectory(bool show) { m_showTrajectory = show; }
    bool showObject() const { return m_showObject; }
    void setShowObject(bool show) { m_showObject = show; }
    bool showFrames() const { return m_showFrames; }
    void setShowFrames(bool show) { m_showFrames = show; }
    int density() const { return m_density; }
    void setDensity(int density) { m_density = density; }
    int selectedPosition() const { return m_selectedPosition; }
    void setSelectedPosition(int index) { m_selectedPosition = index; }

private:
    float m_trajectoryColour[3] = { 0.7f, 0.5f, 0.2f };
    float m_objectColour[3] = { 0.5f, 0.8f, 1.0f };
    float m_objectSize = 0.7f;
    bool m_showTrajectory = false;
    bool m_showObject = false;
    bool m_showFrames = false;
    int m_density = 10;
    int m_selectedPosition = 0;
};

// A point in scene units: a pose's translation times 10, z negated.
struct ScenePoint {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

// The matrix that places a pose in the scene, in OpenGL's column-major order
// (translation in elements 12, 13, 14): the pose matrix transposed, its
// translation scaled to scene units. The rotation is untouched.
Matrix4 posePlacementMatrix(const DualQuaternion &pose);
// The translation of posePlacementMatrix(pose).
ScenePoint placedTranslation(const DualQuaternion &pose);
// False when any of the sixteen elements is infinite or not a number (a pose
// whose real part vanishes): such a pose is not drawn.
bool isFiniteMatrix(const Matrix4 &m);

// A copy of the poses in which every pose whose real part points away from
// the previous (already aligned) one's, by a negative dot product, is negated
// in all eight components. A pose and its negation are the same pose, but a
// blend of the two takes the long way round, or vanishes.
std::vector<DualQuaternion> signAlignedPoses(std::vector<DualQuaternion> poses);

// The density the samplers use: the window's 0 to 100. Anything outside that
// would sample nothing sensible (a negative step never ends, a huge one stalls
// in single precision), so it is brought back into the range.
int samplingDensity(int density);

// The step in t between the samples of a computed motion: density / 100 x
// 20 n samples (n key poses) spread over `segments` segments of t = 0 .. 1,
// so 1 / (e / segments) with e = density / 100 x 20 n. Single precision on
// purpose: how many samples a segment gets, and whether one falls at t = 1,
// depends on it. Density 0 gives an infinite step (one sample per segment).
float samplingStep(int density, int keyPoseCount, int segments = 1);

// What one draw() sends to OpenGL, computed without it: the drawn poses in
// drawing order with their placements (posePlacementMatrix), and the
// trajectory points (empty when the trajectory is not shown). A motion keeps
// one and refills it for every draw, so its storage is reused.
struct MotionDrawing {
    std::vector<DualQuaternion> poses;
    std::vector<Matrix4> placements;
    std::vector<ScenePoint> trajectory;

    // Sets placements from poses.
    void placePoses();
    // Empties all three, keeping their storage.
    void clear();
};

// Draws one pose at running index `index`: the frame glyph (white when the
// index is the selected one) if frames are shown, then the material (red when
// selected, else the object colour), then the end-effector model if shown,
// scaled by the object size when scaleModel is set. A pose whose placement is
// not finite is skipped. Needs a current OpenGL context.
void drawPoseAt(
    const DualQuaternion &pose, int index, const MotionProperties &properties, bool scaleModel);
// Draws one key pose: the frame glyph (white when selected) and the unscaled
// model in the given diffuse material, whatever the display settings say. A
// pose whose placement is not finite is skipped. Needs a current OpenGL
// context.
void drawKeyPose(const DualQuaternion &pose, bool selected, const float material[4]);
// Lines from each point to the next, unlit, width 2, in the given colour.
// Lines with a non-finite end are left out.
void drawTrajectory(const std::vector<ScenePoint> &points, const float colour[3]);
// The draw loop every motion shares: each pose as drawPoseAt() draws it, at
// running indices 0, 1, 2, ..., then the trajectory, when shown and there
// are poses.
void drawMotion(const MotionDrawing &drawing, const MotionProperties &properties, bool scaleModel);

// A motion: turns its key poses into poses drawn in the current OpenGL
// context. Every kind computes its poses without OpenGL (sampledPoses(),
// trajectoryPoints(), prepareDrawing()) and draw() only draws what
// prepareDrawing() computed. The key poses are owned by the motion and
// handed out as copies; every draw() recomputes everything from them (a kind
// may keep what depends on them alone). Not copyable.
class Motion {
public:
    Motion();
    virtual ~Motion();
    Motion(const Motion &) = delete;
    Motion &operator=(const Motion &) = delete;

    void setKeyPoses(std::vector<DualQuaternion> poses);
    std::vector<DualQuaternion> keyPoses() const;
    int keyPoseCount() const;

    MotionProperties &properties() { return m_properties; }
    const MotionProperties &properties() const { return m_properties; }

    // The degree of the kinds that have one (the B-splines, 3 at first);
    // the others keep none: 0, and setting it changes nothing.
    virtual int degree() const { return 0; }
    virtual void setDegree(int degree);

    // The poses draw() draws, in drawing order (the running index is the
    // position in it), and the trajectory points in scene units as draw()
    // connects them, closing point included.
    virtual std::vector<DualQuaternion> sampledPoses() const = 0;
    virtual std::vector<ScenePoint> trajectoryPoints() const = 0;
    // What draw() draws, computed without OpenGL: sampledPoses() with their
    // placements, and trajectoryPoints() when the trajectory is shown.
    virtual const MotionDrawing &prepareDrawing() = 0;
    // prepareDrawing(), then drawMotion() of it with the model scaled.
    virtual void draw();
    // The poses the last prepareDrawing() (or draw()) computed; empty before.
    const std::vector<DualQuaternion> &drawnPoses() const { return m_drawing.poses; }

    // The motion as a curve of one parameter for resampling; null when it
    // draws nothing, or for a kind that is no curve.
    virtual std::unique_ptr<MotionCurve> curve() const;
    // Why the motion draws nothing although it has enough key poses, in a
    // few words ("60 key positions at degree 3 cannot be interpolated
    // reliably"); empty while it draws, or fails for want of key poses.
    virtual std::string failure() const;

    // Every key pose as drawKeyPose() draws it, not selected.
    void drawKeyPositions(const float material[4]) const;

protected:
    // Refilled by each kind's prepareDrawing().
    MotionDrawing m_drawing;
    MotionProperties m_properties;

private:
    std::unique_ptr<KeyPoseList> m_keyPoses;
};
