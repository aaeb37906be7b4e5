#pragma once

#include "algebra/DualQuaternion.h"

#include <vector>

class KeyPoseList;

// Told of every change to the one KeyPoseList it listens to, right after the
// change, on the thread that made it, with the list in its new state. Only
// real changes are told: a call that throws or changes nothing is silent, and
// so is the destruction of the list. A listener must not throw and must not
// change the list it is told about.
class KeyPoseListListener {
public:
    virtual ~KeyPoseListListener() = default;

    // One pose was added at the end (append, appendFromMatrix, appendFromPoints).
    virtual void poseAppended(const KeyPoseList &list, const DualQuaternion &pose) = 0;
    // Every pose was replaced by `poses`, which the list now holds (setPoses,
    // assignment).
    virtual void posesReplaced(const KeyPoseList &list, const std::vector<DualQuaternion> &poses)
        = 0;
    // Every pose was removed (clear).
    virtual void posesCleared(const KeyPoseList &list) = 0;
    // The pose at index was removed; those after it moved up by one.
    virtual void poseRemoved(const KeyPoseList &list, int index) = 0;
    // The pose at from now sits at to; those between moved by one to make room.
    virtual void poseMoved(const KeyPoseList &list, int from, int to) = 0;
};
