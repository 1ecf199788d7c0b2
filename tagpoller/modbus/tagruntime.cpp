#include "tagruntime.h"

#include "cmodtag.h"
#include "runtimeservices.h"
#include "tagvaluesink.h"

namespace TagRuntime {

namespace {

void handOver(const CModTag &tag, const RuntimeServices &services)
{
    if (services.valueSink && tag.requestId != 0)
        services.valueSink->queueTagValue(tag.requestId, tag.value,
                                          (tag.flags & CModTag::ErrorState) != 0);
}

// Clears the error state; true when the tag was in it. The bit path has
// always written its line with a leading blank, the register path without.
bool leaveErrorState(CModTag &tag, const RuntimeServices &services, bool leadingBlank)
{
    if (!(tag.flags & CModTag::ErrorState))
        return false;
    tag.flags &= ~CModTag::ErrorState;
    if (services.verbose()) {
        const QString line = QStringLiteral("Tag: %1, left Error State.").arg(tag.TagName);
        services.log(leadingBlank ? u' ' + line : line, EventLog::Level::Verbose);
    }
    return true;
}

void store(CModTag &tag, const CModData &decoded, bool wasInError, qint64 readTimeMs,
           const RuntimeServices &services)
{
    const bool hadValue = tag.flags & CModTag::ValuePresent;
    tag.flags |= CModTag::Redraw;
    tag.lastGoodRead = readTimeMs;
    if (hadValue && !wasInError && ValueCodec::isUnchanged(tag.value, decoded))
        return;
    tag.flags |= CModTag::ValuePresent;
    tag.value = decoded;
    handOver(tag, services);
}

} // namespace

void updateBit(CModTag &tag, bool bit, qint64 readTimeMs, const RuntimeServices &services)
{
    const bool wasInError = leaveErrorState(tag, services, true);
    store(tag, ValueCodec::decodeBit(bit), wasInError, readTimeMs, services);
}

void decodeRegisters(CModTag &tag, std::span<const quint16> registers,
                     ValueCodec::WordOrder wordOrder, ValueCodec::BitOrder bitOrder,
                     qint64 readTimeMs, const RuntimeServices &services)
{
    const ValueCodec::DecodeResult result =
        ValueCodec::decodeRegisters(tag.DataType, registers, tag.BitNumber, wordOrder, bitOrder);
    if (!result.ok() && result.error == ValueCodec::DecodeError::InvalidBcd) {
        // The device holds no number there: the last good value is no longer
        // current. Said once per tag, not on every read, until a valid one comes.
        tag.flags |= CModTag::Redraw;
        if (!(tag.flags & CModTag::InvalidValueReported)) {
            tag.flags |= CModTag::InvalidValueReported;
            services.log(QStringLiteral("Tag: %1, register holds no valid BCD value, the tag is "
                                        "bad until it does.")
                             .arg(tag.TagName));
        }
        enterErrorState(tag, services);
        return;
    }
    const bool wasInError = leaveErrorState(tag, services, false);
    tag.flags &= ~quint32(CModTag::InvalidValueReported);
    if (!result.ok()) {
        // Types that are read but not decoded only get drawn again.
        tag.flags |= CModTag::Redraw;
        return;
    }
    store(tag, *result.value, wasInError, readTimeMs, services);
}

void enterErrorState(CModTag &tag, const RuntimeServices &services)
{
    if (tag.flags & CModTag::ErrorState)
        return;
    tag.flags |= CModTag::ErrorState | CModTag::Redraw;
    if (services.verbose())
        services.log(QStringLiteral("Tag: %1, entered Error State.").arg(tag.TagName),
                     EventLog::Level::Verbose);
    handOver(tag, services);
}

void resendValue(CModTag &tag, const RuntimeServices &services)
{
    if (tag.flags & CModTag::ValuePresent)
        handOver(tag, services);
}

} // namespace TagRuntime
