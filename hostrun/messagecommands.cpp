#include "messagecommands.h"

#include "desktop.h"
#include "terminationsignals.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>
#include <thread>

namespace hostrun {

namespace {

void printLine(std::FILE *stream, const QString &line)
{
    std::fputs(line.toLocal8Bit().append('\n').constData(), stream);
    std::fflush(stream); // a listener's lines are read while it runs
}

void printError(const QString &text)
{
    printLine(stderr, QStringLiteral("hostrun: ") + text);
}

QString describe(const hostmsg::Message &message)
{
    return QStringLiteral("%1 msg=0x%2 wParam=%3 code=%4 len=%5 hex=%6")
        .arg(message.kind == hostmsg::Kind::Send ? QLatin1StringView("send")
                                                 : QLatin1StringView("post"))
        .arg(message.msg, 0, 16)
        .arg(message.wParam)
        .arg(message.dwData)
        .arg(message.payload.size())
        .arg(QString::fromLatin1(message.payload.toHex()));
}

hostmsg::Handle findOrComplain(hostmsg::Desktop &desktop, const QString &title)
{
    const hostmsg::Handle handle = desktop.findWindow(title);
    if (handle == 0)
        printError(QStringLiteral("no window titled \"%1\"").arg(title));
    return handle;
}

int find(hostmsg::Desktop &desktop, const Command &command)
{
    const hostmsg::Handle handle = findOrComplain(desktop, command.title);
    if (handle == 0)
        return 1;
    printLine(stdout, QString::number(handle));
    return 0;
}

int send(hostmsg::Desktop &desktop, const Command &command)
{
    QByteArray payload;
    if (!command.payloadFile.isEmpty()) {
        QFile file(command.payloadFile);
        if (!file.open(QIODevice::ReadOnly)) {
            printError(
                QStringLiteral("cannot read %1: %2").arg(command.payloadFile, file.errorString()));
            return 1;
        }
        payload = file.readAll();
        if (quint64(payload.size()) > hostmsg::MaxPayload) {
            printError(QStringLiteral("%1 is larger than a message may carry (%2 bytes)")
                           .arg(command.payloadFile)
                           .arg(hostmsg::MaxPayload));
            return 1;
        }
    }
    const hostmsg::Handle handle = findOrComplain(desktop, command.title);
    if (handle == 0)
        return 1;
    const qint64 result = desktop.sendMessage(handle, command.msg, command.wParam, 0, command.code,
                                              payload, command.timeout);
    printLine(stdout, QString::number(result));
    return 0;
}

int post(hostmsg::Desktop &desktop, const Command &command)
{
    const hostmsg::Handle handle = findOrComplain(desktop, command.title);
    if (handle == 0)
        return 1;
    if (!desktop.postMessage(handle, command.msg, command.wParam)) {
        printError(QStringLiteral("window \"%1\" did not take the message").arg(command.title));
        return 1;
    }
    return 0;
}

int listen(hostmsg::Desktop &desktop, const Command &command)
{
    // Before the window exists, so that no stop request can leave its files behind.
    TerminationSignals terminationSignals;
    if (!terminationSignals.isActive()) {
        printError(QStringLiteral("cannot watch for SIGINT and SIGTERM"));
        return 1;
    }
    QObject::connect(&terminationSignals, &TerminationSignals::received,
                     QCoreApplication::instance(), &QCoreApplication::quit);

    const std::unique_ptr<hostmsg::Window> window = desktop.createWindow(command.title);
    if (!window) {
        printError(desktop.errorString());
        return 1;
    }
    int received = 0;
    window->setHandler([&command, &received](const hostmsg::Message &message) -> qint64 {
        if (command.count > 0 && received == command.count)
            return 0; // already stopping
        printLine(stdout, describe(message));
        if (++received == command.count) {
            QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit,
                                      Qt::QueuedConnection);
        }
        if (message.kind != hostmsg::Kind::Send)
            return 0;
        std::this_thread::sleep_for(command.hold);
        return command.reply;
    });
    printLine(stderr, QStringLiteral("hostrun: listening as \"%1\", handle %2")
                          .arg(command.title)
                          .arg(window->handle()));
    return QCoreApplication::exec() == 0 ? 0 : 1;
}

} // namespace

int runMessageCommand(const Command &command)
{
    hostmsg::Desktop desktop;
    if (!desktop.open()) {
        printError(desktop.errorString());
        return 1;
    }
    switch (command.verb) {
    case Verb::Find:
        return find(desktop, command);
    case Verb::Send:
        return send(desktop, command);
    case Verb::Post:
        return post(desktop, command);
    case Verb::Listen:
        return listen(desktop, command);
    case Verb::Driver:
        break; // a session of its own: runDriverCommand
    }
    return 1;
}

} // namespace hostrun
