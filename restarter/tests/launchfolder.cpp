#include "launchfolder.h"

#include "testenvironment.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

void setMode(const QString &path, mode_t mode)
{
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0) << qPrintable(path);
}

// Records land under a temporary name first and are renamed whole.
QString recordingCommands(const QString &recordsPath, const QString &prefix)
{
    return QStringLiteral("record=\"%1/%2-$$\"\n"
                          "{\n"
                          "  echo \"uid=$(id -u)\"\n"
                          "  echo \"pid=$$\"\n"
                          "  echo \"sid=$(cut -d' ' -f6 /proc/$$/stat)\"\n"
                          "  echo \"ppid=$PPID\"\n"
                          "  for argument in \"$@\"; do echo \"arg=$argument\"; done\n"
                          "} > \"$record.part\" && mv \"$record.part\" \"$record\"\n")
        .arg(recordsPath, prefix);
}

} // namespace

LaunchFolder::LaunchFolder() : m_root(QDir::tempPath() + QStringLiteral("/restarter-test-XXXXXX"))
{
    if (!m_root.isValid())
        return;
    // Readable by the unprivileged user some tests run restarter as.
    setMode(path(), 0755);
    QDir().mkpath(binPath());
    setMode(binPath(), 0755);
    QDir().mkpath(recordsPath());
    setMode(recordsPath(), 0777);
}

void LaunchFolder::writeScript(const QString &path, const QString &text)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << qPrintable(path);
    file.write(text.toUtf8());
    file.close();
    setMode(path, 0755);
}

void LaunchFolder::addHostRuntime()
{
    writeScript(hostRuntimePath(), QStringLiteral("#!/bin/sh\n# Stand-in host runtime.\n") +
                                       recordingCommands(recordsPath(), QStringLiteral("hostrun")));
}

void LaunchFolder::addPkexec(int delayMs, std::optional<int> exitStatus)
{
    QString text = QStringLiteral("#!/bin/sh\n# Stand-in pkexec.\n") +
                   recordingCommands(recordsPath(), QStringLiteral("pkexec"));
    if (delayMs > 0)
        // Not holding the test's output pipes should the stand-in be ended.
        text += QStringLiteral("sleep %1 >/dev/null 2>&1\n").arg(delayMs / 1000.0);
    if (exitStatus)
        text += QStringLiteral("exit %1\n").arg(*exitStatus);
    else
        text += QStringLiteral("exec \"$@\"\n");
    writeScript(binPath() + QStringLiteral("/pkexec"), text);
}

void LaunchFolder::addRestarterCopy()
{
    const QString built = testsupport::builtProgram(QStringLiteral("restarter/restarter"));
    ASSERT_TRUE(QFile::copy(built, restarterPath())) << qPrintable(built);
    setMode(restarterPath(), 0755);
}

void LaunchFolder::addRestarterPlaceholder()
{
    QFile file(restarterPath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    setMode(restarterPath(), 0755);
}

QList<StandInRecord> LaunchFolder::records(const QString &prefix) const
{
    QList<StandInRecord> found;
    const QStringList names = QDir(recordsPath()).entryList({prefix + QStringLiteral("-*")});
    for (const QString &name : names) {
        if (name.endsWith(QStringLiteral(".part")))
            continue;
        QFile file(recordsPath() + QLatin1Char('/') + name);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        StandInRecord record;
        const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
        for (const QString &line : lines) {
            const qsizetype equals = line.indexOf(QLatin1Char('='));
            if (equals <= 0)
                continue;
            const QString key = line.left(equals);
            if (key == QStringLiteral("arg"))
                record.arguments << line.mid(equals + 1);
            else
                record.values.insert(key, line.mid(equals + 1));
        }
        found << record;
    }
    return found;
}
