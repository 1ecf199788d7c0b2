#pragma once

// A folder laid out as an installation of restarter: stand-in scripts for the
// host runtime and for pkexec that record who started them and how, and a
// records folder anyone may write to (the stand-ins may run as an
// unprivileged user).
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include <optional>

struct StandInRecord
{
    QMap<QString, QString> values; // uid, pid, sid, ppid
    QStringList arguments;

    qint64 number(const QString &key) const { return values.value(key).toLongLong(); }
};

class LaunchFolder
{
public:
    LaunchFolder();

    bool isValid() const { return m_root.isValid(); }
    QString path() const { return m_root.path(); }
    QString binPath() const { return path() + QStringLiteral("/bin"); }
    QString recordsPath() const { return path() + QStringLiteral("/records"); }
    QString hostRuntimePath() const { return path() + QStringLiteral("/hostrun"); }
    QString restarterPath() const { return path() + QStringLiteral("/restarter"); }

    // The stand-in host runtime beside restarter.
    void addHostRuntime();
    // A stand-in pkexec in bin/: records itself, waits delayMs, then exits
    // with exitStatus or, without one, becomes the program it was given.
    void addPkexec(int delayMs = 0, std::optional<int> exitStatus = std::nullopt);
    // A copy of the built restarter (its own location decides where it looks).
    void addRestarterCopy();
    // An empty file standing for restarter, for tests that run no program.
    void addRestarterPlaceholder();

    QList<StandInRecord> hostRuntimeRecords() const { return records(QStringLiteral("hostrun")); }
    QList<StandInRecord> pkexecRecords() const { return records(QStringLiteral("pkexec")); }

private:
    void writeScript(const QString &path, const QString &text);
    QList<StandInRecord> records(const QString &prefix) const;

    QTemporaryDir m_root;
};

// Polls until the predicate holds or the deadline passes.
template<class Predicate> bool waitUntil(Predicate predicate, int timeoutMs = 30000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!predicate()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
    return true;
}
