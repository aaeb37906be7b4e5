#pragma once

#include "sensor/KinectSdk.h"

#include <memory>

namespace camera {

class Source;

// A new camera sensor object (one reference for the caller) whose streams
// come from source; a null source is no camera, and Open() then fails. The
// sensor, its frame sources, readers, frames, bodies and mapper all share the
// source, so any of them may outlive the others.
IKinectSensor *createKinectSensor(std::shared_ptr<Source> source);

// How many contract objects are alive right now, for leak checks.
int liveContractObjects();

} // namespace camera
