#pragma once

#include <chrono>
#include <ctime>
#include <functional>
#include <optional>

// The clock that stamps event messages and error-file lines. The log and the
// writers take it as a parameter, so tests can set the moment and step across
// durations without waiting.
using WallClock = std::function<std::chrono::sys_seconds()>;

// The system clock, to the second.
std::chrono::sys_seconds systemWallClockNow();

// `time` broken down in the local time zone, or nothing when the local time
// cannot be represented (a year beyond what the C library can hold).
std::optional<std::tm> toLocalTime(std::chrono::sys_seconds time);
