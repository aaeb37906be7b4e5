#pragma once

class Motion;

namespace Kinect {
class mainDialog;
} // namespace Kinect

// The work of a paint that is not OpenGL: what each motion's draw()
// computes besides its GL calls, through the very code draw() runs
// (prepareDrawing()), without a context. Each returns a checksum of what it
// computed, so that the work cannot be optimised away.
namespace bench {

// The sampled poses with their placement matrices and, when the motion shows
// its trajectory, the trajectory points. The interpolation inverts its basis
// matrix and solves for its control poses only when its key poses or degree
// changed since it last did, as in a paint.
double computeMotion(Motion &motion);

// What drawKeyPositions() computes: the placement matrix of every key pose.
double computeKeyPositions(const Motion &motion);

// Everything the 3D view's paint computes outside OpenGL for the window's
// current state: the copies of the sensor's lists, the key positions (once
// and again for each drawn kind) and every drawn kind, through the view's
// own motion objects. Call it between paints: it sets the motions' key
// poses as the paint does, which the next paint sets again anyway.
double computePaint(Kinect::mainDialog &window);

} // namespace bench
