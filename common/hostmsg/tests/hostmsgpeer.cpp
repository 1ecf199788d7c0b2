// A window in a process of its own for the tests between processes: it sends
// back, posts back and echoes, as the messages in peerprotocol.h ask.
#include "desktop.h"
#include "peerprotocol.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (app.arguments().size() != 2) {
        std::fputs("usage: hostmsg_peer TITLE\n", stderr);
        return 2;
    }
    hostmsg::Desktop desktop;
    std::unique_ptr<hostmsg::Window> window = desktop.createWindow(app.arguments().at(1));
    if (!window) {
        std::fprintf(stderr, "hostmsg_peer: %s\n", qPrintable(desktop.errorString()));
        return 1;
    }
    const hostmsg::Handle self = window->handle();
    window->setHandler([&](const hostmsg::Message &message) -> qint64 {
        switch (message.msg) {
        case peer::Ping:
            return peer::answerPing(desktop, self, message);
        case peer::PostBack: {
            qint64 taken = 0;
            for (qint64 i = 1; i <= message.lParam; ++i)
                taken += desktop.postMessage(message.wParam, peer::Posted, quint64(i)) ? 1 : 0;
            return taken;
        }
        case peer::Echo:
            return desktop.sendMessage(message.wParam, hostmsg::WM_COPYDATA, self, 0,
                                       message.dwData, message.payload);
        case peer::CloseWindow:
            window.reset();
            QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
            return 1;
        }
        return 0;
    });
    return app.exec();
}
