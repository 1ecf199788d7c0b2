#include "readframe.h"

#include <QDateTime>

#include <algorithm>

#include "cmodtag.h"
#include "deviceruntime.h"
#include "modbustcpclient.h"
#include "tagruntime.h"

ReadFrame::ReadFrame(PlannedFrame plan) : m_plan(std::move(plan)) {}

void ReadFrame::sendRead(quint16 transactionId, ModbusTcpClient &engine)
{
    m_transactionId = transactionId;
    if (engine.isSocketReady()) {
        const quint8 unit = m_plan.unitId;
        const quint16 start = m_plan.protocolStart();
        const auto count = quint16(m_plan.count);
        switch (m_plan.space) {
        case FrameSpace::HoldingRegisters:
            engine.readHoldingRegisters(transactionId, unit, start, count);
            break;
        case FrameSpace::InputRegisters:
            engine.readInputRegisters(transactionId, unit, start, count);
            break;
        case FrameSpace::InputStatus:
            engine.readDiscreteInputs(transactionId, unit, start, count);
            break;
        case FrameSpace::Coils:
            engine.readCoils(transactionId, unit, start, count);
            break;
        }
    }
    m_sentTick = RuntimeClock::now();
    m_everSent = true;
}

qint64 ReadFrame::msUntilDue(RuntimeClock::Tick now) const
{
    if (!m_everSent)
        return 0;
    // Measured from the previous read's send, so that the turnaround does not
    // stretch the rate.
    return std::max<qint64>(0, m_scanRateMs - RuntimeClock::elapsed(m_sentTick, now));
}

void ReadFrame::takeReply(DeviceRuntime &device, ModbusTcpClient &engine)
{
    const RuntimeServices &services = device.services();
    const std::vector<AddressRecord> &addressTags = device.addressTags();
    const quint8 unit = m_plan.unitId;
    const bool bits = m_plan.space == FrameSpace::Coils || m_plan.space == FrameSpace::InputStatus;
    const qint64 readTimeMs = QDateTime::currentMSecsSinceEpoch();

    if (bits) {
        bool missingBitLogged = false;
        for (int recordIndex : m_plan.records) {
            const AddressRecord &record = addressTags[size_t(recordIndex)];
            const std::optional<bool> bit = engine.coilBit(unit, record.indexInFrame);
            // The reply was checked against the quantity asked for, so a bit
            // can be missing only if the plan and the reply disagree; it then
            // reads 0, and one line per reply says so.
            if (!bit && !missingBitLogged) {
                missingBitLogged = true;
                services.log(QStringLiteral("Device %1, %2: Index out of range.")
                                 .arg(device.name(), label()));
            }
            for (CModTag *tag : record.tags)
                TagRuntime::updateBit(*tag, bit.value_or(false), readTimeMs, services);
        }
    } else {
        const ValueCodec::WordOrder wordOrder = device.wordOrder();
        const ValueCodec::BitOrder bitOrder = device.bitOrder();
        for (int recordIndex : m_plan.records) {
            const AddressRecord &record = addressTags[size_t(recordIndex)];
            const std::span<const quint16> registers =
                engine.registers(unit, record.indexInFrame, record.width);
            for (CModTag *tag : record.tags)
                TagRuntime::decodeRegisters(*tag, registers, wordOrder, bitOrder, readTimeMs,
                                            services);
        }
    }

    ++m_readsOk;
    received();
    if (engine.tracing())
        engine.errorFile().addLine(
            QStringLiteral("Frame Recd: Device %1, Start Addr %2, Count %3, Ticks %4")
                .arg(unit)
                .arg(m_plan.start)
                .arg(m_plan.count)
                .arg(m_turnaround));
}

void ReadFrame::markValuesNotCurrent(DeviceRuntime &device)
{
    for (int recordIndex : m_plan.records) {
        for (CModTag *tag : device.addressTags()[size_t(recordIndex)].tags) {
            if (tag->flags & CModTag::ValuePresent)
                TagRuntime::enterErrorState(*tag, device.services());
        }
    }
}

bool ReadFrame::takeException(DeviceRuntime &device, quint8 code)
{
    m_lastExceptionCode = code;
    bool disabledNow = false;
    if (code == IllegalDataAddress && !m_disabled) {
        ++m_illegalAddressCount;
        if (m_illegalAddressCount > IllegalAddressRepliesTolerated) {
            m_disabled = true;
            disabledNow = true;
            device.services().log(
                QStringLiteral("Device: %1; Some address in the range [%2 to %3] is reported as "
                               "[bad address], no attempt to read tags with these addresses "
                               "will be made now.")
                    .arg(device.name())
                    .arg(m_plan.start)
                    .arg(m_plan.end));
        }
    }
    for (int recordIndex : m_plan.records) {
        for (CModTag *tag : device.addressTags()[size_t(recordIndex)].tags)
            TagRuntime::enterErrorState(*tag, device.services());
    }
    ++m_errors;
    received();
    return disabledNow;
}

void ReadFrame::received()
{
    m_receivedTick = RuntimeClock::now();
    m_turnaround = m_receivedTick - m_sentTick;
}

QString ReadFrame::label() const
{
    return QStringLiteral("Frm: %1 Addr: [%2 to %3]")
        .arg(m_plan.frameIndex)
        .arg(m_plan.start)
        .arg(m_plan.end);
}

QString ReadFrame::diagnosticText(int column) const
{
    switch (column) {
    case 0:
        return label();
    case 5:
        return QString::number(m_transactionId);
    case 6:
        return QString::number(RuntimeClock::shown(m_sentTick));
    case 7:
        return QString::number(RuntimeClock::shown(m_receivedTick));
    case 8:
        return QString::number(RuntimeClock::shown(m_turnaround));
    case 9:
        return QString::number(m_readsOk);
    case 10:
        return QString::number(m_errors);
    case 11:
        return QString::number(m_lastExceptionCode);
    case 12:
        return m_disabled ? QStringLiteral("Yes") : QStringLiteral("No");
    default:
        return QString();
    }
}
