#pragma once

class Motion;
class MScrewMotion;
class MBezierMotion;
class MRBSplineMotion;
class MRBSplineInterpolation;
class MContinuousMotion;

namespace Kinect {
class mainDialog;
} // namespace Kinect

// The work of a paint that is not OpenGL: what each motion's draw()
// computes besides its GL calls, done the way draw() does it, without a
// context. Each returns a checksum of what it computed, so that the work
// cannot be optimised away.
namespace bench {

// The sampled poses and, when the motion shows its trajectory and has
// samples, the trajectory points; with placements, also the placement
// matrix of every sample (draw() converts each pose before it draws it).
// The interpolation computes its control poses once, as its draw() does.
double computeMotion(const MScrewMotion &motion, bool placements);
double computeMotion(const MBezierMotion &motion, bool placements);
double computeMotion(const MRBSplineMotion &motion, bool placements);
double computeMotion(const MRBSplineInterpolation &motion, bool placements);
double computeMotion(const MContinuousMotion &motion, bool placements);

// What drawKeyPositions() computes: the placement matrix of every key pose.
double computeKeyPositions(const Motion &motion);

// Everything the 3D view's paint computes outside OpenGL for the window's
// current state: the copies of the sensor's lists, the key positions (once
// and again for each drawn kind) and every drawn kind, through the view's
// own motion objects. Call it between paints: it sets the motions' key
// poses as the paint does, which the next paint sets again anyway.
double computePaint(Kinect::mainDialog &window);

} // namespace bench
