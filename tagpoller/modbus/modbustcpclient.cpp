#include "modbustcpclient.h"

#include <QLoggingCategory>
#include <QTcpSocket>

Q_LOGGING_CATEGORY(lcEngine, "tagpoller.modbus", QtInfoMsg)
Q_LOGGING_CATEGORY(lcEngineLowLevel, "tagpoller.modbus.lowlevel", QtInfoMsg)

using ModbusTcp::FunctionCode;

namespace {

QString framerErrorText(MbapFramer::Error error)
{
    switch (error) {
    case MbapFramer::Error::BadProtocolId:
        return QStringLiteral("protocol id not 0");
    case MbapFramer::Error::BadLength:
        return QStringLiteral("length field outside 2 to 254");
    case MbapFramer::Error::None:
        break;
    }
    return QString();
}

QString replyStatusText(ModbusTcp::ReplyStatus status)
{
    using ModbusTcp::ReplyStatus;
    switch (status) {
    case ReplyStatus::Ok:
    case ReplyStatus::Exception:
        return QString();
    case ReplyStatus::BadRequest:
        return QStringLiteral("no request outstanding");
    case ReplyStatus::Malformed:
        return QStringLiteral("malformed");
    case ReplyStatus::TransactionMismatch:
        return QStringLiteral("transaction id of another request");
    case ReplyStatus::UnitMismatch:
        return QStringLiteral("unit id mismatch");
    case ReplyStatus::FunctionMismatch:
        return QStringLiteral("function code mismatch");
    case ReplyStatus::ByteCountMismatch:
        return QStringLiteral("byte count does not match the quantity asked for");
    case ReplyStatus::EchoMismatch:
        return QStringLiteral("write echo differs from the request");
    }
    return QString();
}

bool isReadFunctionByte(quint8 function)
{
    const quint8 plain = function & ~ModbusTcp::ExceptionFlag;
    return plain >= 1 && plain <= 4;
}

bool isWriteFunctionByte(quint8 function)
{
    const quint8 plain = function & ~ModbusTcp::ExceptionFlag;
    return ModbusTcp::isKnownFunction(plain) && ModbusTcp::isWrite(FunctionCode(plain));
}

} // namespace

ModbusTcpClient::ModbusTcpClient(const RuntimeServices &services, QObject *parent)
    : QObject(parent)
    , m_services(services)
    , m_errorFile(services.generateErrorFiles, services.errorFileMinutes)
{
    m_unitIndex.fill(-1);
    m_connectTimer.setSingleShot(true);
    connect(&m_connectTimer, &QTimer::timeout, this, &ModbusTcpClient::onConnectTimeout);
    connect(&m_tickTimer, &QTimer::timeout, this, &ModbusTcpClient::onTickTimer);
    m_tickTimer.start(TickPeriod);
}

ModbusTcpClient::~ModbusTcpClient()
{
    closeConnection();
}

void ModbusTcpClient::openTraceFile(const QString &channelName)
{
    m_errorFile.open(channelName + QStringLiteral(".txt"), m_services.projectFolder);
}

void ModbusTcpClient::addUnit(quint8 unitId, UnitReplyHandler *device)
{
    if (hasUnit(unitId))
        return;
    m_unitIndex[unitId] = int(m_units.size());
    m_units.push_back(UnitRecord{unitId, device, {}, {}});
}

UnitRecord *ModbusTcpClient::unit(quint8 unitId)
{
    const int index = m_unitIndex[unitId];
    return index < 0 ? nullptr : &m_units[size_t(index)];
}

const UnitRecord *ModbusTcpClient::unit(quint8 unitId) const
{
    const int index = m_unitIndex[unitId];
    return index < 0 ? nullptr : &m_units[size_t(index)];
}

// Connection

void ModbusTcpClient::openConnection(const QString &ipv4Address, quint16 port,
                                     std::chrono::milliseconds timeout)
{
    closeConnection();

    auto *socket = new QTcpSocket(this);
    m_socket = socket;
    connect(socket, &QTcpSocket::connected, this, &ModbusTcpClient::onConnected);
    connect(socket, &QTcpSocket::errorOccurred, this, &ModbusTcpClient::onSocketError);
    connect(socket, &QTcpSocket::disconnected, this, &ModbusTcpClient::onDisconnected);
    connect(socket, &QTcpSocket::readyRead, this, &ModbusTcpClient::onReadyRead);

    m_framer.clear();
    m_connecting = true;
    m_connectTimer.start(timeout);
    socket->connectToHost(ipv4Address, port, QIODevice::ReadWrite | QIODevice::Unbuffered);
}

void ModbusTcpClient::closeConnection()
{
    m_connectTimer.stop();
    m_connecting = false;
    m_connected = false;
    if (m_socket) {
        QTcpSocket *socket = m_socket;
        m_socket = nullptr;
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
    m_framer.clear();
}

void ModbusTcpClient::onConnected()
{
    m_connectTimer.stop();
    m_connecting = false;
    m_connected = true;
    // Requests are small and each waits for its reply: Nagle's delay would
    // only hold them back.
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    if (m_owner)
        m_owner->onConnectFinished(true);

    if (!m_socketReady && m_owner && m_services.verbose())
        m_services.log(
            QStringLiteral("Channel %1, Socket ready to communicate.").arg(m_owner->channelName()),
            EventLog::Level::Verbose);
    m_socketReady = true;
}

void ModbusTcpClient::failConnectAttempt(const QString &reason)
{
    trace(QStringLiteral("Connect failed: %1").arg(reason));
    closeConnection();
    if (m_owner)
        m_owner->onConnectFinished(false);
}

void ModbusTcpClient::onConnectTimeout()
{
    if (m_connecting)
        failConnectAttempt(QStringLiteral("no answer within the connect timeout"));
}

void ModbusTcpClient::onSocketError()
{
    if (!m_socket)
        return;
    if (m_connecting) {
        failConnectAttempt(m_socket->errorString());
        return;
    }
    const QAbstractSocket::SocketError error = m_socket->error();
    if (error == QAbstractSocket::RemoteHostClosedError) {
        // An orderly close by the device: the connection is as good as lost.
        trace(QStringLiteral("Connection closed by the device."));
    } else {
        m_services.log(QStringLiteral("Error OnSocMsg [%1]").arg(int(error)));
    }
    connectionLost();
}

void ModbusTcpClient::onDisconnected()
{
    if (m_connected) {
        trace(QStringLiteral("Connection closed by the device."));
        connectionLost();
    }
}

void ModbusTcpClient::connectionLost()
{
    // The socket stays until the channel closes it; the channel sees the
    // cleared flag at its next tick and reconnects.
    m_connected = false;
}

void ModbusTcpClient::onTickTimer()
{
    if (m_owner && m_owner->isActive())
        m_owner->onTick();
}

void ModbusTcpClient::requestNextTurn()
{
    if (m_inReadyRead) {
        ++m_nextPending;
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_owner)
                m_owner->onNextTurn();
        },
        Qt::QueuedConnection);
}

// Receiving

void ModbusTcpClient::onReadyRead()
{
    m_inReadyRead = true;
    drainSocket();
    m_inReadyRead = false;
    // One turn per reply that asked for one, as the queued calls gave.
    for (; m_nextPending > 0; --m_nextPending) {
        if (m_owner)
            m_owner->onNextTurn();
    }
}

void ModbusTcpClient::drainSocket()
{
    if (!m_socket)
        return;
    // The socket is unbuffered: each readyRead is answered by one read, straight
    // into the framer, of what the kernel holds up to the room offered; what is
    // left or arrives later raises readyRead again. A readyRead with nothing
    // to read is the device closing; only the read finds that out, and the
    // socket then says so by its state alone.
    char *room = m_framer.appendSpace(ReceiveRoom);
    const qint64 received = m_socket->read(room, ReceiveRoom);
    if (m_socket->state() != QAbstractSocket::ConnectedState) {
        if (m_connected) {
            trace(QStringLiteral("Connection closed by the device."));
            connectionLost();
        }
        return;
    }
    if (received <= 0)
        return;
    m_framer.commitAppended(received);
    // Replies may arrive split across receives or several in one: the framer
    // joins and cuts them by their length fields.
    for (;;) {
        MbapFramer::Next next = m_framer.takeNext();
        if (next.kind == MbapFramer::Next::Kind::NeedMore)
            break;
        if (next.kind == MbapFramer::Next::Kind::ProtocolError) {
            ++m_protocolErrors;
            const QString channel = m_owner ? m_owner->channelName() : QString();
            m_services.log(QStringLiteral("Channel %1, protocol error (%2), connection closed.")
                               .arg(channel, framerErrorText(next.error)));
            trace(QStringLiteral("Protocol error: %1").arg(framerErrorText(next.error)));
            // The stream has lost its framing: nothing after this point
            // can be trusted, so the connection goes and is made anew.
            closeConnection();
            return;
        }
        processReply(next.adu);
        if (!m_socket)
            return;
    }
}

void ModbusTcpClient::processReply(QByteArrayView adu)
{
    qCDebug(lcEngineLowLevel) << "reply" << adu.toByteArray().toHex(' ');
    const quint8 unitId = quint8(adu.at(ModbusTcp::MbapHeaderSize - 1));
    const quint8 function = ModbusTcp::functionByte(adu);
    UnitRecord *record = unit(unitId);
    if (!record) {
        ignoreReply(unitId, function, QStringLiteral("unit id not on this channel"));
        return;
    }
    if (isReadFunctionByte(function))
        takeRead(*record, adu);
    else if (isWriteFunctionByte(function))
        takeWrite(*record, adu);
    else
        ignoreReply(unitId, function, QStringLiteral("unexpected function code"));
}

void ModbusTcpClient::takeRead(UnitRecord &record, QByteArrayView adu)
{
    SentRead &read = record.read;
    if (read.answered) {
        ignoreReply(record.unitId, ModbusTcp::functionByte(adu),
                    QStringLiteral("no read outstanding"));
        return;
    }
    const ModbusTcp::ReplyCheck check = ModbusTcp::checkReply(read.request, adu);
    if (check.status == ModbusTcp::ReplyStatus::Exception) {
        read.answered = true;
        record.device->onReadException(check.exceptionCode);
        return;
    }
    if (!check.isOk()) {
        ignoreReply(record.unitId, ModbusTcp::functionByte(adu), replyStatusText(check.status));
        return;
    }
    read.answered = true;
    const auto function = FunctionCode(ModbusTcp::functionByte(read.request));
    // Copied into the unit's buffers, which keep their memory from reply to
    // reply: the check's data only views the framer's buffer.
    const QByteArrayView data = check.data;
    if (ModbusTcp::isBitRead(function)) {
        read.bitBytes.assign(data.begin(), data.end());
        read.registers.clear();
    } else {
        read.registers.resize(size_t(data.size() / 2));
        for (size_t i = 0; i < read.registers.size(); ++i)
            read.registers[i] =
                quint16((quint8(data[qsizetype(2 * i)]) << 8) | quint8(data[qsizetype(2 * i + 1)]));
        read.bitBytes.clear();
    }
    record.device->onReadReply();
}

void ModbusTcpClient::takeWrite(UnitRecord &record, QByteArrayView adu)
{
    SentWrite &write = record.write;
    const quint8 function = ModbusTcp::functionByte(adu);
    if (write.answered) {
        ignoreReply(record.unitId, function, QStringLiteral("no write outstanding"));
        return;
    }
    const ModbusTcp::ReplyCheck check = ModbusTcp::checkReply(write.request, adu);
    if (check.status == ModbusTcp::ReplyStatus::Exception) {
        write.answered = true;
        trace(QStringLiteral("Write Exception:  [Device - %1, FuncCode - %2 ]")
                  .arg(record.unitId)
                  .arg(function));
        record.device->onWriteException(check.exceptionCode);
        return;
    }
    if (!check.isOk()) {
        ignoreReply(record.unitId, function, replyStatusText(check.status));
        return;
    }
    write.answered = true;
    record.device->onWriteReply();
    trace(QStringLiteral("Ok: fnProcessRecd_Write [Device - %1, FuncCode - %2 ]")
              .arg(record.unitId)
              .arg(function));
}

void ModbusTcpClient::ignoreReply(quint8 unitId, quint8 function, const QString &why)
{
    ++m_ignoredReplies;
    if (tracing())
        trace(QStringLiteral("Reply ignored [Device - %1, FuncCode - %2 ]: %3")
                  .arg(unitId)
                  .arg(function)
                  .arg(why));
}

std::optional<bool> ModbusTcpClient::coilBit(quint8 unitId, int index) const
{
    const UnitRecord *record = unit(unitId);
    if (!record || index < 0 || size_t(index / 8) >= record->read.bitBytes.size())
        return std::nullopt;
    return (record->read.bitBytes[size_t(index / 8)] >> (index % 8)) & 1;
}

quint16 ModbusTcpClient::registerValue(quint8 unitId, int index) const
{
    const UnitRecord *record = unit(unitId);
    if (!record)
        return 0;
    if (index < 0 || size_t(index) >= record->read.registers.size())
        return 0xFFFF;
    return record->read.registers[size_t(index)];
}

std::span<const quint16> ModbusTcpClient::registers(quint8 unitId, int index, int count) const
{
    const UnitRecord *record = unit(unitId);
    if (!record || index < 0 || size_t(index) >= record->read.registers.size())
        return {};
    const std::span<const quint16> all(record->read.registers);
    return all.subspan(size_t(index), std::min(size_t(count), all.size() - size_t(index)));
}

// Sending

bool ModbusTcpClient::send(const QByteArray &frame)
{
    if (!m_socket || !m_connected || frame.isEmpty())
        return false;
    qCDebug(lcEngineLowLevel) << "request" << frame.toHex(' ');
    if (m_socket->write(frame) != frame.size())
        return false;
    // Out at once rather than when the event loop next looks: the device
    // answers sooner and the channel serves its next device sooner.
    m_socket->flush();
    return true;
}

void ModbusTcpClient::sendRead(FunctionCode function, const char *operation, quint16 transactionId,
                               quint8 unitId, quint16 start, quint16 quantity)
{
    UnitRecord *record = unit(unitId);
    if (!record)
        return;
    ModbusTcp::buildReadRequest(record->read.request, function, transactionId, unitId, start,
                                quantity);
    record->read.answered = false;
    if (!send(record->read.request)) {
        record->read.answered = true;
        trace(QStringLiteral("Error: %1 [Device - %2, Addr - %3, Qty - %4]")
                  .arg(QLatin1StringView(operation))
                  .arg(unitId)
                  .arg(start)
                  .arg(quantity));
        m_connected = false;
    }
}

void ModbusTcpClient::readCoils(quint16 transactionId, quint8 unitId, quint16 start,
                                quint16 quantity)
{
    sendRead(FunctionCode::ReadCoils, "ReadCoilStatus", transactionId, unitId, start, quantity);
}

void ModbusTcpClient::readDiscreteInputs(quint16 transactionId, quint8 unitId, quint16 start,
                                         quint16 quantity)
{
    sendRead(FunctionCode::ReadDiscreteInputs, "ReadInputStatus", transactionId, unitId, start,
             quantity);
}

void ModbusTcpClient::readHoldingRegisters(quint16 transactionId, quint8 unitId, quint16 start,
                                           quint16 quantity)
{
    sendRead(FunctionCode::ReadHoldingRegisters, "ReadHoldingRegisters", transactionId, unitId,
             start, quantity);
}

void ModbusTcpClient::readInputRegisters(quint16 transactionId, quint8 unitId, quint16 start,
                                         quint16 quantity)
{
    sendRead(FunctionCode::ReadInputRegisters, "ReadInputRegisters", transactionId, unitId, start,
             quantity);
}

void ModbusTcpClient::writeCoil(quint16 transactionId, quint8 unitId, quint16 address, bool on)
{
    UnitRecord *record = unit(unitId);
    if (!record)
        return;
    record->write.request = ModbusTcp::buildWriteSingleCoil(transactionId, unitId, address, on);
    record->write.answered = false;
    if (!send(record->write.request)) {
        record->write.answered = true;
        trace(QStringLiteral("Error: SetCoil [Device - %1, Idx - 0 ]").arg(unitId));
        m_connected = false;
    }
}

void ModbusTcpClient::writeRegister(quint16 transactionId, quint8 unitId, quint16 address,
                                    quint16 value)
{
    UnitRecord *record = unit(unitId);
    if (!record)
        return;
    record->write.request =
        ModbusTcp::buildWriteSingleRegister(transactionId, unitId, address, value);
    record->write.answered = false;
    if (!send(record->write.request)) {
        record->write.answered = true;
        trace(QStringLiteral("Error: SetRegister [Device - %1, Idx - 0 ]").arg(unitId));
        m_connected = false;
        return;
    }
    trace(QStringLiteral("Ok: SetRegister [Device - %1, Idx - 0, Val1 = %2, Val2 = 0 ]")
              .arg(unitId)
              .arg(qint16(value)));
}

void ModbusTcpClient::writeRegisterPair(quint16 transactionId, quint8 unitId, quint16 address,
                                        quint16 first, quint16 second)
{
    const std::array<quint16, 2> values{first, second};
    writeRegisters(transactionId, unitId, address, values);
}

void ModbusTcpClient::writeRegisters(quint16 transactionId, quint8 unitId, quint16 address,
                                     std::span<const quint16> values)
{
    UnitRecord *record = unit(unitId);
    if (!record || values.empty())
        return;
    record->write.request =
        ModbusTcp::buildWriteMultipleRegisters(transactionId, unitId, address, values);
    if (!sendWrite(*record, "SetRegister_2"))
        return;
    // The trace line has always shown the first two registers.
    trace(QStringLiteral("Ok: SetRegister_2 [Device - %1, Idx - 0, Val1 = %2, Val2 = %3 ]")
              .arg(unitId)
              .arg(qint16(values[0]))
              .arg(values.size() > 1 ? qint16(values[1]) : 0));
}

void ModbusTcpClient::writeCoils(quint16 transactionId, quint8 unitId, quint16 address,
                                 std::span<const bool> coils)
{
    UnitRecord *record = unit(unitId);
    if (!record || coils.empty())
        return;
    record->write.request =
        ModbusTcp::buildWriteMultipleCoils(transactionId, unitId, address, coils);
    if (!sendWrite(*record, "SetCoils"))
        return;
    trace(QStringLiteral("Ok: SetCoils [Device - %1, Idx - 0, Count = %2 ]")
              .arg(unitId)
              .arg(coils.size()));
}

void ModbusTcpClient::maskWriteRegister(quint16 transactionId, quint8 unitId, quint16 address,
                                        quint16 andMask, quint16 orMask)
{
    UnitRecord *record = unit(unitId);
    if (!record)
        return;
    record->write.request =
        ModbusTcp::buildMaskWriteRegister(transactionId, unitId, address, andMask, orMask);
    if (!sendWrite(*record, "MaskWriteRegister"))
        return;
    trace(QStringLiteral("Ok: MaskWriteRegister [Device - %1, And = %2, Or = %3 ]")
              .arg(unitId)
              .arg(andMask, 4, 16, QLatin1Char('0'))
              .arg(orMask, 4, 16, QLatin1Char('0')));
}

bool ModbusTcpClient::sendWrite(UnitRecord &record, const char *operation)
{
    record.write.answered = false;
    if (!send(record.write.request)) {
        record.write.answered = true;
        trace(QStringLiteral("Error: %1 [Device - %2, Idx - 0 ]")
                  .arg(QLatin1StringView(operation))
                  .arg(record.unitId));
        m_connected = false;
        return false;
    }
    return true;
}

void ModbusTcpClient::trace(const QString &line)
{
    if (tracing())
        m_errorFile.addLine(line);
    qCDebug(lcEngine).noquote() << line;
}
