#pragma once

#include "localclock.h"
#include "modmsg.h"

#include <QObject>
#include <QString>

#include <algorithm>
#include <deque>
#include <memory>

class QSettings;

// The event message log: the time-stamped messages every part of the driver
// writes through addMessage, shown as rows by a view. The log lives from open() to
// close(); messages offered outside that span are dropped. The last messages
// are carried to the next run in "ModErrMsgs.dat" in the data folder.
//
// The log keeps the newest messages in memory up to a bound (never below the
// number of messages to keep, so a close always saves as many as configured);
// past it the oldest are removed in blocks of a tenth of the bound.
//
// A view follows the log through the signals: messagesAppended() after rows
// were added at the end, messagesRemoved() after the oldest rows were removed
// from the front, cleared() after every row was removed.
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

    static constexpr int DefaultMessagesInMemory = 20000;

    struct Config
    {
        int eventMessageLevel = 0;
        QString dataFolder; // where "ModErrMsgs.dat" is kept; empty: messages are not kept
        WallClock clock = systemWallClockNow;
        // The bound of messages held while the log is open; raised to the
        // number of messages to keep when that is higher.
        int messagesInMemory = DefaultMessagesInMemory;
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

    void addMessage(const QString &text, Level level = Level::Normal);

    bool isOpen() const { return m_open; }
    int count() const { return int(m_messages.size()); }
    // The message shown in `row`, 0 <= row < count().
    const CModMsg &message(int row) const;
    int messagesToKeep() const { return m_messagesToKeep; }
    int messagesInMemory() const { return std::max(m_messagesInMemory, m_messagesToKeep); }
    int eventMessageLevel() const { return m_eventMessageLevel; }
    QString savedMessagesPath() const;

Q_SIGNALS:
    void messagesAppended(int first, int last);
    // Rows first to last were removed; the rows after them moved up.
    void messagesRemoved(int first, int last);
    void cleared();

private:
    void restoreSavedMessages();
    bool saveMessages();
    void append(std::shared_ptr<CModMsg> message);
    void makeRoomFor(size_t incoming);

    int m_eventMessageLevel = 0;
    QString m_dataFolder;
    WallClock m_clock;
    int m_messagesToKeep = DefaultMessagesToKeep;
    int m_messagesInMemory = DefaultMessagesInMemory;
    bool m_open = false;
    bool m_boundReported = false;
    std::deque<std::shared_ptr<CModMsg>> m_messages;
};
