#pragma once

#include "desktop.h"

#include <QObject>
#include <QProcess>
#include <QString>

#include <chrono>
#include <memory>

namespace hostrun {

// One of the programs a plant session works with, found by its window title
// or started here; at the end asked to close once drained, and awaited.
class PeerProgram : public QObject
{
    Q_OBJECT
public:
    PeerProgram(hostmsg::Desktop &desktop, QString windowTitle, QString name);
    ~PeerProgram() override;

    // Finds the window, or starts `program` (empty: `defaultName` beside
    // hostrun or on PATH) and waits up to `patience` for its window.
    bool findOrStart(const QString &program, const QString &defaultName,
                     std::chrono::milliseconds patience);

    // Asks it to close once its buffers are empty. Then isGone() turns true.
    bool askToClose(quint32 closeMessage);
    bool isGone();
    // Last resort when it outlasts the session's patience: a program started
    // here is terminated.
    void terminate();

    QString name() const { return m_name; }
    QString errorString() const { return m_error; }
    qint64 processId() const { return m_process ? m_process->processId() : 0; }

private:
    hostmsg::Desktop &m_desktop;
    const QString m_windowTitle;
    const QString m_name;
    hostmsg::Handle m_window = 0;
    std::unique_ptr<QProcess> m_process; // only when started here
    QString m_error;
};

// `name` beside hostrun in a build tree (../NAME/NAME), in hostrun's own
// folder (an installation), else on PATH; empty when nowhere.
QString programBesideHostrun(const QString &name);

} // namespace hostrun
