#include "runtimeclock.h"

#include <chrono>

namespace RuntimeClock {

Tick now()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

} // namespace RuntimeClock
