#pragma once

#include "algebra/DualQuaternion.h"

#include <vector>

class QString;

// The two pose lists the 3D view draws and edits: the key positions and the
// continuously captured positions, as the window's session holds them.
class ViewPoses {
public:
    virtual ~ViewPoses() = default;

    virtual std::vector<DualQuaternion> keyPositions() const = 0;
    virtual int keyPositionCount() const = 0;
    virtual std::vector<DualQuaternion> continuousPositions() const = 0;
    virtual int continuousPositionCount() const = 0;
    virtual void addKeyPosition(const DualQuaternion &pose) = 0;
    // All key positions replaced by poses in one step, named text for undo.
    virtual void replaceKeyPositions(std::vector<DualQuaternion> poses, const QString &text) = 0;
};
