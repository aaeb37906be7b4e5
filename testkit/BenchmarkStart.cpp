#include "testkit/BenchmarkStart.h"

#include <algorithm>
#include <cstdlib>

namespace testkit {

std::unique_ptr<QApplication> startApplication(int &argc, char **argv, const char *platform)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", platform);
    return std::make_unique<QApplication>(argc, argv);
}

int secondsArgument(int argc, char **argv, int index, int minimum, int fallback)
{
    return argc > index ? std::max(minimum, std::atoi(argv[index])) : fallback;
}

} // namespace testkit
