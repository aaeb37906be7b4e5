#include "algebra/KeyPoseList.h"

#include <stdexcept>
#include <utility>

KeyPoseList::~KeyPoseList() { clear(); }

void KeyPoseList::append(const DualQuaternion &pose) { m_poses.push_back(pose); }

void KeyPoseList::appendFromMatrix(const Matrix4 &m, PoseMode mode)
{
    m_poses.push_back(poseFromMatrix(m, mode));
}

void KeyPoseList::appendFromPoints(
    const QVector3D &origin, const QVector3D &towardY, const QVector3D &towardX, PoseMode mode)
{
    const Matrix4 frame = frameFromPoints(origin, towardY, towardX, mode);
    m_poses.push_back(poseFromMatrix(frame, mode));
}

void KeyPoseList::setPoses(std::vector<DualQuaternion> poses) { m_poses = std::move(poses); }

std::vector<DualQuaternion> KeyPoseList::poses() const { return m_poses; }

DualQuaternion KeyPoseList::at(int i) const
{
    if (i < 0 || static_cast<size_t>(i) >= m_poses.size())
        throw std::out_of_range("invalid vector<T> subscript");
    return m_poses[static_cast<size_t>(i)];
}

int KeyPoseList::size() const
{
    m_count = static_cast<int>(m_poses.size());
    return m_count;
}

void KeyPoseList::clear()
{
    m_poses.clear();
    m_count = 0;
}
