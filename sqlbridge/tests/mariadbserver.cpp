#include "mariadbserver.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QTcpServer>
#include <QThread>

#include <mysql.h>

#include <csignal>
#include <unistd.h>

#ifndef ORVALA_SOURCE_DIR
#error "ORVALA_SOURCE_DIR must name the source tree"
#endif

namespace {

QString templateFolder()
{
    QString base = qEnvironmentVariable("ORVALA_TEST_BINARY_DIR");
    if (base.isEmpty())
        base = QDir::tempPath() + QStringLiteral("/orvala-%1").arg(getuid());
    return base + QStringLiteral("/mariadb-template");
}

bool copyFolder(const QString &from, const QString &to)
{
    QProcess copy;
    copy.start(QStringLiteral("cp"), {QStringLiteral("-a"), from, to});
    return copy.waitForFinished(60000) && copy.exitStatus() == QProcess::NormalExit &&
           copy.exitCode() == 0;
}

} // namespace

MariaDbServer::MariaDbServer(QString folder) : m_folder(std::move(folder))
{
    QDir().mkpath(m_folder);
}

MariaDbServer::~MariaDbServer()
{
    stop();
}

QString MariaDbServer::schemaPath()
{
    return QStringLiteral(ORVALA_SOURCE_DIR "/sqlbridge/schema.sql");
}

bool MariaDbServer::ensureTemplate(QString *templateDir)
{
    *templateDir = templateFolder();
    QDir().mkpath(QFileInfo(*templateDir).absolutePath());
    // Test processes run in parallel: the first makes the template, the
    // others wait for it.
    QLockFile lock(*templateDir + QStringLiteral(".lock"));
    lock.setStaleLockTime(0);
    if (!lock.tryLock(180000)) {
        m_error = QStringLiteral("cannot lock %1").arg(lock.fileName());
        return false;
    }
    if (QFile::exists(*templateDir + QStringLiteral("/mysql")))
        return true;
    const QString partial = *templateDir + QStringLiteral(".partial");
    QDir(partial).removeRecursively();
    QStringList arguments{QStringLiteral("--no-defaults"),
                          QStringLiteral("--auth-root-authentication-method=normal"),
                          QStringLiteral("--datadir=") + partial, QStringLiteral("--skip-test-db"),
                          QStringLiteral("--innodb-log-file-size=4M")};
    if (geteuid() == 0)
        arguments << QStringLiteral("--user=root");
    QProcess install;
    install.setProcessChannelMode(QProcess::MergedChannels);
    install.start(QStringLiteral("mariadb-install-db"), arguments);
    if (!install.waitForFinished(120000) || install.exitCode() != 0) {
        m_error = QStringLiteral("mariadb-install-db failed: %1")
                      .arg(QString::fromLocal8Bit(install.readAll()));
        return false;
    }
    if (!QDir().rename(partial, *templateDir)) {
        m_error = QStringLiteral("cannot rename %1").arg(partial);
        return false;
    }
    return true;
}

std::optional<quint16> MariaDbServer::freePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress(QHostAddress::LocalHost), 0))
        return std::nullopt;
    return probe.serverPort();
}

bool MariaDbServer::start()
{
    if (isRunning())
        return true;
    const QString dataDir = m_folder + QStringLiteral("/data");
    if (!QFile::exists(dataDir + QStringLiteral("/mysql"))) {
        QString templateDir;
        if (!ensureTemplate(&templateDir) || !copyFolder(templateDir, dataDir)) {
            if (m_error.isEmpty())
                m_error = QStringLiteral("cannot copy the data folder template");
            return false;
        }
    }
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (m_port == 0 || attempt > 0) {
            const std::optional<quint16> port = freePort();
            if (!port) {
                m_error = QStringLiteral("no free port");
                return false;
            }
            m_port = *port;
        }
        QStringList arguments{
            QStringLiteral("--no-defaults"),
            QStringLiteral("--datadir=") + dataDir,
            QStringLiteral("--socket=") + socketPath(),
            QStringLiteral("--pid-file=") + m_folder + QStringLiteral("/mysqld.pid"),
            QStringLiteral("--log-error=") + m_folder + QStringLiteral("/error.log"),
            QStringLiteral("--skip-networking=0"),
            QStringLiteral("--bind-address=127.0.0.1"),
            QStringLiteral("--port=%1").arg(m_port),
            QStringLiteral("--skip-name-resolve"),
            QStringLiteral("--skip-log-bin"),
            QStringLiteral("--performance-schema=OFF"),
            QStringLiteral("--open-files-limit=1024"),
            QStringLiteral("--innodb-buffer-pool-size=32M"),
            QStringLiteral("--innodb-log-file-size=4M")};
        if (geteuid() == 0)
            arguments << QStringLiteral("--user=root");
        m_process = std::make_unique<QProcess>();
        m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process->start(QStringLiteral("mariadbd"), arguments);
        if (!m_process->waitForStarted(30000)) {
            m_error = QStringLiteral("mariadbd did not start: %1").arg(m_process->errorString());
            return false;
        }
        const QDeadlineTimer deadline(120000);
        while (!deadline.hasExpired() && m_process->state() == QProcess::Running) {
            if (query("SELECT 1"))
                return true;
            m_process->waitForFinished(200);
        }
        if (m_process->state() == QProcess::Running) {
            m_error = QStringLiteral("mariadbd did not answer in time");
            kill();
            return false;
        }
        // Ended at once: most likely the port was taken meanwhile. Again,
        // on another port.
        QFile log(m_folder + QStringLiteral("/error.log"));
        log.open(QIODevice::ReadOnly);
        m_error =
            QStringLiteral("mariadbd ended: %1").arg(QString::fromUtf8(log.readAll().right(2000)));
    }
    return false;
}

bool MariaDbServer::isRunning() const
{
    return m_process && m_process->state() == QProcess::Running;
}

void MariaDbServer::stop()
{
    if (!isRunning())
        return;
    ::kill(pid_t(m_process->processId()), SIGTERM);
    if (!m_process->waitForFinished(60000)) {
        ::kill(pid_t(m_process->processId()), SIGKILL);
        m_process->waitForFinished(10000);
    }
}

void MariaDbServer::kill()
{
    if (!isRunning())
        return;
    ::kill(pid_t(m_process->processId()), SIGKILL);
    m_process->waitForFinished(30000);
}

std::optional<QList<QStringList>> MariaDbServer::query(const QByteArray &statement,
                                                       const QString &database)
{
    MYSQL *mysql = mysql_init(nullptr);
    const unsigned timeout = 10;
    mysql_options(mysql, MYSQL_OPT_CONNECT_TIMEOUT, &timeout);
    mysql_options(mysql, MYSQL_OPT_READ_TIMEOUT, &timeout);
    mysql_options(mysql, MYSQL_SET_CHARSET_NAME, "utf8mb4");
    const QByteArray socket = socketPath().toUtf8();
    const QByteArray db = database.toUtf8();
    if (!mysql_real_connect(mysql, "localhost", "root", "", db.isEmpty() ? nullptr : db.constData(),
                            0, socket.constData(), CLIENT_MULTI_STATEMENTS)) {
        m_error = QString::fromUtf8(mysql_error(mysql));
        mysql_close(mysql);
        return std::nullopt;
    }
    QList<QStringList> rows;
    bool ok = mysql_real_query(mysql, statement.constData(), statement.size()) == 0;
    while (ok) {
        if (MYSQL_RES *result = mysql_store_result(mysql)) {
            const unsigned columns = mysql_num_fields(result);
            while (MYSQL_ROW row = mysql_fetch_row(result)) {
                const unsigned long *lengths = mysql_fetch_lengths(result);
                QStringList values;
                for (unsigned c = 0; c < columns; ++c)
                    values << (row[c] ? QString::fromUtf8(row[c], qsizetype(lengths[c]))
                                      : QString());
                rows << values;
            }
            mysql_free_result(result);
        }
        const int next = mysql_next_result(mysql);
        if (next > 0)
            ok = false;
        if (next != 0)
            break;
    }
    if (!ok)
        m_error = QString::fromUtf8(mysql_error(mysql));
    mysql_close(mysql);
    return ok ? std::optional(rows) : std::nullopt;
}

bool MariaDbServer::execute(const QByteArray &statement, const QString &database)
{
    return query(statement, database).has_value();
}

bool MariaDbServer::createDatabase(const QString &name)
{
    QFile schema(schemaPath());
    if (!schema.open(QIODevice::ReadOnly)) {
        m_error = QStringLiteral("cannot read %1").arg(schemaPath());
        return false;
    }
    if (!execute("CREATE DATABASE `" + name.toUtf8() + "` CHARACTER SET utf8mb4"))
        return false;
    return execute(schema.readAll(), name);
}
