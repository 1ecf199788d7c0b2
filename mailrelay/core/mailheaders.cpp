#include "mailheaders.h"

#include "addresslist.h"

namespace MailHeaders {

namespace {

// 75 characters per encoded word: "=?UTF-8?B?" and "?=" take 12, leaving 63
// base64 characters, which hold 45 bytes (rounded down to whole groups).
constexpr qsizetype MaxBytesPerWord = 45;

bool isPlainPrintable(const QString &text)
{
    for (QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() > 0x7E)
            return false;
    // "=?" would be read as the start of an encoded word.
    return !text.contains(QLatin1StringView("=?"));
}

QByteArray encodedWords(const QString &text)
{
    QByteArray result;
    QByteArray chunk;
    for (qsizetype i = 0; i < text.size(); ++i) {
        // A surrogate pair stays together.
        qsizetype length = 1;
        if (text.at(i).isHighSurrogate() && i + 1 < text.size())
            length = 2;
        const QByteArray bytes = text.mid(i, length).toUtf8();
        i += length - 1;
        if (chunk.size() + bytes.size() > MaxBytesPerWord) {
            result += "=?UTF-8?B?" + chunk.toBase64() + "?= ";
            chunk.clear();
        }
        chunk += bytes;
    }
    if (!chunk.isEmpty())
        result += "=?UTF-8?B?" + chunk.toBase64() + "?=";
    if (result.endsWith(' '))
        result.chop(1);
    return result;
}

bool isAtomText(const QString &text)
{
    for (QChar c : text) {
        if (c.isLetterOrNumber() || c == u' ')
            continue;
        if (QStringView(u"!#$%&'*+-/=?^_`{|}~").contains(c))
            continue;
        return false;
    }
    return true;
}

QByteArray displayName(const QString &name)
{
    const QString clean = withoutLineBreaks(name).trimmed();
    if (!isPlainPrintable(clean))
        return encodedWords(clean);
    if (isAtomText(clean))
        return clean.toLatin1();
    QString quoted = clean;
    quoted.replace(u'\\', QLatin1StringView("\\\\")).replace(u'"', QLatin1StringView("\\\""));
    return '"' + quoted.toLatin1() + '"';
}

} // namespace

QString withoutLineBreaks(const QString &text)
{
    QString result = text;
    result.replace(u'\r', u' ').replace(u'\n', u' ');
    return result;
}

QByteArray encodeText(const QString &text)
{
    const QString clean = withoutLineBreaks(text);
    if (isPlainPrintable(clean))
        return clean.toLatin1();
    return encodedWords(clean);
}

QByteArray addressList(const QString &normalizedList)
{
    QByteArrayList parts;
    for (const AddressList::Mailbox &m : AddressList::mailboxes(normalizedList)) {
        const QByteArray address = '<' + m.address.toLatin1() + '>';
        parts << (m.displayName.isEmpty() ? address : displayName(m.displayName) + ' ' + address);
    }
    return parts.join(", ");
}

QList<QByteArray> envelopeRecipients(const QString &normalizedList)
{
    QList<QByteArray> result;
    for (const AddressList::Mailbox &m : AddressList::mailboxes(normalizedList))
        result << '<' + m.address.toLatin1() + '>';
    return result;
}

} // namespace MailHeaders
