#include "hostruntimelocation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace {

bool ownedByTrustedUser(const struct stat &status, uid_t trustedUser)
{
    return status.st_uid == 0 || status.st_uid == trustedUser;
}

bool writableByOthers(const struct stat &status)
{
    return (status.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

// The folder that holds the program, and every folder above it: whoever may
// rename or replace an entry on the way could swap the program. A sticky
// folder above (such as /tmp) keeps others from renaming what is not theirs.
QString folderProblem(const QString &folder, uid_t trustedUser)
{
    QString current = folder;
    bool holdsProgram = true;
    while (true) {
        struct stat status = {};
        if (::stat(QFile::encodeName(current).constData(), &status) != 0)
            return QStringLiteral("cannot check the folder %1").arg(current);
        if (!ownedByTrustedUser(status, trustedUser))
            return QStringLiteral("the folder %1 belongs to another user").arg(current);
        const bool sticky = (status.st_mode & S_ISVTX) != 0;
        if (writableByOthers(status) && (holdsProgram || !sticky))
            return QStringLiteral("the folder %1 is writable by group or others").arg(current);
        if (current == QLatin1StringView("/"))
            return {};
        current = QFileInfo(current).path();
        holdsProgram = false;
    }
}

} // namespace

HostRuntimeLocation HostRuntimeLocation::besideProgram(const QString &programFilePath,
                                                       uid_t trustedUser)
{
    HostRuntimeLocation location;
    const QString programFile = QFileInfo(programFilePath).canonicalFilePath();
    if (programFilePath.isEmpty() || programFile.isEmpty()) {
        location.problem = QStringLiteral("cannot read the path of restarter itself");
        return location;
    }
    const QString expected =
        QFileInfo(programFile).absolutePath() + QLatin1Char('/') + QLatin1StringView(FileName);
    location.path = QFileInfo(expected).canonicalFilePath();
    if (location.path.isEmpty()) {
        location.path = expected;
        location.problem = QStringLiteral("%1 is missing").arg(expected);
        return location;
    }

    struct stat status = {};
    if (::stat(QFile::encodeName(location.path).constData(), &status) != 0 ||
        !S_ISREG(status.st_mode) || (status.st_mode & S_IXUSR) == 0) {
        location.problem = QStringLiteral("%1 is not an executable file").arg(location.path);
        return location;
    }
    if (!ownedByTrustedUser(status, trustedUser)) {
        location.problem = QStringLiteral("%1 belongs to another user").arg(location.path);
        return location;
    }
    if (writableByOthers(status)) {
        location.problem = QStringLiteral("%1 is writable by group or others").arg(location.path);
        return location;
    }
    // Both the folder the name was looked up in and, past a symbolic link, the
    // folder that really holds the program.
    for (const QString &folder :
         {QFileInfo(programFile).absolutePath(), QFileInfo(location.path).absolutePath()}) {
        location.problem = folderProblem(folder, trustedUser);
        if (!location.isUsable())
            return location;
    }
    return location;
}

QString HostRuntimeLocation::runningProgramFile()
{
    char buffer[4096];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer);
    if (length <= 0 || size_t(length) >= sizeof buffer)
        return {};
    return QFile::decodeName(QByteArray(buffer, qsizetype(length)));
}
