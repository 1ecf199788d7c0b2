#include "commandline.h"

#include <QRegularExpression>

#include <cmath>
#include <limits>

namespace hostrun {

namespace {

struct Syntax
{
    Verb verb;
    const char *name;
    QStringList positionals;
    QStringList options;    // each takes a value
    QStringList flags = {}; // take none
};

const Syntax *findSyntax(const QString &name)
{
    static const Syntax syntaxes[] = {
        {Verb::Find, "find", {QStringLiteral("TITLE")}, {}},
        {Verb::Send,
         "send",
         {QStringLiteral("TITLE"), QStringLiteral("MSG")},
         {QStringLiteral("--code"), QStringLiteral("--wparam"), QStringLiteral("--payload"),
          QStringLiteral("--timeout")}},
        {Verb::Post,
         "post",
         {QStringLiteral("TITLE"), QStringLiteral("MSG")},
         {QStringLiteral("--wparam")}},
        {Verb::Listen,
         "listen",
         {QStringLiteral("TITLE")},
         {QStringLiteral("--reply"), QStringLiteral("--hold"), QStringLiteral("--count")}},
        {Verb::Driver,
         "driver",
         {},
         {QStringLiteral("--items"), QStringLiteral("--items-file"), QStringLiteral("--program"),
          QStringLiteral("--write"), QStringLiteral("--duration"), QStringLiteral("--count"),
          QStringLiteral("--timeout")},
         {QStringLiteral("--json"), QStringLiteral("--stdin-writes"), QStringLiteral("--stop")}},
    };
    for (const Syntax &syntax : syntaxes) {
        if (name == QLatin1StringView(syntax.name))
            return &syntax;
    }
    return nullptr;
}

// Decimal, or hexadecimal after "0x". No octal: "010" is ten.
std::optional<quint64> parseUnsigned(const QString &text)
{
    const bool hex = text.startsWith(QLatin1StringView("0x"), Qt::CaseInsensitive);
    const QString digits = hex ? text.mid(2) : text;
    if (digits.isEmpty() || digits.startsWith(QLatin1Char('+')) ||
        digits.startsWith(QLatin1Char('-')))
        return std::nullopt;
    bool ok = false;
    const quint64 value = digits.toULongLong(&ok, hex ? 16 : 10);
    return ok ? std::optional<quint64>(value) : std::nullopt;
}

std::optional<qint64> parseSigned(const QString &text)
{
    const bool negative = text.startsWith(QLatin1Char('-'));
    const std::optional<quint64> magnitude = parseUnsigned(negative ? text.mid(1) : text);
    constexpr quint64 largest = quint64(std::numeric_limits<qint64>::max());
    if (!magnitude || *magnitude > largest + (negative ? 1 : 0))
        return std::nullopt;
    return negative ? qint64(0 - *magnitude) : qint64(*magnitude);
}

template<typename T>
bool convert(const QString &name, const QString &text, T maximum, T *value, QString *errorString)
{
    const std::optional<quint64> parsed = parseUnsigned(text);
    if (!parsed || *parsed > quint64(maximum)) {
        *errorString =
            QStringLiteral("%1: \"%2\" is not a number from 0 to %3").arg(name, text).arg(maximum);
        return false;
    }
    *value = T(*parsed);
    return true;
}

bool convertMilliseconds(const QString &name, const QString &text, std::chrono::milliseconds *value,
                         QString *errorString)
{
    int milliseconds = 0;
    if (!convert(name, text, std::numeric_limits<int>::max(), &milliseconds, errorString))
        return false;
    *value = std::chrono::milliseconds(milliseconds);
    return true;
}

// Seconds with an optional fraction ("2", "0.5"), above 0.
bool convertSeconds(const QString &name, const QString &text, std::chrono::milliseconds *value,
                    QString *errorString)
{
    static const QRegularExpression form(QStringLiteral("^[0-9]+(\\.[0-9]+)?$"));
    const double seconds = form.match(text).hasMatch() ? text.toDouble() : 0.0;
    const double milliseconds = std::round(seconds * 1000.0);
    if (milliseconds < 1.0 || milliseconds > double(std::numeric_limits<int>::max())) {
        *errorString = QStringLiteral("%1: \"%2\" is not a number of seconds from 0.001 to %3")
                           .arg(name, text)
                           .arg(std::numeric_limits<int>::max() / 1000);
        return false;
    }
    *value = std::chrono::milliseconds(qint64(milliseconds));
    return true;
}

bool applyDriverOption(const QString &name, const QString &value, Command *command,
                       QString *errorString)
{
    DriverOptions &driver = command->driver;
    if (name == QLatin1StringView("--items")) {
        const QStringList names = value.split(QLatin1Char(','));
        for (const QString &item : names) {
            if (item.trimmed().isEmpty()) {
                *errorString = QStringLiteral("--items: \"%1\" holds an empty name").arg(value);
                return false;
            }
            driver.items.append(item.trimmed());
        }
        return true;
    }
    if (name == QLatin1StringView("--items-file")) {
        driver.itemsFile = value;
        return true;
    }
    if (name == QLatin1StringView("--program")) {
        driver.program = value;
        return true;
    }
    if (name == QLatin1StringView("--write")) {
        const ParsedWrite parsed = parseItemWrite(value);
        if (!parsed.write) {
            *errorString = QStringLiteral("--write: %1").arg(parsed.errorString);
            return false;
        }
        driver.writes.append(*parsed.write);
        return true;
    }
    if (name == QLatin1StringView("--duration")) {
        std::chrono::milliseconds duration{};
        if (!convertSeconds(name, value, &duration, errorString))
            return false;
        driver.duration = duration;
        return true;
    }
    if (name == QLatin1StringView("--timeout"))
        return convertSeconds(name, value, &command->timeout, errorString);
    if (name == QLatin1StringView("--count"))
        return convert(name, value, std::numeric_limits<int>::max(), &command->count, errorString);
    *errorString = QStringLiteral("unknown option %1").arg(name);
    return false;
}

void applyFlag(const QString &name, Command *command)
{
    if (name == QLatin1StringView("--json"))
        command->driver.json = true;
    else if (name == QLatin1StringView("--stdin-writes"))
        command->driver.stdinWrites = true;
    else if (name == QLatin1StringView("--stop"))
        command->driver.stop = true;
}

bool applyOption(const QString &name, const QString &value, Command *command, QString *errorString)
{
    if (command->verb == Verb::Driver)
        return applyDriverOption(name, value, command, errorString);
    if (name == QLatin1StringView("--code"))
        return convert(name, value, std::numeric_limits<quint64>::max(), &command->code,
                       errorString);
    if (name == QLatin1StringView("--wparam"))
        return convert(name, value, std::numeric_limits<quint64>::max(), &command->wParam,
                       errorString);
    if (name == QLatin1StringView("--payload")) {
        command->payloadFile = value;
        return true;
    }
    if (name == QLatin1StringView("--timeout"))
        return convertMilliseconds(name, value, &command->timeout, errorString);
    if (name == QLatin1StringView("--hold"))
        return convertMilliseconds(name, value, &command->hold, errorString);
    if (name == QLatin1StringView("--count"))
        return convert(name, value, std::numeric_limits<int>::max(), &command->count, errorString);
    if (name == QLatin1StringView("--reply")) {
        const std::optional<qint64> reply = parseSigned(value);
        if (!reply) {
            *errorString = QStringLiteral("--reply: \"%1\" is not a 64-bit number").arg(value);
            return false;
        }
        command->reply = *reply;
        return true;
    }
    *errorString = QStringLiteral("unknown option %1").arg(name);
    return false;
}

} // namespace

ParsedCommandLine parseCommandLine(const QStringList &arguments)
{
    ParsedCommandLine parsed;
    const QStringList words = arguments.mid(1); // past the program name
    if (words.isEmpty()) {
        parsed.errorString = QStringLiteral("no command given");
        return parsed;
    }
    if (words.first() == QLatin1StringView("-h") || words.first() == QLatin1StringView("--help") ||
        words.first() == QLatin1StringView("help")) {
        parsed.helpRequested = true;
        return parsed;
    }
    if (words == QStringList{QStringLiteral("--version")} ||
        words == QStringList{QStringLiteral("-v")}) {
        parsed.versionRequested = true;
        return parsed;
    }
    const Syntax *syntax = findSyntax(words.first());
    if (!syntax) {
        parsed.errorString = QStringLiteral("unknown command \"%1\"").arg(words.first());
        return parsed;
    }

    Command command;
    command.verb = syntax->verb;
    if (command.verb == Verb::Driver)
        command.timeout = std::chrono::seconds(30); // a driver's first start takes a while
    QStringList positionals;
    for (qsizetype i = 1; i < words.size(); ++i) {
        const QString &word = words.at(i);
        if (!word.startsWith(QLatin1StringView("--"))) {
            positionals.append(word);
            continue;
        }
        QString name = word;
        QString value;
        const qsizetype equals = word.indexOf(QLatin1Char('='));
        if (syntax->flags.contains(equals > 0 ? word.left(equals) : word)) {
            if (equals > 0) {
                parsed.errorString = QStringLiteral("%1 takes no value").arg(word.left(equals));
                return parsed;
            }
            applyFlag(word, &command);
            continue;
        }
        if (equals > 0) {
            name = word.left(equals);
            value = word.mid(equals + 1);
        } else if (i + 1 < words.size()) {
            value = words.at(++i);
        } else {
            parsed.errorString = QStringLiteral("%1 needs a value").arg(name);
            return parsed;
        }
        if (!syntax->options.contains(name)) {
            parsed.errorString = QStringLiteral("%1 is not an option of \"%2\"")
                                     .arg(name, QLatin1StringView(syntax->name));
            return parsed;
        }
        if (!applyOption(name, value, &command, &parsed.errorString))
            return parsed;
    }

    if (positionals.size() != syntax->positionals.size()) {
        if (syntax->positionals.isEmpty())
            parsed.errorString = QStringLiteral("\"%1\" takes no argument \"%2\"")
                                     .arg(QLatin1StringView(syntax->name), positionals.first());
        else
            parsed.errorString = QStringLiteral("\"%1\" takes %2")
                                     .arg(QLatin1StringView(syntax->name),
                                          syntax->positionals.join(QLatin1Char(' ')));
        return parsed;
    }
    if (command.verb == Verb::Driver) {
        if (command.driver.items.isEmpty() && command.driver.itemsFile.isEmpty()) {
            parsed.errorString = QStringLiteral("\"driver\" needs --items or --items-file");
            return parsed;
        }
        parsed.command = command;
        return parsed;
    }
    command.title = positionals.at(0);
    if (positionals.size() > 1 &&
        !convert(QStringLiteral("MSG"), positionals.at(1), std::numeric_limits<quint32>::max(),
                 &command.msg, &parsed.errorString)) {
        return parsed;
    }
    parsed.command = command;
    return parsed;
}

QString usageText()
{
    return QStringLiteral(
        "Usage:\n"
        "  hostrun --help | --version\n"
        "  hostrun find TITLE\n"
        "      Prints the handle of the window titled TITLE.\n"
        "  hostrun send TITLE MSG [--code N] [--wparam N] [--payload FILE] [--timeout MS]\n"
        "      Sends MSG (WM_COPYDATA is 0x4a) with the copy-data code N and the bytes\n"
        "      of FILE, and prints the answer (0 when none came within MS, default 10000).\n"
        "  hostrun post TITLE MSG [--wparam N]\n"
        "      Posts MSG; fails when the window does not take it.\n"
        "  hostrun listen TITLE [--reply N] [--hold MS] [--count N]\n"
        "      Registers a window titled TITLE and prints one line per message:\n"
        "        <send|post> msg=0x<hex> wParam=<dec> code=<dec> len=<dec> hex=<payload>\n"
        "      Answers sends with N (default 0) after waiting MS; stops after N\n"
        "      messages, or on SIGINT or SIGTERM.\n"
        "  hostrun driver --items NAME[,NAME...] [--items-file FILE] [--program PATH]\n"
        "                 [--json] [--write NAME=VALUE[:TYPE]]... [--stdin-writes]\n"
        "                 [--duration SECONDS] [--count N] [--timeout SECONDS] [--stop]\n"
        "      Runs a session with the Modbus driver: finds its window, or launches\n"
        "      PATH OPEN_LAST (default: the tagpoller beside hostrun, else on PATH);\n"
        "      asks for the items (request ids 1, 2, ... in order, those of FILE, one\n"
        "      name per line, after those of --items) and prints each value it delivers:\n"
        "        <id> <item> <type> <value> <ok|bad>\n"
        "      or with --json "
        "{\"id\":7,\"item\":\"...\",\"type\":\"Word\",\"value\":123,\"error\":false}.\n"
        "      Once values arrive it sends each --write, then with --stdin-writes one\n"
        "      NAME=VALUE[:TYPE] per line of standard input. TYPE is Boolean, Char, Byte,\n"
        "      Short, Word, Long, DWord, Float or Double; without it, the type of the\n"
        "      item's latest value (Long before any). Ends SECONDS after the driver took\n"
        "      the items, after N values, at the end of standard input with\n"
        "      --stdin-writes, or on SIGINT or SIGTERM; then stops the driver if it\n"
        "      launched it (always with --stop) and waits for it to close. Fails when\n"
        "      the driver has not taken the items within --timeout (default 30), finds\n"
        "      none of them or closes by itself, and when a write fails.\n"
        "  hostrun sql ...\n"
        "      A session with the SQL bridge; see hostrun sql --help.\n"
        "  hostrun mail account|send|close ...\n"
        "      Hands the email relay accounts and emails; \"hostrun mail --help\" tells how.\n"
        "  hostrun plant CONFIG.json\n"
        "      Runs a whole plant: driver, SQL bridge, email relay and alarm rules;\n"
        "      see hostrun plant --help.\n"
        "Numbers are decimal or 0x-hexadecimal. Exit status: 0 done, 1 failed, 2 bad usage.\n");
}

} // namespace hostrun
