#pragma once

#include "sensor/sources/Source.h"

#include <QByteArray>

namespace camera {

// Appends to out the lines of one body frame in the .csv recording layout,
// with handmotion's four added fields (see readCsvRecording): one line per
// tracked body, in slot order, or one line of slot -1 when no body is
// tracked. Positions have nine significant digits, which read back to the
// same floats; timestamp is in units of 100 ns.
void appendCsvRecordingLines(QByteArray &out, const BodyFrame &frame, TIMESPAN timestamp);

} // namespace camera
