#pragma once

#include <QtGlobal>

// Millisecond ticks for the scan cycle's timing. Monotonic and 64 bits wide, so
// a run of months never sees the tick count wrap; the diagnostics show the low
// 32 bits, the plain tick count users know.
namespace RuntimeClock {

using Tick = qint64;

Tick now();

// Time from `since` to `now`, measured either way round.
inline qint64 elapsed(Tick since, Tick now)
{
    return now >= since ? now - since : since - now;
}

inline quint32 shown(Tick tick)
{
    return quint32(quint64(tick) & 0xFFFFFFFFu);
}

} // namespace RuntimeClock
