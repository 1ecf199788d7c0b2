#include "commandline.h"

#include <limits>

namespace hostrun {

namespace {

struct Syntax
{
    Verb verb;
    const char *name;
    QStringList positionals;
    QStringList options;
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

bool applyOption(const QString &name, const QString &value, Command *command, QString *errorString)
{
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
    const Syntax *syntax = findSyntax(words.first());
    if (!syntax) {
        parsed.errorString = QStringLiteral("unknown command \"%1\"").arg(words.first());
        return parsed;
    }

    Command command;
    command.verb = syntax->verb;
    QStringList positionals;
    for (qsizetype i = 1; i < words.size(); ++i) {
        const QString &word = words.at(i);
        if (!word.startsWith(QLatin1StringView("--"))) {
            positionals.append(word);
            continue;
        }
        QString name = word;
        QString value;
        if (const qsizetype equals = word.indexOf(QLatin1Char('=')); equals > 0) {
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
        parsed.errorString =
            QStringLiteral("\"%1\" takes %2")
                .arg(QLatin1StringView(syntax->name), syntax->positionals.join(QLatin1Char(' ')));
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
        "Numbers are decimal or 0x-hexadecimal. Exit status: 0 done, 1 failed, 2 bad usage.\n");
}

} // namespace hostrun
