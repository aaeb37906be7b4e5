#pragma once

#include "sensor/KinectSdk.h"

#include <chrono>

namespace camera {

// The events behind the contract's HANDLEs (CreateEvent and the waits in
// sensor/KinectSdk.h), with one addition the readers need: an event can be
// told to become signalled at a time, which is how a reader of a source
// paced by a clock wakes its waiting thread when the next frame falls due.
using EventTime = std::chrono::steady_clock::time_point;

// Signals event at time, or at once when time has passed; an earlier time
// set this way is replaced, and SetEvent or ResetEvent cancels it. FALSE
// for a handle that is not a live event.
BOOL signalEventAt(HANDLE event, EventTime time);

// How many events are alive right now, for leak checks.
int liveEvents();

} // namespace camera
