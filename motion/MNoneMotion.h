#pragma once

#include "motion/Motion.h"

// A motion that draws nothing of its own: it only carries key poses for
// drawKeyPositions().
class MNoneMotion : public Motion {
public:
    void draw() override { }
};
