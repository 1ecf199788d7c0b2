#include "addresslist.h"

namespace AddressList {

namespace {

constexpr int MaxLocalLength = 64;
constexpr int MaxDomainLength = 253;
constexpr int MaxLabelLength = 63;

bool isAtextChar(QChar c)
{
    if (c.unicode() > 0x7E)
        return false;
    if (c.isLetterOrNumber())
        return true;
    return QStringView(u"!#$%&'*+-/=?^_`{|}~").contains(c);
}

bool isValidLocalPart(QStringView local)
{
    if (local.isEmpty() || local.size() > MaxLocalLength)
        return false;
    if (local.startsWith(u'.') || local.endsWith(u'.') || local.contains(u".."))
        return false;
    for (QChar c : local)
        if (c != u'.' && !isAtextChar(c))
            return false;
    return true;
}

bool isValidLabel(QStringView label)
{
    if (label.isEmpty() || label.size() > MaxLabelLength)
        return false;
    if (label.startsWith(u'-') || label.endsWith(u'-'))
        return false;
    for (QChar c : label) {
        const char16_t u = c.unicode();
        const bool ok = (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') ||
                        (u >= u'0' && u <= u'9') || u == u'-';
        if (!ok)
            return false;
    }
    return true;
}

bool isValidDomain(QStringView domain)
{
    if (domain.isEmpty() || domain.size() > MaxDomainLength)
        return false;
    for (QStringView label : domain.split(u'.'))
        if (!isValidLabel(label))
            return false;
    return true;
}

bool isValidMailbox(QStringView mailbox)
{
    const qsizetype at = mailbox.lastIndexOf(u'@');
    if (at < 0)
        return false;
    return isValidLocalPart(mailbox.left(at)) && isValidDomain(mailbox.mid(at + 1));
}

bool hasLineBreak(QStringView text)
{
    return text.contains(u'\r') || text.contains(u'\n');
}

QString wrapped(const QString &address)
{
    if (address.contains(u'<') || address.contains(u'>'))
        return address;
    return QStringLiteral("<%1>").arg(address);
}

} // namespace

bool isValidAddress(const QString &address)
{
    const QStringView text = QStringView(address).trimmed();
    const qsizetype open = text.indexOf(u'<');
    const qsizetype close = text.indexOf(u'>');
    if (open < 0 || close < open || close != text.size() - 1)
        return false;
    if (text.count(u'<') != 1 || text.count(u'>') != 1)
        return false;
    if (hasLineBreak(text.left(open)))
        return false;
    return isValidMailbox(text.mid(open + 1, close - open - 1));
}

std::optional<QString> normalized(const QString &list)
{
    if (list.isEmpty())
        return QString();
    QStringList addresses;
    QString current;
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QChar c = list.at(i);
        const bool separator = c == u',' || c == u';';
        if (!separator)
            current += c;
        if (!separator && i != list.size() - 1)
            continue;
        // Blanks around an address are the writer's spacing, not part of it;
        // inside the brackets they would make the address unsendable.
        const QString address = current.trimmed();
        current.clear();
        if (address.isEmpty())
            return std::nullopt;
        const QString checked = wrapped(address);
        if (!isValidAddress(checked))
            return std::nullopt;
        addresses << checked;
    }
    return addresses.join(u';');
}

Mailbox splitAddress(const QString &address)
{
    const QStringView text = QStringView(address).trimmed();
    const qsizetype open = text.indexOf(u'<');
    const qsizetype close = text.indexOf(u'>');
    if (open < 0 || close < open)
        return {QString(), text.toString()};
    QString name = text.left(open).trimmed().toString();
    if (name.size() >= 2 && name.startsWith(u'"') && name.endsWith(u'"'))
        name = name.mid(1, name.size() - 2);
    return {name, text.mid(open + 1, close - open - 1).toString()};
}

QList<Mailbox> mailboxes(const QString &normalizedList)
{
    QList<Mailbox> result;
    for (const QString &address : normalizedList.split(u';', Qt::SkipEmptyParts))
        result << splitAddress(address);
    return result;
}

} // namespace AddressList
