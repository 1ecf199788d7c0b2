#pragma once

#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

namespace hostrun {

enum class Verb { Find, Send, Post, Listen };

// One command as given on the command line, checked and converted.
struct Command
{
    Verb verb = Verb::Find;
    QString title;
    quint32 msg = 0;
    quint64 wParam = 0;
    quint64 code = 0; // dwData: the copy-data code
    QString payloadFile;
    std::chrono::milliseconds timeout{10000};
    qint64 reply = 0;
    std::chrono::milliseconds hold{0};
    int count = 0; // 0: listen until stopped
};

struct ParsedCommandLine
{
    std::optional<Command> command;
    bool helpRequested = false;
    QString errorString; // when neither a command nor help
};

ParsedCommandLine parseCommandLine(const QStringList &arguments);

QString usageText();

} // namespace hostrun
