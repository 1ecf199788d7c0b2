#include "tagaddress.h"

#include "cmodtag.h"
#include "datatypes.h"
#include "driverstrings.h"
#include "notifier.h"

#include <limits>
#include <optional>

namespace AddressText {

namespace {

bool isDecimal(QStringView text)
{
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

} // namespace

Split splitAddress(QStringView text)
{
    Split split;
    const qsizetype dots = text.count(u'.');
    if (dots == 0) {
        if (!text.isEmpty() && text.size() <= 6 && isDecimal(text))
            split.registerPart = text.toString();
        else
            split.error = Split::BadRegister;
        return split;
    }
    if (dots > 1) {
        split.error = Split::SeveralDots;
        return split;
    }

    split.hasOneDot = true;
    const qsizetype dot = text.indexOf(u'.');
    if (text.size() <= 2 || dot == 0 || dot == text.size() - 1) {
        split.error = Split::MisplacedDot;
        return split;
    }
    const QStringView registerPart = text.first(dot);
    const QStringView bitPart = text.sliced(dot + 1);
    split.registerPart = registerPart.toString();
    split.bitPart = bitPart.toString();
    if (registerPart.size() > 6 || !isDecimal(registerPart))
        split.error = Split::BadRegister;
    else if (bitPart.size() > 2 || !isDecimal(bitPart))
        split.error = Split::BadBit;
    return split;
}

qint32 leadingNumber(QStringView text)
{
    qint64 number = 0;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            break;
        number = number * 10 + (c.unicode() - u'0');
        if (number > std::numeric_limits<qint32>::max())
            return std::numeric_limits<qint32>::max();
    }
    return qint32(number);
}

} // namespace AddressText

namespace {

// The messages of one register table.
struct RegisterTable
{
    qint32 base; // one-based first address: 300001 or 400001
    DriverString::Id range;
    DriverString::Id bit;
    DriverString::Id dataType;
    DriverString::Id address;
};

constexpr RegisterTable InputRegisters{
    300001, DriverString::InputRegisterAddressRange, DriverString::InputRegisterBitRange,
    DriverString::InputRegisterDataTypeInvalid, DriverString::InputRegisterAddressError};
constexpr RegisterTable HoldingRegisters{
    400001, DriverString::HoldingRegisterAddressRange, DriverString::HoldingRegisterBitRange,
    DriverString::HoldingRegisterDataTypeInvalid, DriverString::HoldingRegisterAddressError};

// A failed check carries its message, except for the one silent failure.
struct Verdict
{
    bool valid = true;
    std::optional<DriverString::Id> message;
};
const Verdict Valid{};
const Verdict FailSilently{false, std::nullopt};
Verdict failWith(DriverString::Id id)
{
    return {false, id};
}

Verdict checkRegister(CModTag &tag, const AddressText::Split &split, const RegisterTable &table)
{
    if (split.hasOneDot) {
        const quint32 number = quint32(split.registerPart.toUInt());
        const quint32 bit = split.bitPart.toUInt();
        // The register check compares as unsigned, so a register below the
        // base is out of range too.
        tag.BitNumber = quint8(bit);
        if (number - quint32(table.base) >= 65536)
            return failWith(table.range);
        if (bit > 16)
            return failWith(table.bit);
        if (tag.DataType != DataTypeCode::Boolean)
            return failWith(DriverString::BitAddressNeedsBoolean);
        return Valid;
    }

    const qint32 number = split.registerPart.toInt();
    if (number <= table.base - 1)
        return failWith(table.address);
    qint32 upperEnd = 0;
    switch (tag.DataType) {
    case DataTypeCode::Char:
    case DataTypeCode::Byte:
    case DataTypeCode::Short:
    case DataTypeCode::Word:
    case DataTypeCode::BCD:
        upperEnd = table.base + 65535;
        break;
    case DataTypeCode::Long:
    case DataTypeCode::DWord:
    case DataTypeCode::Float:
    case DataTypeCode::LBCD:
        upperEnd = table.base + 65534;
        break;
    case DataTypeCode::Double:
        upperEnd = table.base + 65532;
        break;
    default:
        return failWith(table.dataType);
    }
    return number > upperEnd ? FailSilently : Valid;
}

Verdict checkAddress(CModTag &tag)
{
    const QString &text = tag.TagAddress;
    const QChar first = text.isEmpty() ? QChar() : text.front();
    const AddressText::Split split = AddressText::splitAddress(text);

    if (first == u'0' || first == u'1') {
        if (tag.DataType != DataTypeCode::Boolean)
            return failWith(DriverString::CoilNeedsBoolean);
        if (split.hasOneDot || split.error != AddressText::Split::None)
            return failWith(DriverString::CoilAddressError);
        const qint32 number = text.toInt();
        if (first == u'1') {
            if (number < 100001 || number > 165536)
                return failWith(DriverString::InputStatusAddressRange);
            if (tag.ClientAccess == ClientAccessCode::ReadWrite)
                return failWith(DriverString::InputStatusMustBeReadOnly);
            return Valid;
        }
        // Coil 65536 is accepted although the message names 065535.
        if (number == 0 || number > 65536)
            return failWith(DriverString::CoilAddressRange);
        return Valid;
    }
    if (first == u'3') {
        if (tag.ClientAccess != ClientAccessCode::ReadOnly)
            return failWith(DriverString::InputRegisterMustBeReadOnly);
        if (split.error != AddressText::Split::None)
            return failWith(DriverString::InputRegisterSplitError);
        return checkRegister(tag, split, InputRegisters);
    }
    if (first == u'4') {
        if (split.error != AddressText::Split::None)
            return failWith(DriverString::HoldingRegisterAddressError);
        return checkRegister(tag, split, HoldingRegisters);
    }
    return failWith(DriverString::InvalidAddress);
}

} // namespace

bool validateAddress(CModTag &tag, QString &errorText, Notifier *notifier)
{
    const Verdict verdict = checkAddress(tag);
    if (verdict.valid)
        return true;
    errorText = verdict.message ? DriverString::text(*verdict.message) : QString();
    if (notifier && !errorText.isEmpty())
        notifier->showMessage(errorText, Notifier::Icon::Stop);
    return false;
}

void normalizeAddress(CModTag &tag, NormalizeStep step)
{
    if (step == NormalizeStep::BeforeValidation) {
        tag.AddressNumber = AddressText::leadingNumber(tag.TagAddress);
        if (tag.AddressNumber <= 65536 && tag.TagAddress.size() < 6 &&
            !tag.TagAddress.startsWith(u'0'))
            tag.TagAddress.prepend(u'0');
        return;
    }
    if (tag.AddressNumber <= 65536 && tag.TagAddress.size() < 6)
        tag.TagAddress = tag.TagAddress.rightJustified(6, u'0');
}
