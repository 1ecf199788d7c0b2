#include "eventlog.h"

#include "savedmessages.h"

#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QSaveFile>
#include <QSettings>

namespace {

Q_LOGGING_CATEGORY(lcEventLog, "tagpoller.eventlog")

} // namespace

EventLog::EventLog(Config config, QObject *parent)
    : QObject(parent)
    , m_eventMessageLevel(config.eventMessageLevel)
    , m_dataFolder(std::move(config.dataFolder))
    , m_clock(config.clock ? std::move(config.clock) : WallClock(systemWallClockNow))
    , m_messagesInMemory(std::max(config.messagesInMemory, MinimumMessagesToKeep))
{}

int EventLog::readMessagesToKeep(const QSettings &settings)
{
    bool isNumber = false;
    const int stored = settings.value(QStringLiteral("Settings/MsgsToKeep")).toInt(&isNumber);
    if (!isNumber || stored < MinimumMessagesToKeep || stored > MaximumMessagesToKeep)
        return DefaultMessagesToKeep;
    return stored;
}

void EventLog::open(const QSettings &settings)
{
    if (m_open)
        return;
    m_open = true;
    m_messagesToKeep = readMessagesToKeep(settings);
    addMessage(QStringLiteral("Keeping messages: %1").arg(m_messagesToKeep), Level::Verbose);
    restoreSavedMessages();
}

bool EventLog::close()
{
    if (!m_open)
        return true;
    const bool saved = saveMessages();
    m_open = false;
    m_messages.clear();
    Q_EMIT cleared();
    return saved;
}

void EventLog::addMessage(const QString &text, Level level)
{
    if (!m_open)
        return;
    if (level == Level::Verbose && m_eventMessageLevel != VerboseEventMessageLevel)
        return;
    append(std::make_shared<CModMsg>(text, m_clock()));
}

const CModMsg &EventLog::message(int row) const
{
    Q_ASSERT(row >= 0 && row < count());
    return *m_messages[size_t(row)];
}

QString EventLog::savedMessagesPath() const
{
    if (m_dataFolder.isEmpty())
        return {};
    return QDir(m_dataFolder).filePath(savedmessages::FileName);
}

void EventLog::makeRoomFor(size_t incoming)
{
    const size_t bound = size_t(messagesInMemory());
    if (m_messages.size() + incoming <= bound)
        return;
    // Removed in blocks, so a view does not shift its rows for every message.
    const size_t block = std::max<size_t>(bound / 10, 1);
    const size_t excess = m_messages.size() + incoming - bound;
    const size_t removed =
        std::min(m_messages.size(), std::max(excess, std::min(block, m_messages.size())));
    if (removed == 0)
        return;
    if (!m_boundReported) {
        m_boundReported = true;
        qCInfo(lcEventLog, "The event log holds at most %zu messages; the oldest are removed",
               bound);
    }
    m_messages.erase(m_messages.begin(), m_messages.begin() + std::ptrdiff_t(removed));
    Q_EMIT messagesRemoved(0, int(removed) - 1);
}

void EventLog::append(std::shared_ptr<CModMsg> message)
{
    makeRoomFor(1);
    m_messages.push_back(std::move(message));
    const int row = count() - 1;
    Q_EMIT messagesAppended(row, row);
}

// A file that does not read completely is not trusted in part: the log starts
// empty and the file stays on disk untouched, so it can still be examined; the
// next close replaces it.
void EventLog::restoreSavedMessages()
{
    const QString path = savedMessagesPath();
    if (path.isEmpty() || !QFile::exists(path))
        return;

    const auto reportUnreadable = [this](const QString &reason) {
        addMessage(QStringLiteral("Saved messages could not be read: %1").arg(reason));
    };

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        reportUnreadable(file.errorString());
        return;
    }
    if (file.size() > MaximumSavedFileSize) {
        reportUnreadable(
            QStringLiteral("the file is larger than %1 bytes").arg(MaximumSavedFileSize));
        return;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        reportUnreadable(file.errorString());
        return;
    }

    if (bytes.isEmpty()) {
        reportUnreadable(QStringLiteral("the file is empty"));
        return;
    }

    savedmessages::Decoded decoded = savedmessages::decode(bytes);
    if (!decoded.ok()) {
        reportUnreadable(QStringLiteral("%1, at byte %2")
                             .arg(decoded.status.message)
                             .arg(decoded.status.offset));
        return;
    }
    if (decoded.messages.empty())
        return;

    // A file written with a larger bound (or by hand) brings its newest messages.
    const size_t bound = size_t(messagesInMemory());
    if (decoded.messages.size() > bound)
        decoded.messages.erase(decoded.messages.begin(),
                               decoded.messages.end() - std::ptrdiff_t(bound));
    makeRoomFor(decoded.messages.size());
    const int first = count();
    m_messages.insert(m_messages.end(), std::make_move_iterator(decoded.messages.begin()),
                      std::make_move_iterator(decoded.messages.end()));
    Q_EMIT messagesAppended(first, count() - 1);
}

bool EventLog::saveMessages()
{
    const QString path = savedMessagesPath();
    if (path.isEmpty())
        return true; // no data folder: nothing is kept, by configuration

    const size_t kept = std::min(m_messages.size(), size_t(m_messagesToKeep));
    const savedmessages::Messages newest(m_messages.end() - std::ptrdiff_t(kept), m_messages.end());
    const QByteArray bytes = savedmessages::encode(newest);

    if (!QDir().mkpath(m_dataFolder)) {
        qCWarning(lcEventLog, "Messages not saved: the folder %s cannot be created",
                  qUtf8Printable(m_dataFolder));
        return false;
    }
    // Written aside and renamed over the old file on commit: a failed or
    // interrupted save leaves the previous messages in place.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        qCWarning(lcEventLog, "Messages not saved to %s: %s", qUtf8Printable(path),
                  qUtf8Printable(file.errorString()));
        return false;
    }
    return true;
}
