#pragma once

class QOpenGLContext;

// The two markers every drawn pose is made of, as the motions draw them in
// the pose's own frame:
// - the frame glyph (coloured, or white when selected) at half size, pushed
//   1.125 down its z axis;
// - the end-effector model, in the current material (what drawEndEffector()
//   draws).
//
// Each is compiled once per OpenGL context into a display list, with the
// fewest stacks along the rods and rings across the caps that keep the
// picture (20 slices around them, as ever) and the model's faces as one set
// of triangles, so a drawn pose costs a matrix and a call. The lists of a
// context are made on its first draw; releasePoseGeometry() deletes them,
// and a context that is destroyed without it forgets them (they go with the
// context when it shares them with no other). Needs a current context.

void drawPoseFrame(bool selected);
// While the geometry file cannot be read this draws nothing and tries again
// on every call, as drawEndEffector() does.
void drawPoseModel();

// Deletes the lists of `context`, which must be the current context (the
// call does nothing otherwise). The next draw in it compiles them again.
void releasePoseGeometry(QOpenGLContext *context);

// Process-wide: when set, the markers are drawn as before the lists, in
// immediate mode with 20 stacks and rings (drawFrameGlyph(),
// drawEndEffector()). Kept to measure and compare against; off by default.
void setExactPoseGeometry(bool exact);
bool exactPoseGeometry();
