#include "textincrement.h"

namespace {

constexpr int CoilAddressDigits = 6;
constexpr int HighestCoilNumber = 65536;

bool isDecimalDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// `digits` plus one, in decimal without leading zeros. Counted on the digits
// themselves, so a run of any length goes on instead of overflowing.
QString plusOne(QStringView digits)
{
    while (digits.size() > 1 && digits.front() == u'0')
        digits = digits.sliced(1);
    QString result = digits.toString();
    for (qsizetype i = result.size() - 1; i >= 0; --i) {
        if (result[i] != u'9') {
            result[i] = QChar(result[i].unicode() + 1);
            return result;
        }
        result[i] = u'0';
    }
    return QChar(u'1') + result; // every digit was 9
}

bool isWithinCoilRange(const QString &number)
{
    return number.size() <= CoilAddressDigits && number.toInt() <= HighestCoilNumber;
}

} // namespace

QString incrementedText(QStringView text)
{
    qsizetype runStart = text.size();
    while (runStart > 0 && isDecimalDigit(text[runStart - 1]))
        --runStart;
    if (runStart == text.size())
        return text.toString();

    const QStringView prefix = text.first(runStart);
    QString run = plusOne(text.sliced(runStart));
    if (prefix.isEmpty() && text.startsWith(u'0') && isWithinCoilRange(run))
        run = run.rightJustified(CoilAddressDigits, u'0');
    return prefix.toString() + run;
}
