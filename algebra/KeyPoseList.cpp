#include "algebra/KeyPoseList.h"

#include "algebra/KeyPoseListListener.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

KeyPoseList::~KeyPoseList()
{
    m_poses.clear();
    m_count = 0;
}

KeyPoseList::KeyPoseList(const KeyPoseList &other)
    : m_poses(other.m_poses)
    , m_count(other.m_count)
{
}

KeyPoseList &KeyPoseList::operator=(const KeyPoseList &other)
{
    if (this == &other)
        return *this;
    m_poses = other.m_poses;
    m_count = other.m_count;
    if (m_listener)
        m_listener->posesReplaced(*this, m_poses);
    return *this;
}

// Continuous capture appends 30 poses a second to lists of 100,000 and more:
// one test of the listener pointer is all an append pays for being observed.
void KeyPoseList::appendPose(const DualQuaternion &pose)
{
    m_poses.push_back(pose);
    if (m_listener)
        m_listener->poseAppended(*this, m_poses.back());
}

void KeyPoseList::append(const DualQuaternion &pose) { appendPose(pose); }

void KeyPoseList::appendFromMatrix(const Matrix4 &m, PoseMode mode)
{
    appendPose(poseFromMatrix(m, mode));
}

void KeyPoseList::appendFromPoints(
    const QVector3D &origin, const QVector3D &towardY, const QVector3D &towardX, PoseMode mode)
{
    const Matrix4 frame = frameFromPoints(origin, towardY, towardX, mode);
    appendPose(poseFromMatrix(frame, mode));
}

void KeyPoseList::setPoses(std::vector<DualQuaternion> poses)
{
    m_poses = std::move(poses);
    if (m_listener)
        m_listener->posesReplaced(*this, m_poses);
}

std::vector<DualQuaternion> KeyPoseList::poses() const { return m_poses; }

size_t KeyPoseList::checkedIndex(int i) const
{
    if (i < 0 || static_cast<size_t>(i) >= m_poses.size())
        throw std::out_of_range("invalid vector<T> subscript");
    return static_cast<size_t>(i);
}

DualQuaternion KeyPoseList::at(int i) const { return m_poses[checkedIndex(i)]; }

int KeyPoseList::size() const
{
    m_count = static_cast<int>(m_poses.size());
    return m_count;
}

void KeyPoseList::clear()
{
    m_poses.clear();
    m_count = 0;
    if (m_listener)
        m_listener->posesCleared(*this);
}

void KeyPoseList::removeAt(int i)
{
    m_poses.erase(m_poses.begin() + static_cast<std::ptrdiff_t>(checkedIndex(i)));
    if (m_listener)
        m_listener->poseRemoved(*this, i);
}

void KeyPoseList::move(int from, int to)
{
    const auto first = m_poses.begin();
    const auto f = first + static_cast<std::ptrdiff_t>(checkedIndex(from));
    const auto t = first + static_cast<std::ptrdiff_t>(checkedIndex(to));
    if (f == t)
        return;
    // Only the poses between the two places shift.
    if (f < t)
        std::rotate(f, f + 1, t + 1);
    else
        std::rotate(t, f, f + 1);
    if (m_listener)
        m_listener->poseMoved(*this, from, to);
}
