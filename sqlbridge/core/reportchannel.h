#pragma once

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <mutex>

// What a writer pass tells the bridge, carried to the bridge's thread as
// queued calls: the pass never touches the bridge or any widget. Once closed
// (the bridge is going away) reports are dropped, so a pass that outlives the
// bridge never reaches freed state.
struct PassReport
{
    enum class Kind { Line, TagsWritten, AlarmsWritten, Finished };
    Kind kind = Kind::Line;
    QString text;
    qint64 count = 0;
};

class ReportChannel
{
public:
    using Handler = std::function<void(const PassReport &)>;

    ReportChannel(QObject *receiver, Handler handler)
        : m_receiver(receiver), m_handler(std::move(handler))
    {}

    void post(PassReport report)
    {
        std::lock_guard lock(m_mutex);
        if (!m_receiver)
            return;
        QMetaObject::invokeMethod(
            m_receiver, [handler = m_handler, report = std::move(report)] { handler(report); },
            Qt::QueuedConnection);
    }
    void line(const QString &text) { post({PassReport::Kind::Line, text, 0}); }

    void close()
    {
        std::lock_guard lock(m_mutex);
        m_receiver = nullptr;
    }

private:
    std::mutex m_mutex;
    QObject *m_receiver;
    Handler m_handler;
};
