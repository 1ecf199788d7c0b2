#pragma once

#include "localclock.h"
#include "modmsg.h"

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class QSettings;

// The event message log: the time-stamped messages every part of the driver
// writes through AddMsg, shown as rows by a view. The log lives from open() to
// close(); messages offered outside that span are dropped. The last messages
// are carried to the next run in "ModErrMsgs.dat" in the data folder.
//
// A view follows the log through the signals: messagesAppended() after rows
// were added at the end, cleared() after every row was removed.
class EventLog : public QObject
{
    Q_OBJECT

public:
    enum class Level {
        Normal,  // written at every event message level
        Verbose, // a level 3 message: written only when the event message level is 3
    };

    static constexpr int VerboseEventMessageLevel = 3;

    static constexpr int DefaultMessagesToKeep = 200;
    static constexpr int MinimumMessagesToKeep = 10;
    static constexpr int MaximumMessagesToKeep = 100000;

    // A saved file larger than this is not read: no driver writes one, and
    // loading it would only exhaust memory.
    static constexpr qint64 MaximumSavedFileSize = 256 * 1024 * 1024;

    struct Config
    {
        int eventMessageLevel = 0;
        QString dataFolder; // where "ModErrMsgs.dat" is kept; empty: messages are not kept
        WallClock clock = systemWallClockNow;
    };

    explicit EventLog(Config config, QObject *parent = nullptr);

    // The "MsgsToKeep" setting with its range rule: 10 to 100000, anything
    // else (or nothing) gives 200.
    static int readMessagesToKeep(const QSettings &settings);

    // Starts the log: takes the number of messages to keep from `settings`,
    // then restores the saved messages with their stored times. A saved file
    // that cannot be read completely is left as it is and reported as a
    // message; the log then starts without restored messages.
    void open(const QSettings &settings);

    // Saves the last messages, oldest first, and empties the log. Returns false
    // when the file could not be written; the previous file is then kept.
    bool close();

    void AddMsg(const QString &text, Level level = Level::Normal);

    bool isOpen() const { return m_open; }
    int count() const { return int(m_messages.size()); }
    // The message shown in `row`, 0 <= row < count().
    const CModMsg &message(int row) const;
    int messagesToKeep() const { return m_messagesToKeep; }
    int eventMessageLevel() const { return m_eventMessageLevel; }
    QString savedMessagesPath() const;

Q_SIGNALS:
    void messagesAppended(int first, int last);
    void cleared();

private:
    void restoreSavedMessages();
    bool saveMessages();
    void append(std::shared_ptr<CModMsg> message);

    int m_eventMessageLevel = 0;
    QString m_dataFolder;
    WallClock m_clock;
    int m_messagesToKeep = DefaultMessagesToKeep;
    bool m_open = false;
    std::vector<std::shared_ptr<CModMsg>> m_messages;
};
