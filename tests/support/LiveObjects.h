#pragma once

// Counts of what a long run must not pile up: QObjects, widgets, camera
// contract objects and the process's threads.

namespace support {

// Counts QObjects as they are constructed and destroyed, from the first call
// of liveQObjects() on, through the hooks QtCore offers debugging tools. The
// count is relative to that first call: compare two readings.
int liveQObjects();

// QApplication::allWidgets().size().
int liveWidgets();

// Threads of this process, as the kernel lists them.
int processThreads();

} // namespace support
