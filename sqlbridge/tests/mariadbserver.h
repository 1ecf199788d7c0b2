#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

// A MariaDB server of its own for a test or a benchmark: a data folder under
// `folder` (copied from a template made once per build tree with
// mariadb-install-db), its own Unix socket, and a free port on 127.0.0.1.
// Started with --no-defaults, so no option file of the machine applies; stopped
// by process id.
class MariaDbServer
{
public:
    explicit MariaDbServer(QString folder);
    ~MariaDbServer();

    // False with errorString() when the server did not come up.
    bool start();
    // SIGTERM, and waits for the server to end.
    void stop();
    // SIGKILL: the server dies mid-statement, as in a crash.
    void kill();
    // Starts again on the same port and data folder.
    bool restart() { return start(); }
    bool isRunning() const;

    QString errorString() const { return m_error; }
    quint16 port() const { return m_port; }
    QString socketPath() const { return m_folder + QStringLiteral("/mysqld.sock"); }
    QString tcpAddress() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }

    // Root's statements over the socket. Rows as text; NULL as a null QString.
    // Nothing when the statement fails (with errorString()).
    std::optional<QList<QStringList>> query(const QByteArray &statement,
                                            const QString &database = QString());
    bool execute(const QByteArray &statement, const QString &database = QString());

    // A fresh database with the bridge's tables (sqlbridge/schema.sql).
    bool createDatabase(const QString &name);
    // The schema file of the source tree.
    static QString schemaPath();

private:
    bool ensureTemplate(QString *templateDir);
    static std::optional<quint16> freePort();

    QString m_folder;
    QString m_error;
    quint16 m_port = 0;
    std::unique_ptr<QProcess> m_process;
};
