#pragma once

#include "readplan.h"
#include "runtimeclock.h"

#include <QString>

class ModbusTcpClient;
class DeviceRuntime;

// One planned read request of a device during a run, with the counters the
// diagnostics window shows. Frames are made by planning at run start and only
// change their counters and their disabled flag until the next run.
class ReadFrame
{
public:
    // The fourth "illegal data address" reply to a frame switches it off.
    static constexpr int IllegalAddressRepliesTolerated = 3;
    static constexpr quint8 IllegalDataAddress = 2;

    explicit ReadFrame(PlannedFrame plan);

    const PlannedFrame &plan() const { return m_plan; }
    bool isDisabled() const { return m_disabled; }

    // The shortest scan rate of the frame's tags, in ms.
    qint64 scanRateMs() const { return m_scanRateMs; }
    void setScanRateMs(qint64 scanRate) { m_scanRateMs = scanRate; }
    // Time until the frame is due for its next read at its scan rate: 0 when
    // it is due (or was never read).
    qint64 msUntilDue(RuntimeClock::Tick now) const;

    // Sends the frame's read when the engine's socket has become ready; the
    // sent tick is taken either way.
    void sendRead(quint16 transactionId, ModbusTcpClient &engine);
    // Takes the engine's stored reply into the frame's tags.
    void takeReply(DeviceRuntime &device, ModbusTcpClient &engine);
    // An exception reply: the frame's tags enter the error state. Returns true
    // when this reply disabled the frame.
    bool takeException(DeviceRuntime &device, quint8 code);
    // The values of the frame's tags can no longer be vouched for (a read
    // that timed out, a connection lost): every tag that has a value enters
    // the error state until its next good read. A tag without one has nothing
    // to take back and stays silent until its first value.
    void markValuesNotCurrent(DeviceRuntime &device);

    // "Frm: %d Addr: [%d to %d]"
    QString label() const;
    // Columns 0 and 5 to 12 of the diagnostics window; others are empty.
    QString diagnosticText(int column) const;

    quint16 transactionId() const { return m_transactionId; }
    quint32 readsOk() const { return m_readsOk; }
    quint32 errors() const { return m_errors; }
    quint8 lastExceptionCode() const { return m_lastExceptionCode; }
    int illegalAddressCount() const { return m_illegalAddressCount; }
    RuntimeClock::Tick sentTick() const { return m_sentTick; }
    RuntimeClock::Tick receivedTick() const { return m_receivedTick; }
    qint64 turnaroundMs() const { return m_turnaround; }

private:
    void received();

    PlannedFrame m_plan;
    quint16 m_transactionId = 0;
    quint32 m_readsOk = 0;
    quint32 m_errors = 0;
    quint8 m_lastExceptionCode = 0;
    int m_illegalAddressCount = 0;
    bool m_disabled = false;
    RuntimeClock::Tick m_sentTick = 0;
    bool m_everSent = false;
    qint64 m_scanRateMs = 0;
    RuntimeClock::Tick m_receivedTick = 0;
    qint64 m_turnaround = 0;
};
