#pragma once

#include "errorfilewriter.h"
#include "mbapframer.h"
#include "modbuscodec.h"
#include "runtimeservices.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <array>
#include <chrono>
#include <optional>
#include <span>
#include <vector>

class QTcpSocket;

// The engine's view of a device: the callbacks of its unit id.
class UnitReplyHandler
{
public:
    virtual ~UnitReplyHandler() = default;
    virtual void onReadReply() = 0;                // a read reply was taken
    virtual void onWriteReply() = 0;               // a write was echoed
    virtual void onReadException(quint8 code) = 0; // an exception reply to a read
    // An exception reply to a write. Its own path: a read may be in flight,
    // and its reply must still land in the frame that asked for it.
    virtual void onWriteException(quint8 code) = 0;
};

// The engine's view of its channel: the timer, the next turn and the end of a
// connection attempt.
class EngineOwner
{
public:
    virtual ~EngineOwner() = default;
    virtual bool isActive() const = 0;
    virtual QString channelName() const = 0;
    virtual void onTick() = 0;     // every 500 ms while active
    virtual void onNextTurn() = 0; // a device finished a read
    virtual void onConnectFinished(bool success) = 0;
};

// The last request sent to a unit, and what its reply carried.
struct SentRead
{
    QByteArray request;             // the whole ADU; empty before the first request
    bool answered = true;           // a request is answered once; later copies are stale
    std::vector<quint8> bitBytes;   // a bit reply's data bytes
    std::vector<quint16> registers; // a register reply's registers
};

struct SentWrite
{
    QByteArray request;
    bool answered = true;
};

struct UnitRecord
{
    quint8 unitId = 0;
    UnitReplyHandler *device = nullptr;
    SentRead read;
    SentWrite write;
};

// The Modbus TCP client of one channel: it owns the channel's one connection,
// sends the requests that devices ask for, frames the byte stream into replies
// by the MBAP length field, checks each reply against the last request of its
// kind for its unit, keeps the data of the last good read per unit, and calls
// the unit's device back. It knows nothing of tags, frames or scheduling.
//
// A read and a write of the same unit may be outstanding together: a reply is
// checked against the read record for functions 1 to 4 and against the write
// record for 5, 6, 15, 16 and 22.
class ModbusTcpClient : public QObject
{
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds TickPeriod{500};
    // The most one receive takes from the kernel: a dozen whole replies.
    static constexpr qsizetype ReceiveRoom = 4096;

    explicit ModbusTcpClient(const RuntimeServices &services, QObject *parent = nullptr);
    ~ModbusTcpClient() override;

    void setOwner(EngineOwner *owner) { m_owner = owner; }
    // Opens "<channel>.txt" beside the project for the trace lines, when error
    // files are generated.
    void openTraceFile(const QString &channelName);
    ErrorFileWriter &errorFile() { return m_errorFile; }
    bool tracing() const { return m_errorFile.isActive(); }

    // Registers a unit id once; a second device with the id is not registered.
    void addUnit(quint8 unitId, UnitReplyHandler *device);
    bool hasUnit(quint8 unitId) const { return m_unitIndex[unitId] >= 0; }

    // Starts a connection attempt that ends within `timeout`; the owner hears
    // the result through onConnectFinished(). An attempt in progress, or an
    // open connection, is closed first.
    void openConnection(const QString &ipv4Address, quint16 port,
                        std::chrono::milliseconds timeout);
    // Closes the connection (or the attempt) without telling the owner.
    void closeConnection();

    bool isConnected() const { return m_connected; }
    bool isConnecting() const { return m_connecting; }
    // Set by the first successful connection and kept for the engine's life.
    bool isSocketReady() const { return m_socketReady; }

    void readCoils(quint16 transactionId, quint8 unitId, quint16 start, quint16 quantity);
    void readDiscreteInputs(quint16 transactionId, quint8 unitId, quint16 start, quint16 quantity);
    void readHoldingRegisters(quint16 transactionId, quint8 unitId, quint16 start,
                              quint16 quantity);
    void readInputRegisters(quint16 transactionId, quint8 unitId, quint16 start, quint16 quantity);
    void writeCoil(quint16 transactionId, quint8 unitId, quint16 address, bool on);
    void writeRegister(quint16 transactionId, quint8 unitId, quint16 address, quint16 value);
    void writeRegisterPair(quint16 transactionId, quint8 unitId, quint16 address, quint16 first,
                           quint16 second);
    // Function 16 with any number of registers (one, for devices without 6).
    void writeRegisters(quint16 transactionId, quint8 unitId, quint16 address,
                        std::span<const quint16> values);
    // Function 15 (one coil, for devices without 5).
    void writeCoils(quint16 transactionId, quint8 unitId, quint16 address,
                    std::span<const bool> coils);
    // Function 22: one bit of a holding register, the others left to the device.
    void maskWriteRegister(quint16 transactionId, quint8 unitId, quint16 address, quint16 andMask,
                           quint16 orMask);

    // Bit `index` of the unit's last bit reply; nothing when the reply had no
    // such bit or the unit is not registered.
    std::optional<bool> coilBit(quint8 unitId, int index) const;
    // Register `index` of the unit's last register reply: 0xFFFF beyond the
    // registers received, 0 for a unit that is not registered.
    quint16 registerValue(quint8 unitId, int index) const;
    // The registers from `index` on, at most `count`.
    std::span<const quint16> registers(quint8 unitId, int index, int count) const;

    // Asks the owner to serve its next device: once the receive that carried
    // the reply is handled (no round through the event loop between a reply
    // and the next request), or from the event loop when called elsewhere.
    void requestNextTurn();

    // Counted for the diagnostics and the tests.
    quint64 protocolErrors() const { return m_protocolErrors; }
    quint64 ignoredReplies() const { return m_ignoredReplies; }

private:
    enum class RecordKind { Read, Write };

    void onConnected();
    void onSocketError();
    void onDisconnected();
    void onReadyRead();
    void drainSocket();
    void onConnectTimeout();
    void onTickTimer();
    void failConnectAttempt(const QString &reason);
    void connectionLost();

    void processReply(QByteArrayView adu);
    void takeRead(UnitRecord &unit, QByteArrayView adu);
    void takeWrite(UnitRecord &unit, QByteArrayView adu);
    void ignoreReply(quint8 unitId, quint8 function, const QString &why);

    UnitRecord *unit(quint8 unitId);
    const UnitRecord *unit(quint8 unitId) const;
    void sendRead(ModbusTcp::FunctionCode function, const char *operation, quint16 transactionId,
                  quint8 unitId, quint16 start, quint16 quantity);
    bool send(const QByteArray &frame);
    // Sends the unit's prepared write request; false (traced) when it failed.
    bool sendWrite(UnitRecord &record, const char *operation);
    void trace(const QString &line);

    RuntimeServices m_services;
    EngineOwner *m_owner = nullptr;
    ErrorFileWriter m_errorFile;

    std::vector<UnitRecord> m_units;
    std::array<int, 256> m_unitIndex; // unit id -> position in m_units, -1 if none

    QPointer<QTcpSocket> m_socket;
    MbapFramer m_framer;
    QTimer m_connectTimer;
    QTimer m_tickTimer;
    bool m_connected = false;
    bool m_connecting = false;
    bool m_socketReady = false;
    bool m_inReadyRead = false;
    int m_nextPending = 0;

    quint64 m_protocolErrors = 0;
    quint64 m_ignoredReplies = 0;
};
