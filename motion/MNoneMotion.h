#pragma once

#include "motion/Motion.h"

// A motion that draws nothing of its own: it only carries key poses for
// drawKeyPositions().
class MNoneMotion : public Motion {
public:
    std::vector<DualQuaternion> sampledPoses() const override { return {}; }
    std::vector<ScenePoint> trajectoryPoints() const override { return {}; }
    const MotionDrawing &prepareDrawing() override
    {
        m_drawing.clear();
        return m_drawing;
    }
    void draw() override { }
};
