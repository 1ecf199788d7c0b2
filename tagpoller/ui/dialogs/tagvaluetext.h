#pragma once

#include "cmoddata.h"

#include <QString>
#include <QStringView>

#include <optional>

class CModTag;

// Reading the text typed into the "Tag Value to Write" dialog as the value
// that goes to the device. The dialog takes only text that is wholly a number
// of the tag's type (isValueTextOfType), so a slip of the keyboard is refused
// rather than written; the readers below follow the C library's rules.
namespace TagValueText {

// The number at the start of `text`, read the way strtol reads it: leading
// white space, an optional sign, the decimal digits up to the first other
// character; no digits give 0. The result saturates at the 32-bit limits.
qint32 leadingLong(QStringView text);

// The same, for DWord tags: the unsigned 32-bit range, saturating at 0 and
// 4294967295.
quint32 leadingDWord(QStringView text);

// The floating-point number at the start of `text`, read the way strtod
// reads it: leading white space, an optional sign, digits with an optional
// decimal point, an optional exponent. No digits give 0; a number beyond
// the double range gives an infinity of its sign, one too small gives 0.
double leadingDouble(QStringView text);

} // namespace TagValueText

// The value to write for `text`, shaped by the type code of the tag's
// current value (see writeTypeCode): nothing for a code that carries no
// number the dialog can write (String, Double, BCD, dates, unknown codes).
std::optional<CModData> tagValueFromText(const QString &text, quint8 currentValueType);

// Whether `text` is wholly a number that a value of `typeCode` holds, blanks
// around it allowed: for the integer types an optional sign and decimal
// digits within the type's range (Boolean 0 or 1); for Float a decimal number
// with an optional point and exponent that stays finite as a float. Nothing
// else passes ("abc", "12abc", "1.5" for a Word, "70000" for a Word, "nan"),
// and no text passes for a code the dialog cannot write.
bool isValueTextOfType(QStringView text, quint8 typeCode);

// Whether the dialog converts text for values of `typeCode`.
bool isDialogWritableType(quint8 typeCode);

// The type whose numbers the dialog accepts for `tag`: its own data type when
// the dialog writes that type, otherwise the type of its current value.
quint8 dialogTypeCode(const CModTag &tag);

// The type code that decides the conversion of the tag's value text: the code
// of its current value. A tag keeps the Long code until its first value
// arrives; a DWord tag is read as DWord even then, so that values above the
// signed range are not clipped.
quint8 writeTypeCode(const CModTag &tag);

// Only Read/Write tags at writable addresses can be written from the dialog:
// coils (up to 65535) and holding registers (from 400000); input coils and
// input registers (65536 to 399999) cannot.
bool canWriteFromDialog(const CModTag &tag);
