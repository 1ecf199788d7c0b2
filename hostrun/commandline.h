#pragma once

#include "itemwrite.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

namespace hostrun {

enum class Verb { Find, Send, Post, Listen, Driver };

// What "driver" adds: the items to watch, how to print them and what to write.
struct DriverOptions
{
    QStringList items;        // from --items, in the order given
    QString itemsFile;        // more items, one per line, after those of --items
    QString program;          // empty: the tagpoller beside hostrun, else on PATH
    bool json = false;        // one JSON object per value instead of a text line
    QList<ItemWrite> writes;  // sent once the first values have arrived
    bool stdinWrites = false; // further writes, one per line of standard input
    std::optional<std::chrono::milliseconds> duration; // from the item request's acceptance
    bool stop = false; // stop a driver found running as well, not only one launched
};

// One command as given on the command line, checked and converted.
struct Command
{
    Verb verb = Verb::Find;
    QString title;
    quint32 msg = 0;
    quint64 wParam = 0;
    quint64 code = 0; // dwData: the copy-data code
    QString payloadFile;
    std::chrono::milliseconds timeout{10000}; // driver: 30 s, given in seconds
    qint64 reply = 0;
    std::chrono::milliseconds hold{0};
    int count = 0; // 0: listen until stopped (driver: values printed before stopping)
    DriverOptions driver;
};

struct ParsedCommandLine
{
    std::optional<Command> command;
    bool helpRequested = false;
    bool versionRequested = false;
    QString errorString; // when neither a command nor help
};

ParsedCommandLine parseCommandLine(const QStringList &arguments);

QString usageText();

} // namespace hostrun
