#include "stunnelconfig.h"

namespace {

// stunnel reads one option per line; a value with a line break would start a
// new option.
QByteArray value(const QString &text)
{
    QString clean = text;
    clean.remove(u'\r').remove(u'\n');
    return clean.toUtf8();
}

} // namespace

QByteArray StunnelConfig::text() const
{
    QByteArray out;
    out += "; written by mailrelay at start; changes are lost\n";
    out += "foreground = yes\n";
    out += "pid =\n";
    out += "syslog = no\n";
    out += "debug = notice\n";
    for (const StunnelService &s : services) {
        out += "\n[" + value(s.name) + "]\n";
        out += "client = yes\n";
        out += "accept = 127.0.0.1:" + QByteArray::number(s.acceptPort) + '\n';
        out += "connect = " + value(s.smtpHost) + ':' + QByteArray::number(s.smtpPort) + '\n';
        // The host is looked up for each connection, so a provider that moves
        // is followed without a restart.
        out += "delay = yes\n";
        out += "verifyChain = yes\n";
        out += "CAfile = " + value(caFile) + '\n';
        if (QHostAddress(s.smtpHost).isNull())
            out += "checkHost = " + value(s.smtpHost) + '\n';
        else
            out += "checkIP = " + value(s.smtpHost) + '\n';
        if (!clientCertificate.isEmpty())
            out += "cert = " + value(clientCertificate) + '\n';
    }
    return out;
}
