#include "mailprovider.h"

std::optional<MailProvider> providerFromName(const QString &name)
{
    if (name.compare(QLatin1StringView("GMail"), Qt::CaseInsensitive) == 0)
        return MailProvider::Gmail;
    if (name.compare(QLatin1StringView("Yahoo"), Qt::CaseInsensitive) == 0)
        return MailProvider::Yahoo;
    return std::nullopt;
}

QString providerName(MailProvider provider)
{
    return provider == MailProvider::Gmail ? QStringLiteral("GMail") : QStringLiteral("Yahoo");
}

QString channelText(int channel)
{
    switch (channel) {
    case 0:
        return QStringLiteral("Gmail");
    case 1:
        return QStringLiteral("Yahoo");
    default:
        return QStringLiteral("Common");
    }
}
