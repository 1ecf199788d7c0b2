#include "mailcommand.h"

#include "desktop.h"
#include "mailpayload.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace hostrun {

namespace {

// The password comes from a file or the environment: a command line is
// visible to every user of the machine.
constexpr char PasswordVariable[] = "ORVALA_MAIL_PASSWORD";

void printLine(std::FILE *stream, const QString &line)
{
    std::fputs(line.toLocal8Bit().append('\n').constData(), stream);
    std::fflush(stream);
}

int usageError(const QString &text)
{
    printLine(stderr, QStringLiteral("hostrun mail: ") + text);
    std::fputs(qPrintable(mailUsageText()), stderr);
    return 2;
}

int deliver(quint32 msg, quint64 code, const QByteArray &payload, const QString &what)
{
    hostmsg::Desktop desktop;
    if (!desktop.open()) {
        printLine(stderr, QStringLiteral("hostrun mail: ") + desktop.errorString());
        return 1;
    }
    const QString title = QString::fromLatin1(MailProtocol::WindowTitle);
    const hostmsg::Handle window = desktop.findWindow(title);
    if (window == 0) {
        printLine(stderr, QStringLiteral("hostrun mail: no window titled \"%1\"").arg(title));
        return 1;
    }
    const qint64 result = desktop.sendMessage(window, msg, 0, 0, code, payload);
    printLine(stdout, QStringLiteral("%1 %2 (%3)")
                          .arg(what, result == 1 ? QLatin1StringView("taken")
                                                 : QLatin1StringView("refused"))
                          .arg(result));
    return result == 1 ? 0 : 1;
}

int account(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.addPositionalArgument(QStringLiteral("provider"), QString());
    parser.addPositionalArgument(QStringLiteral("user"), QString());
    parser.addOption({QStringLiteral("password-file"), QString(), QStringLiteral("file")});
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 3)
        return usageError(QStringLiteral("account takes PROVIDER and USER"));
    CSMTPDetails details;
    details.channelName = positional[1];
    details.user = positional[2];
    if (parser.isSet(QStringLiteral("password-file"))) {
        QFile file(parser.value(QStringLiteral("password-file")));
        if (!file.open(QIODevice::ReadOnly))
            return usageError(
                QStringLiteral("cannot read %1: %2").arg(file.fileName(), file.errorString()));
        details.password = QString::fromUtf8(file.readAll()).section(u'\n', 0, 0);
        details.password.remove(u'\r');
    } else if (qEnvironmentVariableIsSet(PasswordVariable)) {
        details.password = qEnvironmentVariable(PasswordVariable);
    } else {
        return usageError(QStringLiteral("no password: give --password-file or set %1")
                              .arg(QLatin1StringView(PasswordVariable)));
    }
    return deliver(hostmsg::WM_COPYDATA, MailProtocol::AccountCode,
                   MailPayload::encodeAccount(details), QStringLiteral("account"));
}

int send(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.addPositionalArgument(QStringLiteral("send"), QString());
    const QStringList valued = {QStringLiteral("provider"),  QStringLiteral("to"),
                                QStringLiteral("cc"),        QStringLiteral("bcc"),
                                QStringLiteral("subject"),   QStringLiteral("body"),
                                QStringLiteral("body-file"), QStringLiteral("files")};
    for (const QString &name : valued)
        parser.addOption({name, QString(), QStringLiteral("value")});
    parser.addOption({QStringLiteral("html"), QString()});
    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.positionalArguments().size() != 1)
        return usageError(QStringLiteral("send takes options only"));
    if (!parser.isSet(QStringLiteral("provider")) || !parser.isSet(QStringLiteral("to")))
        return usageError(QStringLiteral("send needs --provider and --to"));
    if (parser.isSet(QStringLiteral("body")) && parser.isSet(QStringLiteral("body-file")))
        return usageError(QStringLiteral("give --body or --body-file, not both"));
    CMailDetails email;
    email.channelName = parser.value(QStringLiteral("provider"));
    email.to = parser.value(QStringLiteral("to"));
    email.cc = parser.value(QStringLiteral("cc"));
    email.bcc = parser.value(QStringLiteral("bcc"));
    email.subject = parser.value(QStringLiteral("subject"));
    email.body = parser.value(QStringLiteral("body"));
    if (parser.isSet(QStringLiteral("body-file")))
        email.body = QLatin1Char('@') +
                     QFileInfo(parser.value(QStringLiteral("body-file"))).absoluteFilePath();
    QStringList files;
    for (const QString &f : parser.value(QStringLiteral("files")).split(u';', Qt::SkipEmptyParts))
        files << QFileInfo(f).absoluteFilePath();
    email.embeddedFiles = files.join(u';');
    email.html = parser.isSet(QStringLiteral("html")) ? 1 : 0;
    return deliver(hostmsg::WM_COPYDATA, MailProtocol::EmailCode, MailPayload::encodeEmail(email),
                   QStringLiteral("email"));
}

} // namespace

int runMailCommand(const QStringList &arguments)
{
    // QCommandLineParser skips the first argument as the program name.
    const QStringList withName = QStringList{QStringLiteral("hostrun mail")} + arguments;
    const QString verb = arguments.value(0);
    if (verb == QLatin1StringView("--help") || verb == QLatin1StringView("-h")) {
        std::fputs(qPrintable(QStringLiteral("Usage:\n") + mailUsageText()), stdout);
        return 0;
    }
    if (verb == QLatin1StringView("account"))
        return account(withName);
    if (verb == QLatin1StringView("send"))
        return send(withName);
    if (verb == QLatin1StringView("close") && arguments.size() == 1)
        return deliver(MailProtocol::CloseWhenDrainedMessage, 0, {}, QStringLiteral("close"));
    return usageError(verb.isEmpty() ? QStringLiteral("say account, send or close")
                                     : QStringLiteral("unknown: %1").arg(arguments.join(u' ')));
}

QString mailUsageText()
{
    return QStringLiteral(
        "  hostrun mail account PROVIDER USER [--password-file FILE]\n"
        "      Hands the email relay the account of PROVIDER (Gmail or Yahoo); the\n"
        "      password is the first line of FILE, else $ORVALA_MAIL_PASSWORD.\n"
        "  hostrun mail send --provider P --to LIST [--cc LIST] [--bcc LIST]\n"
        "                    [--subject TEXT] [--body TEXT | --body-file FILE] [--html]\n"
        "                    [--files FILE;FILE...]\n"
        "      Queues an email; LIST holds addresses separated by \",\" or \";\". The\n"
        "      relay reads FILE and the --files when it sends, and deletes them after.\n"
        "  hostrun mail close\n"
        "      Asks the relay to close once its queues are empty.\n"
        "      Each prints \"<what> taken (1)\" or \"<what> refused (0)\".\n");
}

} // namespace hostrun
