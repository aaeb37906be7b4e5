#pragma once

#include "algebra/DualQuaternion.h"
#include "algebra/Pose.h"

#include <vector>

class KeyPoseListListener;

// An ordered, growable list of poses, owned by value. Poses are added at the
// end, replaced all at once, or removed and moved one at a time; they leave
// the list only as copies. One optional listener is told of every change
// (see KeyPoseListListener), so an owner that attaches one sees them all.
class KeyPoseList {
public:
    KeyPoseList() = default;
    // Removes the poses without telling the listener: the list's end is not
    // a change of its content.
    ~KeyPoseList();
    // A copy has the poses but no listener.
    KeyPoseList(const KeyPoseList &other);
    // Takes the other list's poses, keeps this list's listener and tells it
    // of the replacement.
    KeyPoseList &operator=(const KeyPoseList &other);

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
    // Removes pose i; the poses after it move up by one. An index outside
    // 0 .. size() - 1 throws as at() does and leaves the list unchanged.
    void removeAt(int i);
    // Moves pose `from` to index `to`, the poses between shifting by one to
    // make room: move(i, i - 1) is "move up". Both indexes must lie in
    // 0 .. size() - 1, else it throws as at() does and changes nothing;
    // from == to changes nothing.
    void move(int from, int to);

    // The listener told of every change from now on, or null for none. The
    // list does not own it; it must outlive the list or be detached first.
    void setListener(KeyPoseListListener *listener) { m_listener = listener; }
    KeyPoseListListener *listener() const { return m_listener; }

private:
    void appendPose(const DualQuaternion &pose);
    size_t checkedIndex(int i) const;

    std::vector<DualQuaternion> m_poses;
    mutable int m_count = 0;
    KeyPoseListListener *m_listener = nullptr;
};
