#include "mailsettings.h"

#include "settingsvalue.h"

#include <QMetaType>

namespace {

// A port of 0, or one that is no port, keeps the default.
int readPort(const QSettings &store, const QString &key, int defaultPort)
{
    const int port = readSettingsInteger(store, key, defaultPort);
    return port > 0 && port <= 65535 ? port : defaultPort;
}

QString readText(const QSettings &store, const QString &key, const QString &defaultText)
{
    const QVariant value = store.value(key);
    if (value.typeId() != QMetaType::QString || value.toString().isEmpty())
        return defaultText;
    return value.toString();
}

} // namespace

MailSettings MailSettings::read(const QSettings &store, const QString &defaultProxyFolder)
{
    MailSettings s;
    const QString g = QLatin1StringView(MailSettingsGroup) + QLatin1Char('/');
    s.proxyFolder = readText(store, g + QStringLiteral("Stunnel_Path"), defaultProxyFolder);
    s.proxyPortYahoo = readPort(store, g + QStringLiteral("ProxyPortYahoo"), s.proxyPortYahoo);
    s.proxyPortGmail = readPort(store, g + QStringLiteral("ProxyPortGmail"), s.proxyPortGmail);
    s.smtpHostGmail = readText(store, g + QStringLiteral("SmtpHostGmail"), s.smtpHostGmail);
    s.smtpHostYahoo = readText(store, g + QStringLiteral("SmtpHostYahoo"), s.smtpHostYahoo);
    s.smtpPortGmail = readPort(store, g + QStringLiteral("SmtpPortGmail"), s.smtpPortGmail);
    s.smtpPortYahoo = readPort(store, g + QStringLiteral("SmtpPortYahoo"), s.smtpPortYahoo);
    s.caFile = readText(store, g + QStringLiteral("Stunnel_CAfile"), QString());
    return s;
}
