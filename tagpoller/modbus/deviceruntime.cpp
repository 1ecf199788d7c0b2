#include "deviceruntime.h"

#include "cmodchnl.h"
#include "cmoddevice.h"
#include "datatypes.h"
#include "devicetags.h"
#include "driverstrings.h"
#include "planningfiles.h"
#include "tagruntime.h"

#include <algorithm>
#include <array>

using ValueCodec::WriteTarget;

namespace {

// A host value as the log shows it: the number in full, so that a refused
// 1e12 reads as what was sent.
QString valueText(const CModData &value)
{
    switch (value.type()) {
    case DataTypeCode::Float:
        return QString::number(double(value.asFloat()), 'g', 9);
    case DataTypeCode::Double:
        return QString::number(value.asDouble(), 'g', 17);
    default:
        return QString::number(value.asInteger64());
    }
}

// Scan rates outside what the tag dialog accepts are taken at its nearest bound.
constexpr qint64 LowestScanRateMs = 100;
constexpr qint64 HighestScanRateMs = 100000;

} // namespace

DeviceRuntime::DeviceRuntime(CModDevice &device, const CModChnl &channel,
                             const RuntimeServices &services)
    : m_device(device)
    , m_channel(channel)
    , m_services(services)
    , m_wordOrder(ValueCodec::WordOrder::fromDevice(device))
    , m_bitOrder(ValueCodec::BitOrder::fromDevice(device))
    , m_writeFunctions(ValueCodec::WriteFunctions::fromDevice(device))
{}

const QString &DeviceRuntime::name() const
{
    return m_device.name;
}

quint8 DeviceRuntime::unitId() const
{
    return quint8(m_device.DeviceId);
}

bool DeviceRuntime::checkHasTags()
{
    QStringList messages;
    const bool hasTags = ::checkHasTags(m_device, messages);
    for (const QString &message : std::as_const(messages))
        m_services.log(message);

    m_writeQueue.clear();
    m_writesPending = false;
    m_readOwed = false;
    m_lastRequest = RequestKind::None;
    m_writesSinceRead = 0;
    m_demoted = false;
    m_successiveFailures = 0;
    m_demotionStart = 0;
    m_ready = true;
    m_wordOrder = ValueCodec::WordOrder::fromDevice(m_device);
    m_bitOrder = ValueCodec::BitOrder::fromDevice(m_device);
    m_writeFunctions = ValueCodec::WriteFunctions::fromDevice(m_device);

    resetTagsForRun(m_device);
    ReadPlan plan = planDevice(m_device);
    if (m_services.generateFrameDetails)
        PlanningFiles::write(plan, m_device.name, m_services.projectFolder, m_services.notifier);
    // One line per tag, up to a few; a generated project with thousands of
    // such tags gets a count rather than a flood.
    constexpr int NamedBeyondSpace = 10;
    int beyondSpace = 0;
    for (int index : plan.beyondSpace) {
        for (const CModTag *tag : plan.addressTags[size_t(index)].tags) {
            if (++beyondSpace <= NamedBeyondSpace)
                m_services.log(
                    QStringLiteral("Device: %1; Tag [%2] at address %3 runs past the end of its "
                                   "address space, it will not be read.")
                        .arg(m_device.name, tag->TagName, tag->TagAddress));
        }
    }
    if (beyondSpace > NamedBeyondSpace)
        m_services.log(QStringLiteral("Device: %1; %2 more tags run past the end of their address "
                                      "space, they will not be read.")
                           .arg(m_device.name)
                           .arg(beyondSpace - NamedBeyondSpace));
    m_addressTags = std::move(plan.addressTags);
    m_frames.clear();
    m_frames.reserve(plan.frames.size());
    for (PlannedFrame &frame : plan.frames)
        m_frames.emplace_back(std::move(frame));
    for (ReadFrame &frame : m_frames)
        frame.setScanRateMs(shortestScanRate(frame));
    m_currentFrame = -1;
    m_allFramesDisabledReported = false;
    return hasTags;
}

qint64 DeviceRuntime::shortestScanRate(const ReadFrame &frame) const
{
    qint64 shortest = HighestScanRateMs;
    for (int record : frame.plan().records)
        for (const CModTag *tag : m_addressTags[size_t(record)].tags)
            shortest = std::min<qint64>(shortest, tag->ScanRate);
    return std::clamp(shortest, LowestScanRateMs, HighestScanRateMs);
}

void DeviceRuntime::resetRuntime()
{
    const RuntimeClock::Tick now = RuntimeClock::now();
    // Frames switched off by the device stay off: starting on one would stall
    // the device for good while its tags still looked current.
    m_currentFrame = m_frames.empty() ? 0 : firstEnabledFrameFrom(0);
    m_demoted = false;
    m_successiveFailures = 0;
    m_lastSent = now;
    m_wait = 0;
    m_timeouts = 0;
    m_ready = true;
    m_lastActivity = now;
}

// Turns

bool DeviceRuntime::takeTurn(quint16 transactionId)
{
    if (m_writesPending && !m_readOwed) {
        if (!m_writeQueue.empty()) {
            const QueuedWrite entry = std::move(m_writeQueue.front());
            m_writeQueue.pop_front();
            sendWrite(entry, transactionId);
        }
        // The device does not wait for the echo of a write: writes follow each
        // other up to the duty cycle, then a read has its turn.
        ++m_writesSinceRead;
        m_writesPending = !m_writeQueue.empty();
        if (m_writesSinceRead >= std::max<int>(1, m_channel.DutyCycle)) {
            // The next turn reads, even if the host queues more writes meanwhile:
            // a host writing on every turn must not starve the reads.
            m_writesPending = false;
            m_writesSinceRead = 0;
            m_readOwed = true;
        }
        return true;
    }

    if (m_currentFrame < 0)
        m_currentFrame = 0;
    if (size_t(m_currentFrame) >= m_frames.size()) {
        m_readOwed = false; // nothing to read: writes may go on
        return true;
    }
    m_currentFrame = firstEnabledFrameFrom(m_currentFrame);
    if (m_services.honourScanRates) {
        const std::optional<int> due = firstDueFrameFrom(m_currentFrame);
        if (!due) {
            // Nothing to read yet: queued writes need not wait for a read.
            m_readOwed = false;
            m_writesPending = !m_writeQueue.empty();
            m_writesSinceRead = 0;
            return false;
        }
        m_currentFrame = *due;
    }
    ReadFrame &frame = m_frames[size_t(m_currentFrame)];
    if (!frame.isDisabled() && m_engine) {
        frame.sendRead(transactionId, *m_engine);
        m_ready = false;
    }
    m_readOwed = false;
    m_lastRequest = RequestKind::Read;
    m_lastSent = RuntimeClock::now();
    m_writesPending = !m_writeQueue.empty();
    m_writesSinceRead = 0;
    return true;
}

std::optional<int> DeviceRuntime::firstDueFrameFrom(int index) const
{
    const int count = int(m_frames.size());
    const RuntimeClock::Tick now = RuntimeClock::now();
    for (int step = 0; step < count; ++step) {
        const int candidate = (index + step) % count;
        const ReadFrame &frame = m_frames[size_t(candidate)];
        if (!frame.isDisabled() && frame.msUntilDue(now) == 0)
            return candidate;
    }
    return std::nullopt;
}

std::optional<qint64> DeviceRuntime::msUntilNextFrameDue() const
{
    // Queued writes have their turn at once, whatever the frames' rates.
    if (m_writesPending)
        return 0;
    const RuntimeClock::Tick now = RuntimeClock::now();
    std::optional<qint64> soonest;
    for (const ReadFrame &frame : m_frames) {
        if (frame.isDisabled())
            continue;
        const qint64 wait = frame.msUntilDue(now);
        if (!soonest || wait < *soonest)
            soonest = wait;
    }
    return soonest;
}

void DeviceRuntime::sendWrite(const QueuedWrite &entry, quint16 transactionId)
{
    if (!m_engine || !m_engine->isSocketReady() || !m_engine->hasUnit(unitId()))
        return;
    const ValueCodec::EncodeResult encoded =
        ValueCodec::encodeWrite(entry.value, entry.tagDataType, entry.target, m_wordOrder,
                                m_writeFunctions, entry.bitNumber, m_bitOrder);
    if (!encoded.ok()) {
        if (m_services.verbose())
            m_services.log(QStringLiteral("Write to tag [%1] not sent: %2.")
                               .arg(entry.tagName, ValueCodec::errorText(encoded.error)),
                           EventLog::Level::Verbose);
        return;
    }
    const ValueCodec::WriteRequest &request = *encoded.request;
    switch (request.function) {
    case ModbusTcp::FunctionCode::WriteSingleCoil:
        m_engine->writeCoil(transactionId, unitId(), entry.address, request.coilOn);
        break;
    case ModbusTcp::FunctionCode::WriteMultipleCoils: {
        const std::array<bool, 1> coil{request.coilOn};
        m_engine->writeCoils(transactionId, unitId(), entry.address, coil);
        break;
    }
    case ModbusTcp::FunctionCode::WriteSingleRegister:
        m_engine->writeRegister(transactionId, unitId(), entry.address, request.registers[0]);
        break;
    case ModbusTcp::FunctionCode::MaskWriteRegister:
        m_engine->maskWriteRegister(transactionId, unitId(), entry.address, request.andMask,
                                    request.orMask);
        break;
    default:
        m_engine->writeRegisters(transactionId, unitId(), entry.address, request.registers);
        break;
    }
    QString valueText;
    switch (entry.tagDataType) {
    case DataTypeCode::Boolean:
        valueText = entry.value.asBoolean() ? QStringLiteral("1") : QStringLiteral("0");
        break;
    case DataTypeCode::Char:
    case DataTypeCode::Byte:
    case DataTypeCode::Short:
    case DataTypeCode::Word:
        // The register value as sent.
        valueText = QString::number(request.registers[0]);
        break;
    case DataTypeCode::Float:
        valueText = QString::asprintf("%3.2f", double(entry.value.asFloat()));
        break;
    case DataTypeCode::Double:
        valueText = QString::number(entry.value.asDouble(), 'g', 17);
        break;
    case DataTypeCode::DWord:
    case DataTypeCode::BCD:
    case DataTypeCode::LBCD:
        valueText = QString::number(quint32(entry.value.asInteger64()));
        break;
    default:
        valueText = QString::number(entry.value.asInteger());
        break;
    }
    m_lastRequest = RequestKind::Write;
    m_lastWriteTagName = entry.tagName;
    if (m_services.verbose())
        m_services.log(QStringLiteral("Write Sent to Device : %1, Address : %2, Value : %3.")
                           .arg(m_device.DeviceId)
                           .arg(entry.address)
                           .arg(valueText),
                       EventLog::Level::Verbose);
}

void DeviceRuntime::moveToNextFrame()
{
    const int count = int(m_frames.size());
    if (count == 0)
        return;
    m_currentFrame = firstEnabledFrameFrom((std::max(m_currentFrame, 0) + 1) % count);
}

int DeviceRuntime::firstEnabledFrameFrom(int index)
{
    const int count = int(m_frames.size());
    if (count == 0)
        return index;
    index = std::clamp(index, 0, count - 1);
    for (int step = 0; step < count; ++step) {
        const int candidate = (index + step) % count;
        if (!m_frames[size_t(candidate)].isDisabled())
            return candidate;
    }
    if (!m_allFramesDisabledReported) {
        m_allFramesDisabledReported = true;
        m_services.log(QStringLiteral("Device: %1; every read frame is reported as [bad address], "
                                      "the device is no longer read in this run.")
                           .arg(m_device.name));
    }
    return index;
}

void DeviceRuntime::replied()
{
    m_demoted = false;
    m_successiveFailures = 0;
    m_ready = true;
    m_lastActivity = RuntimeClock::now();
    m_wait = 0;
}

void DeviceRuntime::onReadReply()
{
    if (m_lastRequest == RequestKind::Read) {
        if (m_currentFrame < 0 || size_t(m_currentFrame) >= m_frames.size() || !m_engine)
            return;
        m_frames[size_t(m_currentFrame)].takeReply(*this, *m_engine);
        moveToNextFrame();
        replied();
        // The channel serves its next device at once rather than at the next tick.
        m_engine->requestNextTurn();
        return;
    }
    // A late read reply after a write went out: its data is stale.
    replied();
}

void DeviceRuntime::onWriteReply()
{
    replied();
}

void DeviceRuntime::onReadException(quint8 code)
{
    // A busy device (code 6) keeps its frame: the same frame is read again and
    // no tag loses its quality.
    constexpr quint8 ServerBusy = 6;
    bool frameStepTaken = false;
    if (code != ServerBusy && m_lastRequest == RequestKind::Read) {
        if (m_currentFrame >= 0 && size_t(m_currentFrame) < m_frames.size())
            m_frames[size_t(m_currentFrame)].takeException(*this, code);
        moveToNextFrame();
        frameStepTaken = true;
    }

    if (m_device.AutoDemote) {
        ++m_successiveFailures;
        if (m_successiveFailures > m_device.DemoteAfter) {
            m_demoted = true;
            m_demotionStart = RuntimeClock::now();
            m_services.log(QStringLiteral("%1 : Demoted for %2 milliseconds...")
                               .arg(channelDeviceText())
                               .arg(m_device.DemoteFor));
            if (!frameStepTaken)
                return;
        } else if (m_services.verbose()) {
            m_services.log(QStringLiteral("%1 : Failed request %2 ...")
                               .arg(channelDeviceText())
                               .arg(m_successiveFailures),
                           EventLog::Level::Verbose);
        }
    }
    m_ready = true;
    m_lastActivity = RuntimeClock::now();
    m_wait = 0;
}

void DeviceRuntime::onWriteException(quint8 code)
{
    // The write is lost: the host and the operator hear of it. The read in
    // flight, its frame and the ready flag are left alone; only the demotion
    // count sees a device that refuses requests.
    m_services.log(QStringLiteral("%1 : write to Tag [%2] refused by the device, exception %3.")
                       .arg(channelDeviceText(), m_lastWriteTagName)
                       .arg(code));
    if (!m_device.AutoDemote)
        return;
    ++m_successiveFailures;
    if (m_successiveFailures > m_device.DemoteAfter && !m_demoted) {
        m_demoted = true;
        m_demotionStart = RuntimeClock::now();
        m_services.log(QStringLiteral("%1 : Demoted for %2 milliseconds...")
                           .arg(channelDeviceText())
                           .arg(m_device.DemoteFor));
    }
}

void DeviceRuntime::markValuesNotCurrent()
{
    for (ReadFrame &frame : m_frames)
        frame.markValuesNotCurrent(*this);
}

void DeviceRuntime::dropWritesQueuedBeforeConnect()
{
    if (m_writeQueue.empty())
        return;
    m_services.log(QStringLiteral("%1 : %2 write requests queued before the connection was made "
                                  "were dropped, not sent...")
                       .arg(channelDeviceText())
                       .arg(m_writeQueue.size()));
    m_writeQueue.clear();
    m_writesPending = false;
}

void DeviceRuntime::onTick()
{
    const RuntimeClock::Tick now = RuntimeClock::now();
    if (m_demoted) {
        if (RuntimeClock::elapsed(m_demotionStart, now) > m_device.DemoteFor) {
            m_demoted = false;
            m_successiveFailures = 0;
            m_services.log(
                QStringLiteral("%1 : Resuming from demotion period...").arg(channelDeviceText()));
            m_ready = true;
            m_wait = 0;
            m_lastActivity = now;
        }
        return;
    }
    // Measured from the last reply, exception, timeout or end of demotion; the
    // same frame is read again and no tag changes.
    m_wait = RuntimeClock::elapsed(m_lastActivity, now);
    if (m_wait > ReplyTimeoutMs) {
        // A read that went unanswered: its frame's values are no longer current.
        if (!m_ready && m_lastRequest == RequestKind::Read && m_currentFrame >= 0 &&
            size_t(m_currentFrame) < m_frames.size())
            m_frames[size_t(m_currentFrame)].markValuesNotCurrent(*this);
        ++m_timeouts;
        m_ready = true;
        m_wait = 0;
        m_lastActivity = now;
    }
}

// Writes

bool DeviceRuntime::writeTag(qint32 requestId, const CModData &value)
{
    CModTag *tag = m_device.findTagByRequestId(requestId);
    if (!tag) {
        m_services.log(DriverString::text(DriverString::WriteTagNotFound),
                       EventLog::Level::Verbose);
        return false;
    }
    writeTag(*tag, value);
    return true;
}

void DeviceRuntime::writeTag(const CModTag &tag, const CModData &value)
{
    if (tag.ClientAccess == ClientAccessCode::ReadWrite)
        queueWrite(tag, value);
    else
        m_services.log(DriverString::format(DriverString::CannotWriteReadOnlyTag, {tag.TagName}));
}

void DeviceRuntime::queueWrite(const CModTag &tag, const CModData &value)
{
    if (m_demoted && m_device.DiscardWritesWhileDemoted) {
        m_services.log(QStringLiteral("%1 : demoted, Tag [%2] write request ignored...")
                           .arg(channelDeviceText(), tag.TagName));
        return;
    }

    if (!ValueCodec::fitsDataType(value, tag.DataType)) {
        m_services.log(QStringLiteral("%1 : Tag [%2] can not hold the value %3, write request "
                                      "refused...")
                           .arg(channelDeviceText(), tag.TagName, valueText(value)));
        return;
    }

    const qint32 address = effectiveAddressOf(tag, m_device.ZeroBasedAddr);
    const std::optional<FrameSpace> space = AddressSpaces::spaceOf(address);
    const int optimization = m_channel.WriteOptimization;
    QueuedWrite entry;
    bool latestValueOnly = false;
    if (space == FrameSpace::HoldingRegisters) {
        const bool bit = tag.DataType == DataTypeCode::Boolean;
        if (bit && !m_writeFunctions.registerBitMask) {
            m_services.log(
                QStringLiteral("Writing to bits in holding registers is not supported yet..."));
            return;
        }
        entry.target = WriteTarget::HoldingRegister;
        entry.address = quint16(address - AddressSpaces::base(FrameSpace::HoldingRegisters));
        // Bits follow the Boolean rule of the coils: only "latest value for
        // all tags" keeps the last of several writes.
        latestValueOnly = bit ? optimization == 2 : optimization != 0;
    } else if (space == FrameSpace::Coils) {
        entry.target = WriteTarget::Coil;
        entry.address = quint16(address);
        latestValueOnly = optimization == 2;
    } else {
        return; // discrete inputs and input registers cannot be written
    }
    entry.tagDataType = tag.DataType;
    entry.bitNumber = tag.BitNumber;
    entry.tagName = tag.TagName;
    entry.value = value;

    if (latestValueOnly) {
        // Coils and holding registers are told apart, so a coil write never
        // replaces a register write at the same number; nor does the write of
        // one bit of a register replace that of another bit or of the register.
        const bool registerBit = entry.target == WriteTarget::HoldingRegister &&
                                 entry.tagDataType == DataTypeCode::Boolean;
        auto queued =
            std::find_if(m_writeQueue.begin(), m_writeQueue.end(), [&](const QueuedWrite &waiting) {
                const bool waitingBit = waiting.target == WriteTarget::HoldingRegister &&
                                        waiting.tagDataType == DataTypeCode::Boolean;
                return waiting.target == entry.target && waiting.address == entry.address &&
                       waitingBit == registerBit &&
                       (!registerBit || waiting.bitNumber == entry.bitNumber);
            });
        if (queued != m_writeQueue.end()) {
            *queued = std::move(entry);
            return;
        }
    }
    if (m_writeQueue.size() >= MaxQueuedWrites) {
        m_services.log(QStringLiteral("%1 : %2 writes are waiting, Tag [%3] write request "
                                      "refused...")
                           .arg(channelDeviceText())
                           .arg(m_writeQueue.size())
                           .arg(tag.TagName));
        return;
    }
    m_writeQueue.push_back(std::move(entry));
    m_writesPending = true;
    // Reads at their scan rates may leave the channel idle for a while; a
    // write goes out at the next turn rather than at the next due read.
    if (m_services.honourScanRates && m_engine)
        m_engine->requestNextTurn();
}

void DeviceRuntime::resendValues()
{
    forEachDeviceTag(m_device, [this](CModTag &tag) { TagRuntime::resendValue(tag, m_services); });
}

// Diagnostics

QString DeviceRuntime::label() const
{
    return QStringLiteral("Devc [%1]").arg(m_device.name);
}

QString DeviceRuntime::diagnosticText(int column) const
{
    switch (column) {
    case 0:
        return label();
    case 1:
        return QString::number(m_currentFrame);
    case 2:
        return QString::number(RuntimeClock::shown(m_lastSent));
    case 3:
        return QString::number(quint32(m_wait));
    case 4:
        return QString::number(m_timeouts);
    default:
        return QString();
    }
}

QString DeviceRuntime::channelDeviceText() const
{
    return QStringLiteral("Channel [%1], Device [%2]").arg(m_channel.name, m_device.name);
}
