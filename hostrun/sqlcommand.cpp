#include "sqlcommand.h"

#include "desktop.h"
#include "sqlpayload.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTextStream>
#include <QThread>

#include <cstdio>
#include <optional>

namespace hostrun {

namespace {

constexpr char PasswordVariable[] = "ORVALA_SQL_PASSWORD";

struct SqlOptions
{
    std::optional<SqlPayload::ConnectionSettings> settings; // sent when any option names one
    QString program;
    bool fromStdin = false;
    int rate = 0;      // tag values per second (generated); 0: none
    int alarmRate = 0; // alarms per second (generated)
    int tags = 100;    // distinct tag names
    double seconds = 0;
    int batch = 10; // tag values per message
    bool close = false;
    int timeoutSeconds = 30;
    qint32 versionMajor = 1;
    qint32 versionMinor = 0;
};

void out(const QString &line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

void err(const QString &line)
{
    std::fputs(qPrintable(QStringLiteral("hostrun sql: ") + line + QLatin1Char('\n')), stderr);
}

QString valueOf(const QStringList &arguments, int &i, bool *ok)
{
    if (i + 1 >= arguments.size()) {
        err(QStringLiteral("%1 needs a value").arg(arguments[i]));
        *ok = false;
        return QString();
    }
    return arguments[++i];
}

bool toInt(const QString &name, const QString &text, int minimum, int *value)
{
    bool ok = false;
    const int parsed = text.toInt(&ok);
    if (!ok || parsed < minimum) {
        err(QStringLiteral("%1: \"%2\" is not a whole number of at least %3")
                .arg(name, text)
                .arg(minimum));
        return false;
    }
    *value = parsed;
    return true;
}

std::optional<QString> readPassword(const QString &file)
{
    if (file.isEmpty())
        return qEnvironmentVariable(PasswordVariable);
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        err(QStringLiteral("cannot read the password file %1: %2").arg(file, f.errorString()));
        return std::nullopt;
    }
    // The first line; a trailing line break is not part of the password.
    QByteArray line = f.readLine();
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}

std::optional<SqlOptions> parse(const QStringList &arguments)
{
    SqlOptions options;
    SqlPayload::ConnectionSettings settings;
    bool anySetting = false;
    QString passwordFile;
    bool ok = true;
    for (int i = 0; i < arguments.size() && ok; ++i) {
        const QString &a = arguments[i];
        const auto setting = [&](QString &field) {
            field = valueOf(arguments, i, &ok);
            anySetting = true;
        };
        if (a == QLatin1StringView("--server"))
            setting(settings.server);
        else if (a == QLatin1StringView("--database"))
            setting(settings.database);
        else if (a == QLatin1StringView("--tag-table"))
            setting(settings.tagTable);
        else if (a == QLatin1StringView("--alarm-table"))
            setting(settings.alarmTable);
        else if (a == QLatin1StringView("--user"))
            setting(settings.user);
        else if (a == QLatin1StringView("--password-file"))
            passwordFile = valueOf(arguments, i, &ok);
        else if (a.startsWith(QLatin1StringView("--password"))) {
            err(QStringLiteral("the password is read from --password-file or %1, never from the "
                               "command line (where ps shows it)")
                    .arg(QLatin1StringView(PasswordVariable)));
            return std::nullopt;
        } else if (a == QLatin1StringView("--program"))
            options.program = valueOf(arguments, i, &ok);
        else if (a == QLatin1StringView("--stdin"))
            options.fromStdin = true;
        else if (a == QLatin1StringView("--close"))
            options.close = true;
        else if (a == QLatin1StringView("--rate"))
            ok = toInt(a, valueOf(arguments, i, &ok), 1, &options.rate);
        else if (a == QLatin1StringView("--alarm-rate"))
            ok = toInt(a, valueOf(arguments, i, &ok), 0, &options.alarmRate);
        else if (a == QLatin1StringView("--tags"))
            ok = toInt(a, valueOf(arguments, i, &ok), 1, &options.tags);
        else if (a == QLatin1StringView("--batch"))
            ok = toInt(a, valueOf(arguments, i, &ok), 1, &options.batch);
        else if (a == QLatin1StringView("--timeout"))
            ok = toInt(a, valueOf(arguments, i, &ok), 1, &options.timeoutSeconds);
        else if (a == QLatin1StringView("--seconds")) {
            const QString text = valueOf(arguments, i, &ok);
            options.seconds = text.toDouble(&ok);
            if (!ok || options.seconds <= 0) {
                err(QStringLiteral("--seconds: \"%1\" is not a positive number").arg(text));
                ok = false;
            }
        } else if (a == QLatin1StringView("--version-check")) {
            const QStringList parts = valueOf(arguments, i, &ok).split(QLatin1Char('.'));
            ok = ok && parts.size() == 2 && toInt(a, parts[0], 0, &options.versionMajor) &&
                 toInt(a, parts[1], 0, &options.versionMinor);
        } else {
            err(QStringLiteral("unknown option %1").arg(a));
            return std::nullopt;
        }
    }
    if (!ok)
        return std::nullopt;
    if ((options.rate > 0 || options.alarmRate > 0) != (options.seconds > 0)) {
        err(QStringLiteral("--rate (or --alarm-rate) and --seconds go together"));
        return std::nullopt;
    }
    if (options.fromStdin && options.seconds > 0) {
        err(QStringLiteral("--stdin and generated values (--rate) exclude each other"));
        return std::nullopt;
    }
    if (anySetting || !passwordFile.isEmpty()) {
        const std::optional<QString> password = readPassword(passwordFile);
        if (!password)
            return std::nullopt;
        settings.password = *password;
        options.settings = settings;
    }
    return options;
}

QString defaultBridgeProgram()
{
    const QString beside = QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                           QStringLiteral("/../sqlbridge/sqlbridge"));
    if (QFileInfo(beside).isExecutable())
        return beside;
    const QString sameFolder =
        QCoreApplication::applicationDirPath() + QStringLiteral("/sqlbridge");
    if (QFileInfo(sameFolder).isExecutable())
        return sameFolder;
    return QStandardPaths::findExecutable(QStringLiteral("sqlbridge"));
}

// The bridge's window, or the one of a bridge started here (which runs on by
// itself: it ends when asked to close, or with its session).
hostmsg::Handle findOrStartBridge(hostmsg::Desktop &desktop, const SqlOptions &options)
{
    const QString title = QString::fromLatin1(SqlPayload::WindowTitle);
    if (const hostmsg::Handle window = desktop.findWindow(title))
        return window;
    const QString program = options.program.isEmpty() ? defaultBridgeProgram() : options.program;
    if (program.isEmpty()) {
        err(QStringLiteral("no sqlbridge beside hostrun or on PATH; name it with --program"));
        return 0;
    }
    qint64 pid = 0;
    if (!QProcess::startDetached(program, {}, QString(), &pid)) {
        err(QStringLiteral("cannot start %1").arg(program));
        return 0;
    }
    out(QStringLiteral("started %1 (pid %2)").arg(program).arg(pid));
    const QDeadlineTimer deadline(std::chrono::seconds(options.timeoutSeconds));
    while (!deadline.hasExpired()) {
        if (const hostmsg::Handle window = desktop.findWindow(title))
            return window;
        QThread::msleep(50);
    }
    err(QStringLiteral("the window \"%1\" did not appear within %2 s")
            .arg(title)
            .arg(options.timeoutSeconds));
    return 0;
}

std::chrono::sys_seconds parseTime(const QJsonValue &value, bool *ok)
{
    *ok = true;
    if (value.isUndefined() || value.isNull())
        return std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    if (value.isDouble())
        return std::chrono::sys_seconds(std::chrono::seconds(qint64(value.toDouble())));
    const QDateTime time = QDateTime::fromString(value.toString(), Qt::ISODate);
    *ok = time.isValid();
    return std::chrono::sys_seconds(std::chrono::seconds(time.toSecsSinceEpoch()));
}

// One JSON object: a tag value ({"group","tag","value"} or {"group","tag",
// "text"}) or, with "kind":"alarm", an alarm ({"group","tag","value","event",
// "type","severity","user","comment"}); "time" is ISO 8601 or seconds since
// 1970, now when left out.
struct ParsedLine
{
    std::shared_ptr<CSqlTag> tag;
    std::shared_ptr<CSqlAlarm> alarm;
    QString error;
};

ParsedLine parseLine(const QByteArray &line)
{
    ParsedLine parsed;
    QJsonParseError jsonError;
    const QJsonDocument document = QJsonDocument::fromJson(line, &jsonError);
    if (!document.isObject()) {
        parsed.error = jsonError.error != QJsonParseError::NoError
                           ? jsonError.errorString()
                           : QStringLiteral("not an object");
        return parsed;
    }
    const QJsonObject object = document.object();
    bool timeOk = true;
    const std::chrono::sys_seconds time =
        parseTime(object.value(QLatin1StringView("time")), &timeOk);
    if (!timeOk) {
        parsed.error = QStringLiteral("\"time\" is neither ISO 8601 nor a number");
        return parsed;
    }
    const QString kind = object.value(QLatin1StringView("kind")).toString(QStringLiteral("tag"));
    const QString group = object.value(QLatin1StringView("group")).toString();
    const QString tag = object.value(QLatin1StringView("tag")).toString();
    if (tag.isEmpty()) {
        parsed.error = QStringLiteral("\"tag\" is missing");
        return parsed;
    }
    const auto code = [&](const char *name, int *value) {
        const QJsonValue v = object.value(QLatin1StringView(name));
        if (v.isUndefined())
            return true;
        if (!v.isDouble() || v.toDouble() < 0 || v.toDouble() > 255 ||
            v.toDouble() != double(v.toInt())) {
            parsed.error =
                QStringLiteral("\"%1\" is not a number from 0 to 255").arg(QLatin1StringView(name));
            return false;
        }
        *value = v.toInt();
        return true;
    };
    if (kind == QLatin1StringView("alarm")) {
        auto alarm = std::make_shared<CSqlAlarm>();
        int event = 0, type = 0, severity = 0;
        if (!code("event", &event) || !code("type", &type) || !code("severity", &severity))
            return parsed;
        alarm->eventCode = quint8(event);
        alarm->alarmType = quint8(type);
        alarm->severity = quint8(severity);
        alarm->value = object.value(QLatin1StringView("value")).toDouble();
        alarm->time = time;
        alarm->groupName = group;
        alarm->tagName = tag;
        alarm->user = object.value(QLatin1StringView("user")).toString();
        alarm->comment = object.value(QLatin1StringView("comment")).toString();
        parsed.alarm = alarm;
    } else if (kind == QLatin1StringView("tag")) {
        auto value = std::make_shared<CSqlTag>();
        value->time = time;
        value->groupName = group;
        value->tagName = tag;
        if (object.contains(QLatin1StringView("text"))) {
            value->valueKind = CSqlTag::TextValueKind;
            value->textValue = object.value(QLatin1StringView("text")).toString();
        } else if (object.value(QLatin1StringView("value")).isDouble()) {
            value->numericValue = object.value(QLatin1StringView("value")).toDouble();
        } else {
            parsed.error = QStringLiteral("a tag value needs a numeric \"value\" or a \"text\"");
            return parsed;
        }
        parsed.tag = value;
    } else {
        parsed.error = QStringLiteral("\"kind\" is neither \"tag\" nor \"alarm\"");
    }
    return parsed;
}

class SqlSession
{
public:
    SqlSession(hostmsg::Desktop &desktop, hostmsg::Handle window, const SqlOptions &options)
        : m_desktop(desktop), m_window(window), m_options(options)
    {}

    bool failed() const { return m_failed; }

    qint64 send(quint64 code, const QByteArray &payload)
    {
        const qint64 result =
            m_desktop.sendMessage(m_window, hostmsg::WM_COPYDATA, 0, 0, code, payload);
        if (result != 1)
            m_failed = true;
        return result;
    }

    void sendVersionAndSettings()
    {
        const qint64 version =
            send(SqlPayload::VersionCode,
                 SqlPayload::encodeVersion({m_options.versionMajor, m_options.versionMinor}));
        out(QStringLiteral("version %1.%2 %3")
                .arg(m_options.versionMajor)
                .arg(m_options.versionMinor)
                .arg(version));
        if (m_options.settings) {
            const qint64 result =
                send(SqlPayload::SettingsCode, SqlPayload::encodeSettings(*m_options.settings));
            // The password stays out of the output.
            out(QStringLiteral("settings server=%1 database=%2 %3")
                    .arg(m_options.settings->server, m_options.settings->database)
                    .arg(result));
        }
    }

    void sendStdin()
    {
        QFile input;
        if (!input.open(stdin, QIODevice::ReadOnly)) {
            err(QStringLiteral("cannot read standard input"));
            m_failed = true;
            return;
        }
        int lineNumber = 0;
        while (true) {
            QByteArray line = input.readLine();
            if (line.isEmpty())
                break;
            ++lineNumber;
            line = line.trimmed();
            if (line.isEmpty())
                continue;
            const ParsedLine parsed = parseLine(line);
            if (!parsed.error.isEmpty()) {
                err(QStringLiteral("line %1: %2; not sent").arg(lineNumber).arg(parsed.error));
                m_failed = true;
                continue;
            }
            if (parsed.tag) {
                const qint64 result =
                    send(SqlPayload::TagValuesCode, SqlPayload::encodeTagValues({parsed.tag}));
                out(QStringLiteral("%1 tag %2 %3")
                        .arg(lineNumber)
                        .arg(parsed.tag->tagName)
                        .arg(result));
            } else {
                const qint64 result =
                    send(SqlPayload::AlarmsCode, SqlPayload::encodeAlarms({parsed.alarm}));
                out(QStringLiteral("%1 alarm %2 %3")
                        .arg(lineNumber)
                        .arg(parsed.alarm->tagName)
                        .arg(result));
            }
        }
    }

    // Tag values (and alarms) at the given rates, in messages of --batch tag
    // values and of up to ten alarms, for --seconds.
    void sendGenerated()
    {
        QElapsedTimer clock;
        clock.start();
        const qint64 durationMs = qint64(m_options.seconds * 1000);
        qint64 tagsSent = 0, tagsTaken = 0, alarmsSent = 0, alarmsTaken = 0, messages = 0;
        int nextTag = 0;
        while (clock.elapsed() < durationMs) {
            const double elapsed = double(clock.elapsed()) / 1000.0;
            const qint64 tagsDue = qint64(elapsed * m_options.rate);
            const qint64 alarmsDue = qint64(elapsed * m_options.alarmRate);
            bool sentSomething = false;
            if (tagsDue - tagsSent >= m_options.batch ||
                (tagsDue > tagsSent && m_options.rate < m_options.batch)) {
                const int count = int(std::min<qint64>(m_options.batch, tagsDue - tagsSent));
                SqlTagList tags;
                const auto now =
                    std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
                for (int i = 0; i < count; ++i) {
                    auto tag = std::make_shared<CSqlTag>();
                    tag->time = now;
                    tag->groupName = QStringLiteral("Gen");
                    tag->tagName = QStringLiteral("T%1").arg(nextTag % m_options.tags, 4, 10,
                                                             QLatin1Char('0'));
                    tag->numericValue = double(tagsSent + i) / 4.0;
                    ++nextTag;
                    tags.push_back(tag);
                }
                const qint64 result =
                    send(SqlPayload::TagValuesCode, SqlPayload::encodeTagValues(tags));
                out(QStringLiteral("tags %1 %2").arg(count).arg(result));
                tagsSent += count;
                tagsTaken += result == 1 ? count : 0;
                ++messages;
                sentSomething = true;
            }
            if (alarmsDue > alarmsSent) {
                const int count = int(std::min<qint64>(10, alarmsDue - alarmsSent));
                SqlAlarmList alarms;
                for (int i = 0; i < count; ++i) {
                    auto alarm = std::make_shared<CSqlAlarm>();
                    alarm->time =
                        std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
                    alarm->eventCode = quint8((alarmsSent + i) % 4);
                    alarm->alarmType = quint8((alarmsSent + i) % 7);
                    alarm->severity = 5;
                    alarm->value = double(alarmsSent + i);
                    alarm->groupName = QStringLiteral("Gen");
                    alarm->tagName = QStringLiteral("A%1").arg((alarmsSent + i) % m_options.tags);
                    alarm->user = QStringLiteral("hostrun");
                    alarms.push_back(alarm);
                }
                const qint64 result =
                    send(SqlPayload::AlarmsCode, SqlPayload::encodeAlarms(alarms));
                out(QStringLiteral("alarms %1 %2").arg(count).arg(result));
                alarmsSent += count;
                alarmsTaken += result == 1 ? count : 0;
                ++messages;
                sentSomething = true;
            }
            if (!sentSomething)
                QThread::usleep(500);
        }
        out(QStringLiteral("sent %1 tag values (%2 taken) and %3 alarms (%4 taken) in %5 "
                           "messages over %6 s")
                .arg(tagsSent)
                .arg(tagsTaken)
                .arg(alarmsSent)
                .arg(alarmsTaken)
                .arg(messages)
                .arg(double(clock.elapsed()) / 1000.0, 0, 'f', 2));
    }

    // The close-when-drained request; waits for the window to go.
    void close()
    {
        if (!m_desktop.postMessage(m_window, SqlPayload::CloseWhenDrainedMessage)) {
            err(QStringLiteral("the bridge did not take the close request"));
            m_failed = true;
            return;
        }
        out(QStringLiteral("close requested"));
        const QString title = QString::fromLatin1(SqlPayload::WindowTitle);
        const QDeadlineTimer deadline(std::chrono::seconds(m_options.timeoutSeconds));
        while (!deadline.hasExpired()) {
            if (m_desktop.findWindow(title) != m_window) {
                out(QStringLiteral("closed"));
                return;
            }
            QThread::msleep(100);
        }
        err(QStringLiteral("the bridge has not closed within %1 s").arg(m_options.timeoutSeconds));
        m_failed = true;
    }

private:
    hostmsg::Desktop &m_desktop;
    hostmsg::Handle m_window;
    const SqlOptions &m_options;
    bool m_failed = false;
};

} // namespace

int runSqlCommand(const QStringList &arguments)
{
    if (arguments.contains(QStringLiteral("--help")) || arguments.contains(QStringLiteral("-h"))) {
        std::fputs(qPrintable(QStringLiteral("Usage:\n") + sqlUsageText()), stdout);
        return 0;
    }
    const std::optional<SqlOptions> options = parse(arguments);
    if (!options)
        return 2;
    hostmsg::Desktop desktop;
    if (!desktop.open()) {
        err(desktop.errorString());
        return 1;
    }
    const hostmsg::Handle window = findOrStartBridge(desktop, *options);
    if (!window)
        return 1;
    SqlSession session(desktop, window, *options);
    session.sendVersionAndSettings();
    if (options->fromStdin)
        session.sendStdin();
    else if (options->seconds > 0)
        session.sendGenerated();
    if (options->close)
        session.close();
    return session.failed() ? 1 : 0;
}

QString sqlUsageText()
{
    return QStringLiteral(
        "  hostrun sql [--server S] [--database D] [--tag-table T] [--alarm-table A]\n"
        "              [--user U] [--password-file FILE] [--program PATH]\n"
        "              [--stdin | --rate N [--alarm-rate N] [--tags M] [--batch K] --seconds S]\n"
        "              [--close] [--version-check MAJOR.MINOR] [--timeout SECONDS]\n"
        "      Plays the host runtime for the SQL bridge: finds its window, or starts\n"
        "      PATH (default: the sqlbridge beside hostrun, else on PATH); sends the\n"
        "      version (code 400, 1.0) and, when any connection option is given, the\n"
        "      settings (code 300; the password from FILE's first line, else from\n"
        "      $ORVALA_SQL_PASSWORD, never from the command line). Then sends one message\n"
        "      per line of standard input, each a JSON object:\n"
        "        {\"group\":\"G\",\"tag\":\"T\",\"value\":1.5} or {...,\"text\":\"on\"}\n"
        "        {\"kind\":\"alarm\",\"group\":\"G\",\"tag\":\"T\",\"value\":1.5,\"event\":0,\n"
        "         \"type\":4,\"severity\":3,\"user\":\"u\",\"comment\":\"c\"}\n"
        "      with an optional \"time\" (ISO 8601 or seconds since 1970; default now),\n"
        "      or generates N tag values (and alarms) a second over M tag names, K per\n"
        "      message, for S seconds. Prints each answer (1 taken, 0 refused).\n"
        "      --close asks the bridge to close once everything is written and waits\n"
        "      for it. Fails when any message was refused.\n");
}

} // namespace hostrun
