#include "motion/Motion.h"

#include "algebra/KeyPoseList.h"
#include "motion/MotionCurve.h"
#include "view/PoseGeometry.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

void MotionProperties::setTrajectoryColour(const float colour[3])
{
    std::copy(colour, colour + 3, m_trajectoryColour);
}

void MotionProperties::setTrajectoryColour(float red, float green, float blue)
{
    const float colour[3] = { red, green, blue };
    setTrajectoryColour(colour);
}

void MotionProperties::setObjectColour(const float colour[3])
{
    std::copy(colour, colour + 3, m_objectColour);
}

void MotionProperties::setObjectColour(float red, float green, float blue)
{
    const float colour[3] = { red, green, blue };
    setObjectColour(colour);
}

Matrix4 posePlacementMatrix(const DualQuaternion &pose)
{
    Matrix4 m = pose.toMatrix().transposed();
    m.data()[12] *= 10.0;
    m.data()[13] *= 10.0;
    m.data()[14] *= -10.0;
    return m;
}

ScenePoint placedTranslation(const DualQuaternion &pose)
{
    // The translation of toMatrix() computed as it does, without the
    // rotation: trajectories place thousands of points in every paint.
    const Quaternion p = pose.realPart();
    const Quaternion d = pose.dualPart();
    const Quaternion t = (d * p.conjugate() - p * d.conjugate()) / p.squaredNorm();
    return ScenePoint { t.x() * 10.0, t.y() * 10.0, t.z() * -10.0 };
}

bool isFiniteMatrix(const Matrix4 &m)
{
    return std::all_of(m.data(), m.data() + 16, [](double v) { return std::isfinite(v); });
}

std::vector<DualQuaternion> signAlignedPoses(std::vector<DualQuaternion> poses)
{
    for (size_t i = 1; i < poses.size(); ++i)
        if (Quaternion::dot(poses[i].realPart(), poses[i - 1].realPart()) < 0.0)
            poses[i] = -1.0 * poses[i];
    return poses;
}

int samplingDensity(int density) { return std::clamp(density, 0, 100); }

float samplingStep(int density, int keyPoseCount, int segments)
{
    const float e = (static_cast<float>(samplingDensity(density)) / 100.0f)
        * (static_cast<float>(keyPoseCount) * 20.0f);
    return 1.0f / (e / static_cast<float>(segments));
}

void MotionDrawing::placePoses()
{
    placements.resize(poses.size());
    for (size_t i = 0; i < poses.size(); ++i)
        placements[i] = posePlacementMatrix(poses[i]);
}

void MotionDrawing::clear()
{
    poses.clear();
    placements.clear();
    trajectory.clear();
}

namespace {

void drawPlacedPose(
    const Matrix4 &placement, int index, const MotionProperties &properties, bool scaleModel)
{
    if (!isFiniteMatrix(placement))
        return;
    const bool selected = index == properties.selectedPosition();

    glPushMatrix();
    glMultMatrixd(placement.data());
    if (properties.showFrames())
        drawPoseFrame(selected);
    // Alpha is never blended; it is only there because OpenGL reads four.
    static const GLfloat red[4] = { 1.0f, 0.0f, 0.0f, 1.0f };
    const float *colour = properties.objectColour();
    const GLfloat objectMaterial[4] = { colour[0], colour[1], colour[2], 1.0f };
    glMaterialfv(GL_FRONT, GL_DIFFUSE, selected ? red : objectMaterial);
    if (properties.showObject()) {
        if (scaleModel) {
            const float size = properties.objectSize();
            glScalef(size, size, size);
        }
        drawPoseModel();
    }
    glPopMatrix();
}

} // namespace

void drawPoseAt(
    const DualQuaternion &pose, int index, const MotionProperties &properties, bool scaleModel)
{
    drawPlacedPose(posePlacementMatrix(pose), index, properties, scaleModel);
}

void drawKeyPose(const DualQuaternion &pose, bool selected, const float material[4])
{
    const Matrix4 placement = posePlacementMatrix(pose);
    if (!isFiniteMatrix(placement))
        return;
    glPushMatrix();
    glMultMatrixd(placement.data());
    drawPoseFrame(selected);
    glMaterialfv(GL_FRONT, GL_DIFFUSE, material);
    drawPoseModel();
    glPopMatrix();
}

void drawTrajectory(const std::vector<ScenePoint> &points, const float colour[3])
{
    const auto finite = [](const ScenePoint &p) {
        return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
    };
    glDisable(GL_LIGHTING);
    glColor3fv(colour);
    glLineWidth(2.0f);
    glBegin(GL_LINES);
    for (size_t k = 0; k + 1 < points.size(); ++k) {
        if (!finite(points[k]) || !finite(points[k + 1]))
            continue;
        glVertex3d(points[k].x, points[k].y, points[k].z);
        glVertex3d(points[k + 1].x, points[k + 1].y, points[k + 1].z);
    }
    glEnd();
    glEnable(GL_LIGHTING);
}

void drawMotion(const MotionDrawing &drawing, const MotionProperties &properties, bool scaleModel)
{
    for (size_t i = 0; i < drawing.placements.size(); ++i)
        drawPlacedPose(drawing.placements[i], static_cast<int>(i), properties, scaleModel);
    if (properties.showTrajectory() && !drawing.placements.empty())
        drawTrajectory(drawing.trajectory, properties.trajectoryColour());
}

Motion::Motion()
    : m_keyPoses(std::make_unique<KeyPoseList>())
{
}

Motion::~Motion() = default;

void Motion::setKeyPoses(std::vector<DualQuaternion> poses)
{
    m_keyPoses->setPoses(std::move(poses));
}

std::vector<DualQuaternion> Motion::keyPoses() const { return m_keyPoses->poses(); }

int Motion::keyPoseCount() const { return m_keyPoses->size(); }

void Motion::setDegree(int) { }

void Motion::draw()
{
    prepareDrawing();
    drawMotion(m_drawing, m_properties, true);
}

std::unique_ptr<MotionCurve> Motion::curve() const { return nullptr; }

std::string Motion::failure() const { return {}; }

void Motion::drawKeyPositions(const float material[4]) const
{
    for (const DualQuaternion &pose : m_keyPoses->poses())
        drawKeyPose(pose, false, material);
}
