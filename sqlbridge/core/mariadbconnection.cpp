#include "mariadbconnection.h"

#include "serveraddress.h"

#include <errmsg.h>
#include <mysql.h>

#include <mutex>

MariaDbConnection::~MariaDbConnection()
{
    close();
}

void MariaDbConnection::initializeLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mysql_library_init(0, nullptr, nullptr); });
}

void MariaDbConnection::close()
{
    if (m_mysql) {
        mysql_close(m_mysql);
        m_mysql = nullptr;
    }
}

MariaDbConnection::Result MariaDbConnection::open(const SqlPayload::ConnectionSettings &settings,
                                                  const Timeouts &timeouts)
{
    close();
    QString addressError;
    const std::optional<ServerAddress> address =
        ServerAddress::parse(settings.server, &addressError);
    if (!address)
        return {false, CR_UNKNOWN_HOST, addressError};

    initializeLibrary();
    MYSQL *mysql = mysql_init(nullptr);
    if (!mysql)
        return {false, CR_OUT_OF_MEMORY, QStringLiteral("The database client is out of memory.")};

    const unsigned connectTimeout = unsigned(timeouts.connect.count());
    const unsigned readTimeout = unsigned(timeouts.read.count());
    const unsigned writeTimeout = unsigned(timeouts.write.count());
    mysql_options(mysql, MYSQL_OPT_CONNECT_TIMEOUT, &connectTimeout);
    mysql_options(mysql, MYSQL_OPT_READ_TIMEOUT, &readTimeout);
    mysql_options(mysql, MYSQL_OPT_WRITE_TIMEOUT, &writeTimeout);
    mysql_options(mysql, MYSQL_SET_CHARSET_NAME, "utf8mb4");
    // A silent reconnect would hide that a statement's fate is unknown; the
    // pass decides what to send again.
    const my_bool noReconnect = 0;
    mysql_options(mysql, MYSQL_OPT_RECONNECT, &noReconnect);

    const QByteArray user = settings.user.toUtf8();
    const QByteArray password = settings.password.toUtf8();
    const QByteArray database = settings.database.toUtf8();
    QByteArray host;
    QByteArray socket;
    unsigned port = 0;
    switch (address->kind) {
    case ServerAddress::Kind::Host:
        host = address->host.toUtf8();
        break;
    case ServerAddress::Kind::HostAndPort: {
        host = address->host.toUtf8();
        port = address->port;
        const unsigned protocol = MYSQL_PROTOCOL_TCP;
        mysql_options(mysql, MYSQL_OPT_PROTOCOL, &protocol);
        break;
    }
    case ServerAddress::Kind::UnixSocket: {
        host = "localhost";
        socket = address->socketPath.toUtf8();
        const unsigned protocol = MYSQL_PROTOCOL_SOCKET;
        mysql_options(mysql, MYSQL_OPT_PROTOCOL, &protocol);
        break;
    }
    }

    if (!mysql_real_connect(mysql, host.constData(), user.constData(), password.constData(),
                            database.isEmpty() ? nullptr : database.constData(), port,
                            socket.isEmpty() ? nullptr : socket.constData(), 0)) {
        Result failure{false, mysql_errno(mysql), QString::fromUtf8(mysql_error(mysql))};
        mysql_close(mysql);
        return failure;
    }
    m_mysql = mysql;
    return {};
}

MariaDbConnection::Result MariaDbConnection::execute(const QByteArray &statement)
{
    if (!m_mysql)
        return {false, CR_SERVER_GONE_ERROR, QStringLiteral("Not connected to the database.")};
    if (mysql_real_query(m_mysql, statement.constData(), statement.size()) != 0)
        return lastError();
    // An INSERT has no result set; anything the server sends anyway is read
    // and dropped so that the connection stays usable.
    if (MYSQL_RES *result = mysql_store_result(m_mysql))
        mysql_free_result(result);
    return {};
}

MariaDbConnection::Result MariaDbConnection::lastError() const
{
    return {false, mysql_errno(m_mysql), QString::fromUtf8(mysql_error(m_mysql))};
}

QByteArray MariaDbConnection::escape(const QString &text) const
{
    const QByteArray utf8 = text.toUtf8();
    QByteArray escaped(utf8.size() * 2 + 1, Qt::Uninitialized);
    const unsigned long length =
        mysql_real_escape_string(m_mysql, escaped.data(), utf8.constData(), utf8.size());
    escaped.truncate(qsizetype(length));
    return escaped;
}
