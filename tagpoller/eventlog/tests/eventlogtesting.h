#pragma once

#include "localclock.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <iosfwd>
#include <memory>

namespace eventlogtest {

using namespace std::chrono_literals;

// 14:03:07 on 5 April 2017 in the zone that setCentralEuropeanTime() selects
// (summer time then, two hours ahead of UTC).
inline constexpr std::chrono::sys_seconds AprilFifth2017At140307{1491393787s};

// Makes local time deterministic for this test process: Central European Time
// with its summer-time rule, given as a POSIX rule so no zone database is needed.
void setCentralEuropeanTime();
void setUniversalTime();

// A clock the test moves by hand; copies of wallClock() follow it.
class ManualClock
{
public:
    explicit ManualClock(std::chrono::sys_seconds start)
        : m_now(std::make_shared<std::chrono::sys_seconds>(start))
    {}

    WallClock wallClock() const
    {
        return [now = m_now] { return *now; };
    }
    std::chrono::sys_seconds now() const { return *m_now; }
    void set(std::chrono::sys_seconds time) { *m_now = time; }
    void advance(std::chrono::seconds step) { *m_now += step; }

private:
    std::shared_ptr<std::chrono::sys_seconds> m_now;
};

QByteArray fromHex(const char *spaced);

} // namespace eventlogtest

// Readable failure messages for Qt's text and byte types.
void PrintTo(const QString &text, std::ostream *os);
void PrintTo(const QByteArray &bytes, std::ostream *os);
