#pragma once

#include "sqlpayload.h"

#include <QByteArray>
#include <QString>

#include <chrono>

struct st_mysql;

// One connection to the database server through MariaDB Connector/C, open for
// the length of one writer pass. Every operation is bounded by the timeouts,
// so a dead server never holds a pass for ever.
class MariaDbConnection
{
public:
    struct Timeouts
    {
        std::chrono::seconds connect{5};
        std::chrono::seconds read{10};
        std::chrono::seconds write{10};
    };

    struct Result
    {
        bool ok = true;
        unsigned errorNumber = 0;
        QString errorText;

        // Client error numbers (2000 and up) mean the statement may never
        // have reached the server, or its answer never came back: the
        // connection is gone. Below 2000 the server refused it.
        bool connectionLost() const { return !ok && errorNumber >= 2000; }
    };

    MariaDbConnection() = default;
    MariaDbConnection(const MariaDbConnection &) = delete;
    MariaDbConnection &operator=(const MariaDbConnection &) = delete;
    ~MariaDbConnection();

    // Connects with `DbName` as the default database and utf8mb4; an unknown
    // database is a failed connection. The password is handed to the client
    // library only.
    Result open(const SqlPayload::ConnectionSettings &settings, const Timeouts &timeouts);
    bool isOpen() const { return m_mysql != nullptr; }
    void close();

    Result execute(const QByteArray &statement);

    // The text as a string literal's inside for this connection's character
    // set and SQL mode.
    QByteArray escape(const QString &text) const;

    // Once per process, before any thread uses the client library.
    static void initializeLibrary();

private:
    Result lastError() const;

    st_mysql *m_mysql = nullptr;
};
