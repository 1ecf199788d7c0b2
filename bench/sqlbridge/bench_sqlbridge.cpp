// Rows per second into MariaDB: hostrun sql sends generated tag values (50
// per message) and alarms (10 per message) to a real sqlbridge, which writes
// them into a MariaDB server started here; then the mariadb command-line
// client executes the same INSERT statements (50-row and 10-row batches) on
// the same server. Last line: the ratio sqlbridge/CLI.
//
//   bench_sqlbridge [SECONDS]   (default 5)
#include "mariadbserver.h"
#include "statementbuilder.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

namespace {

QString built(const QString &relative)
{
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QStringLiteral("/../../") +
                           relative);
}

qint64 countRows(MariaDbServer &server, const QString &database, const char *table)
{
    const auto rows = server.query(QByteArray("SELECT COUNT(*) FROM ") + table, database);
    return rows && !rows->isEmpty() ? rows->first().value(0).toLongLong() : -1;
}

void fail(const QString &why)
{
    std::fprintf(stderr, "bench_sqlbridge: %s\n", qPrintable(why));
    std::exit(1);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString seconds = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("5");

    QTemporaryDir root(QDir::tempPath() + QStringLiteral("/bench-sqlbridge-XXXXXX"));
    // A private home: the bridge's window folder and data folder stay here.
    for (const char *variable :
         {"ORVALA_RUNTIME_DIR", "XDG_RUNTIME_DIR", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "HOME"}) {
        const QString path = root.filePath(QString::fromLatin1(variable));
        QDir().mkpath(path);
        QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                        QFileDevice::ExeOwner);
        qputenv(variable, QFile::encodeName(path));
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("ORVALA_UNATTENDED", "1");

    MariaDbServer server(root.filePath(QStringLiteral("mariadb")));
    if (!server.start())
        fail(server.errorString());
    if (!server.createDatabase(QStringLiteral("bridge")) ||
        !server.createDatabase(QStringLiteral("cli")))
        fail(server.errorString());

    // The bridge: as many rows as it takes, for SECONDS, then closed when
    // drained, so that the time covers every row being in the tables.
    QProcess hostrun;
    hostrun.setStandardOutputFile(root.filePath(QStringLiteral("hostrun.out")));
    hostrun.setStandardErrorFile(root.filePath(QStringLiteral("hostrun.err")));
    QElapsedTimer clock;
    clock.start();
    hostrun.start(built(QStringLiteral("hostrun/hostrun")),
                  {QStringLiteral("sql"),
                   QStringLiteral("--program"),
                   built(QStringLiteral("sqlbridge/sqlbridge")),
                   QStringLiteral("--server"),
                   server.tcpAddress(),
                   QStringLiteral("--database"),
                   QStringLiteral("bridge"),
                   QStringLiteral("--tag-table"),
                   QStringLiteral("tagvalues"),
                   QStringLiteral("--alarm-table"),
                   QStringLiteral("alarms"),
                   QStringLiteral("--user"),
                   QStringLiteral("root"),
                   QStringLiteral("--rate"),
                   QStringLiteral("40000"),
                   QStringLiteral("--alarm-rate"),
                   QStringLiteral("4000"),
                   QStringLiteral("--batch"),
                   QStringLiteral("50"),
                   QStringLiteral("--seconds"),
                   seconds,
                   QStringLiteral("--close"),
                   QStringLiteral("--timeout"),
                   QStringLiteral("300")});
    if (!hostrun.waitForFinished(600000))
        fail(QStringLiteral("hostrun sql did not end"));
    const double bridgeSeconds = double(clock.nsecsElapsed()) / 1e9;
    const qint64 bridgeTags = countRows(server, QStringLiteral("bridge"), "tagvalues");
    const qint64 bridgeAlarms = countRows(server, QStringLiteral("bridge"), "alarms");
    QFile summary(root.filePath(QStringLiteral("hostrun.out")));
    summary.open(QIODevice::ReadOnly);
    QByteArray sentLine;
    for (const QByteArray &line : summary.readAll().split('\n')) {
        if (line.startsWith("sent "))
            sentLine = line;
    }

    // The client: the same rows as 50-row and 10-row statements in one file.
    const auto fixedTime = std::chrono::sys_seconds(std::chrono::seconds(1765000000));
    const StatementBuilder builder(
        {QString(), QStringLiteral("tagvalues"), QStringLiteral("alarms")},
        &StatementBuilder::escapeWithoutConnection);
    QByteArray script = "SET NAMES utf8mb4;\n";
    SqlTagList tags;
    for (qint64 i = 0; i < bridgeTags; ++i) {
        auto tag = std::make_shared<CSqlTag>();
        tag->time = fixedTime;
        tag->groupName = QStringLiteral("Gen");
        tag->tagName = QStringLiteral("T%1").arg(i % 100, 4, 10, QLatin1Char('0'));
        tag->numericValue = double(i) / 4.0;
        tags.push_back(tag);
    }
    SqlAlarmList alarms;
    for (qint64 i = 0; i < bridgeAlarms; ++i) {
        auto alarm = std::make_shared<CSqlAlarm>();
        alarm->time = fixedTime;
        alarm->eventCode = quint8(i % 4);
        alarm->alarmType = quint8(i % 7);
        alarm->severity = 5;
        alarm->value = double(i);
        alarm->groupName = QStringLiteral("Gen");
        alarm->tagName = QStringLiteral("A%1").arg(i % 100);
        alarm->user = QStringLiteral("hostrun");
        alarms.push_back(alarm);
    }
    // Interleaved as a pass writes them: one tag statement, one alarm statement.
    std::size_t t = 0, a = 0;
    while (t < tags.size() || a < alarms.size()) {
        if (t < tags.size()) {
            const std::size_t n = std::min<std::size_t>(50, tags.size() - t);
            script += builder.tagStatement(tags, t, n) + '\n';
            t += n;
        }
        if (a < alarms.size()) {
            const std::size_t n = std::min<std::size_t>(10, alarms.size() - a);
            script += builder.alarmStatement(alarms, a, n) + '\n';
            a += n;
        }
    }
    const QString scriptPath = root.filePath(QStringLiteral("cli.sql"));
    QFile scriptFile(scriptPath);
    if (!scriptFile.open(QIODevice::WriteOnly) || scriptFile.write(script) != script.size())
        fail(QStringLiteral("cannot write %1").arg(scriptPath));
    scriptFile.close();

    QProcess client;
    client.setStandardInputFile(scriptPath);
    clock.restart();
    client.start(QStringLiteral("mariadb"),
                 {QStringLiteral("--no-defaults"), QStringLiteral("--protocol=tcp"),
                  QStringLiteral("--host=127.0.0.1"),
                  QStringLiteral("--port=%1").arg(server.port()), QStringLiteral("--user=root"),
                  QStringLiteral("cli")});
    if (!client.waitForFinished(600000) || client.exitCode() != 0)
        fail(QStringLiteral("mariadb failed: %1")
                 .arg(QString::fromLocal8Bit(client.readAllStandardError())));
    const double cliSeconds = double(clock.nsecsElapsed()) / 1e9;
    const qint64 cliRows = countRows(server, QStringLiteral("cli"), "tagvalues") +
                           countRows(server, QStringLiteral("cli"), "alarms");
    server.stop();

    const qint64 bridgeRows = bridgeTags + bridgeAlarms;
    const double bridgeRate = double(bridgeRows) / bridgeSeconds;
    const double cliRate = double(cliRows) / cliSeconds;
    std::printf("hostrun: %s\n", sentLine.constData());
    std::printf("sqlbridge: %lld rows (%lld tag values, %lld alarms) in the tables in %.2f s, "
                "from the first message to the bridge closed when drained: %.0f rows/s\n",
                bridgeRows, bridgeTags, bridgeAlarms, bridgeSeconds, bridgeRate);
    std::printf("mariadb client: %lld rows as the same 50-row and 10-row INSERTs over TCP in "
                "%.2f s: %.0f rows/s\n",
                cliRows, cliSeconds, cliRate);
    std::printf("ratio sqlbridge/CLI: %.2f\n", bridgeRate / cliRate);
    return 0;
}
