#include "sensor/sources/Clock.h"

namespace camera {

Clock steadyClock()
{
    return [] {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
            std::chrono::steady_clock::now().time_since_epoch());
    };
}

} // namespace camera
