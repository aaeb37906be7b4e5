#pragma once

#include <QByteArray>
#include <QStringList>

namespace support {

// How a run of the program ended: its exit status (-1 when it crashed or
// did not end within a minute) and what it wrote.
struct ProgramRun {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

// Runs program with arguments and without a display (no DISPLAY, no
// WAYLAND_DISPLAY, no platform chosen): what runs without a window must not
// need one.
ProgramRun runWithoutDisplay(const QString &program, const QStringList &arguments);

} // namespace support
