#pragma once

#include <array>
#include <cstdint>
#include <vector>

// What a hand-landmark model reports for one picture. The 21 points are, in
// order: wrist; thumb CMC, MCP, IP, tip; index MCP, PIP, DIP, tip; middle,
// ring and little finger likewise (base to tip).
namespace camera {

// One hand as the landmark model saw it in one picture.
struct LandmarkHand {
    std::array<std::array<double, 2>, 21>
        image {}; // pixels of the analysed picture, x right, y down
    std::array<std::array<double, 3>, 21> world {}; // metres, the model's own hand-centred points
    bool labelledRight = false; // the model's handedness label was "Right"
    double score = 0.0; // the model's handedness score
};

// What the model found in one picture.
struct LandmarkFrame {
    std::int64_t timeMicroseconds = 0; // the picture's capture time
    int width = 0, height = 0; // the analysed picture's size in pixels
    bool mirrored = false; // the picture was mirrored before the model saw it
    std::vector<LandmarkHand> hands; // 0, 1 or 2
};

} // namespace camera
