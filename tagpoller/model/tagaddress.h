#pragma once

#include <QString>
#include <QStringView>

class CModTag;
class Notifier;

// Address texts of tags: decimal digits whose first digit selects the Modbus
// table (0 coils, 1 discrete inputs, 3 input registers, 4 holding registers),
// one-based, optionally followed by "." and a bit number for register bits.
namespace AddressText {

struct Split
{
    enum Error { None = 0, SeveralDots = 1, MisplacedDot = 2, BadRegister = 3, BadBit = 4 };

    QString registerPart;
    QString bitPart;
    bool hasOneDot = false;
    Error error = None;
};

Split splitAddress(QStringView text);

// The number made of the leading decimal digits of `text` (0 when it starts
// with something else), saturated at the int32 limit.
qint32 leadingNumber(QStringView text);

} // namespace AddressText

// Checks the tag's TagAddress against its DataType and ClientAccess. On failure
// `errorText` receives the message (empty for a register beyond the type's
// upper end, which fails silently) and, with a notifier, the message is shown
// with a stop icon. Sets BitNumber whenever a register bit part was checked.
bool validateAddress(CModTag &tag, QString &errorText, Notifier *notifier = nullptr);

// The tag dialog's zero-filling, before and after validation: a short number
// that could be a coil gets a leading "0" first; a valid coil or input address
// is shown with six digits afterwards.
enum class NormalizeStep { BeforeValidation, AfterValidation };
void normalizeAddress(CModTag &tag, NormalizeStep step);
