#pragma once

#include "algebra/DualQuaternion.h"
#include "algebra/Pose.h"

#include <vector>

// An ordered, growable list of poses, owned by value. Poses are added at the
// end or replaced all at once; they leave the list only as copies.
class KeyPoseList {
public:
    KeyPoseList() = default;
    ~KeyPoseList();
    KeyPoseList(const KeyPoseList &) = default;
    KeyPoseList &operator=(const KeyPoseList &) = default;

    void append(const DualQuaternion &pose);
    // Adds poseFromMatrix(m, mode): exactly one pose whatever the mode.
    void appendFromMatrix(const Matrix4 &m, PoseMode mode);
    // Adds poseFromMatrix(frameFromPoints(origin, towardY, towardX, mode), mode).
    void appendFromPoints(
        const QVector3D &origin, const QVector3D &towardY, const QVector3D &towardX, PoseMode mode);
    void setPoses(std::vector<DualQuaternion> poses);
    std::vector<DualQuaternion> poses() const;
    // A copy of pose i; throws std::out_of_range("invalid vector<T> subscript")
    // for any index outside 0 .. size() - 1, negative ones included.
    DualQuaternion at(int i) const;
    // Recomputes the stored count and returns it.
    int size() const;
    void clear();

private:
    std::vector<DualQuaternion> m_poses;
    mutable int m_count = 0;
};
