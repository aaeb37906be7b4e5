#pragma once

#include "algebra/DualQuaternion.h"

#include <memory>
#include <string>
#include <vector>

class Motion;
class MotionCurve;

// The kinds of motion the program draws, in the order the view draws them
// and the window lists them.
enum class MotionKind { Screw, Bezier, Approximation, Interpolation, Continuous };

// Where a kind takes its poses from.
enum class MotionSource { KeyPositions, ContinuousPositions };

// One kind of motion: all that the view, the window, the export and the
// command line know of it. A new kind is a class and a row here.
struct MotionKindInfo {
    MotionKind kind;
    // The command line's and the exported files' name: "screw".
    const char *name;
    // What a person reads: "screw motion", "B-spline interpolation".
    const char *title;
    // The caption of the window's check box: "Screw".
    const char *checkLabel;
    MotionSource source;
    // Drawn from key positions and written by "Export motion".
    bool exported;
    // The window gives it a degree spin box (Motion::degree()).
    bool hasDegree;
    // Fewer key poses draw nothing; an export refuses them.
    int minimumKeyPoses;
    // The visual identity: model colour, and trajectory colour (null: the
    // motion keeps its own).
    float objectColour[3];
    const float *trajectoryColour;
    std::unique_ptr<Motion> (*create)();
};

// Every kind, in MotionKind order: motionKinds()[int(kind)].kind == kind.
const std::vector<MotionKindInfo> &motionKinds();
const MotionKindInfo &motionKindInfo(MotionKind kind);

const char *motionKindName(MotionKind kind);
const char *motionKindTitle(MotionKind kind);
// The exported kind of that name; false for any other name, *kind then left
// as it was.
bool motionKindFromName(const std::string &name, MotionKind *kind);

// A fresh motion object of the kind, with default properties.
std::unique_ptr<Motion> createMotion(MotionKind kind);

// The poses the motion object of this kind draws for these key poses, with
// the density and (for a kind with a degree) the degree set as the view sets
// them: exactly its sampledPoses().
std::vector<DualQuaternion> drawnMotionPoses(
    MotionKind kind, const std::vector<DualQuaternion> &keyPoses, int density, int degree);
// The curve of that motion object (Motion::curve()); null when it draws
// nothing.
std::unique_ptr<MotionCurve> motionCurve(
    MotionKind kind, const std::vector<DualQuaternion> &keyPoses, int degree);
