#pragma once

#include "cmoddata.h"

#include <QString>
#include <QStringView>

#include <optional>

class CModTag;

// Reading the text typed into the "Tag Value to Write" dialog as the value
// that goes to the device. Users type plain numbers there; whatever follows
// the number is ignored and text without a number counts as 0, so a slip of
// the keyboard writes a predictable value instead of nothing.
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
// current value (see WriteTypeCode): nothing for a code that carries no
// number the dialog can write (String, Double, BCD, dates, unknown codes).
std::optional<CModData> TagValueFromText(const QString &text, quint8 currentValueType);

// The type code that decides the conversion of the tag's value text: the code
// of its current value. A tag keeps the Long code until its first value
// arrives; a DWord tag is read as DWord even then, so that values above the
// signed range are not clipped.
quint8 WriteTypeCode(const CModTag &tag);

// Only Read/Write tags at writable addresses can be written from the dialog:
// coils (up to 65535) and holding registers (from 400000); input coils and
// input registers (65536 to 399999) cannot.
bool CanWriteFromDialog(const CModTag &tag);
