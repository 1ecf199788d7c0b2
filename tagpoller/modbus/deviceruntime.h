#pragma once

#include "cmoddata.h"
#include "modbustcpclient.h"
#include "readframe.h"
#include "readplan.h"
#include "runtimeclock.h"
#include "runtimeservices.h"
#include "valuecodec.h"

#include <deque>
#include <optional>
#include <vector>

class CModChnl;
class CModDevice;

// A write waiting for the device's turn.
struct QueuedWrite
{
    ValueCodec::WriteTarget target = ValueCodec::WriteTarget::HoldingRegister;
    // The coil address, or the register offset from 400000.
    quint16 address = 0;
    // The written tag's data type decides the registers sent; the value is
    // the host's, converted on sending.
    int tagDataType = 0;
    // A Boolean tag's bit in its holding register (function 22).
    int bitNumber = 0;
    QString tagName;
    CModData value;
};

// A device during a run: it takes turns on its channel's connection, sends one
// queued write or reads its current frame, waits for the reply, moves on to the
// next frame, times out silent requests, and demotes itself for a while when
// too many requests fail. Host writes are queued here, coalesced by the
// channel's write optimisation and interleaved with reads by its duty cycle.
class DeviceRuntime : public UnitReplyHandler
{
public:
    static constexpr qint64 ReplyTimeoutMs = 10000;
    // Writes a device holds while it cannot send them (not connected,
    // demoted): past this, new writes are refused.
    static constexpr size_t MaxQueuedWrites = 1000;

    enum class RequestKind : quint8 { None = 0, Read = 1, Write = 2 };

    DeviceRuntime(CModDevice &device, const CModChnl &channel, const RuntimeServices &services);

    CModDevice &device() const { return m_device; }
    const QString &name() const;
    quint8 unitId() const;
    const RuntimeServices &services() const { return m_services; }
    const std::vector<AddressRecord> &addressTags() const { return m_addressTags; }
    std::vector<ReadFrame> &frames() { return m_frames; }
    const std::vector<ReadFrame> &frames() const { return m_frames; }
    ValueCodec::WordOrder wordOrder() const { return m_wordOrder; }
    ValueCodec::BitOrder bitOrder() const { return m_bitOrder; }
    ValueCodec::WriteFunctions writeFunctions() const { return m_writeFunctions; }

    // Reports a device without tags to the event log, then plans the device
    // all the same. True when it has a tag.
    bool checkHasTags();
    void setEngine(ModbusTcpClient *engine) { m_engine = engine; }
    // After a run start or a lost connection: every request is forgotten,
    // the write queue stays.
    void resetRuntime();

    // The device's turn: a queued write or a read. False when it let the turn
    // pass because no frame is due yet at its scan rate (scan rates honoured).
    bool takeTurn(quint16 transactionId);
    // Scan rates honoured: ms until the device's next frame is due (0 while
    // writes wait to be sent); nothing when it has neither.
    std::optional<qint64> msUntilNextFrameDue() const;
    void onTick();

    void onReadReply() override;
    void onWriteReply() override;
    void onReadException(quint8 code) override;
    void onWriteException(quint8 code) override;

    // The connection was lost or given up: every tag this device has read
    // enters the error state until its next good read.
    void markValuesNotCurrent();
    // A connection was made: writes queued before it were meant for a device
    // state that may be long gone, so they are dropped (with one log line),
    // not replayed.
    void dropWritesQueuedBeforeConnect();

    // A host write: true when one of this device's tags has the request id
    // (whether or not the write could be queued).
    bool writeTag(qint32 requestId, const CModData &value);
    // A host write to one of this device's tags, found by the caller.
    void writeTag(const CModTag &tag, const CModData &value);
    // A write of one of this device's tags from the driver's own write
    // dialog: queued (or refused with its log line) as a host write is.
    void queueWrite(const CModTag &tag, const CModData &value);
    // Every requested tag with a value hands it over again.
    void resendValues();

    // "Devc [%s]"
    QString label() const;
    // Columns 0 to 4 of the diagnostics window; others are empty.
    QString diagnosticText(int column) const;

    bool isReady() const { return m_ready; }
    bool isDemoted() const { return m_demoted; }
    int currentFrameIndex() const { return m_currentFrame; }
    int successiveFailures() const { return m_successiveFailures; }
    quint32 timeouts() const { return m_timeouts; }
    qint64 waitMs() const { return m_wait; }
    RuntimeClock::Tick lastSentTick() const { return m_lastSent; }
    const std::deque<QueuedWrite> &writeQueue() const { return m_writeQueue; }
    bool writesPending() const { return m_writesPending; }

private:
    void sendWrite(const QueuedWrite &entry, quint16 transactionId);
    void moveToNextFrame();
    // The first frame from `index` on (wrapping) that is not disabled; when
    // all are, `index` itself, and the device says so once in the event log.
    int firstEnabledFrameFrom(int index);
    // The first enabled frame from `index` on (wrapping) due at its scan rate.
    std::optional<int> firstDueFrameFrom(int index) const;
    qint64 shortestScanRate(const ReadFrame &frame) const;
    void replied();
    QString channelDeviceText() const;

    CModDevice &m_device;
    const CModChnl &m_channel;
    RuntimeServices m_services;
    ModbusTcpClient *m_engine = nullptr;
    ValueCodec::WordOrder m_wordOrder;
    ValueCodec::BitOrder m_bitOrder;
    ValueCodec::WriteFunctions m_writeFunctions;

    std::vector<AddressRecord> m_addressTags;
    std::vector<ReadFrame> m_frames;
    int m_currentFrame = -1;

    bool m_ready = true;
    RequestKind m_lastRequest = RequestKind::None;
    int m_writesSinceRead = 0;
    std::deque<QueuedWrite> m_writeQueue;
    bool m_writesPending = false;
    bool m_readOwed = false;    // the duty cycle's writes went out: a read comes next
    QString m_lastWriteTagName; // the tag of the write last sent, for its exception
    bool m_allFramesDisabledReported = false;

    bool m_demoted = false;
    int m_successiveFailures = 0;
    RuntimeClock::Tick m_demotionStart = 0;

    RuntimeClock::Tick m_lastSent = 0;
    RuntimeClock::Tick m_lastActivity = 0;
    qint64 m_wait = 0;
    quint32 m_timeouts = 0;
};
