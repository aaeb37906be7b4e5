#pragma once

#include <QApplication>

#include <memory>

namespace testkit {

// The start every benchmark program that shows widgets shares: its
// application, on Qt's platform plugin named here unless QT_QPA_PLATFORM
// names one ("offscreen" needs no display; "xcb" gives the 3D view a GL
// context, under Xvfb without a screen).
std::unique_ptr<QApplication> startApplication(int &argc, char **argv, const char *platform);

// Command-line argument index as a whole number of seconds, at least
// minimum; fallback when the command line is shorter.
int secondsArgument(int argc, char **argv, int index, int minimum, int fallback);

} // namespace testkit
