#include "serveraddress.h"

namespace {

std::optional<quint16> parsePort(const QString &text)
{
    bool ok = false;
    const uint port = text.toUInt(&ok, 10);
    if (!ok || port == 0 || port > 65535 || text.startsWith(QLatin1Char('+')))
        return std::nullopt;
    return quint16(port);
}

} // namespace

std::optional<ServerAddress> ServerAddress::parse(const QString &text, QString *error)
{
    const QString trimmed = text.trimmed();
    ServerAddress address;
    if (trimmed.isEmpty()) {
        *error = QStringLiteral("No database server set (DbServer is empty): the host runtime "
                                "has not sent the connection settings.");
        return std::nullopt;
    }
    if (trimmed.startsWith(QLatin1Char('/'))) {
        address.kind = Kind::UnixSocket;
        address.socketPath = trimmed;
        return address;
    }
    if (trimmed.startsWith(QLatin1Char('['))) {
        const qsizetype close = trimmed.indexOf(QLatin1Char(']'));
        const QString rest = close < 0 ? QString() : trimmed.mid(close + 1);
        address.host = close < 0 ? QString() : trimmed.mid(1, close - 1);
        if (address.host.isEmpty() || (!rest.isEmpty() && !rest.startsWith(QLatin1Char(':')))) {
            *error = QStringLiteral("Database server \"%1\" is not a valid address "
                                    "(expected [address]:port).")
                         .arg(trimmed);
            return std::nullopt;
        }
        if (rest.isEmpty())
            return address;
        const std::optional<quint16> port = parsePort(rest.mid(1));
        if (!port) {
            *error = QStringLiteral("Database server \"%1\" has no valid port.").arg(trimmed);
            return std::nullopt;
        }
        address.kind = Kind::HostAndPort;
        address.port = *port;
        return address;
    }
    // More than one colon without brackets: a bare IPv6 address on the
    // default port.
    if (trimmed.count(QLatin1Char(':')) == 1) {
        const qsizetype colon = trimmed.indexOf(QLatin1Char(':'));
        const std::optional<quint16> port = parsePort(trimmed.mid(colon + 1));
        address.host = trimmed.left(colon);
        if (!port || address.host.isEmpty()) {
            *error =
                QStringLiteral("Database server \"%1\" has no valid host and port.").arg(trimmed);
            return std::nullopt;
        }
        address.kind = Kind::HostAndPort;
        address.port = *port;
        return address;
    }
    address.host = trimmed;
    return address;
}
