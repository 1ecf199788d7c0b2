#include "runtimefolder.h"

#include "logging.h"

#include <QFile>

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

namespace hostmsg {

namespace {

QString octalMode(mode_t mode)
{
    return QStringLiteral("0%1").arg(uint(mode & 07777), 3, 8, QLatin1Char('0'));
}

} // namespace

QString defaultRuntimeFolder()
{
    if (!qEnvironmentVariableIsEmpty("ORVALA_RUNTIME_DIR"))
        return qEnvironmentVariable("ORVALA_RUNTIME_DIR");
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        return qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/orvala");
    return QStringLiteral("/tmp/orvala-%1").arg(::geteuid());
}

bool preparePrivateFolder(const QString &folder, QString *errorString)
{
    const QByteArray path = QFile::encodeName(folder);
    if (::mkdir(path.constData(), 0700) == 0) {
        // mkdir honours the umask; the folder must still be usable by its owner.
        ::chmod(path.constData(), 0700);
    } else if (errno != EEXIST) {
        *errorString = QStringLiteral("cannot create hostmsg folder %1: %2")
                           .arg(folder, systemErrorString(errno));
        return false;
    }

    // lstat, not stat: a symbolic link could lead anywhere, even into a
    // folder another user controls.
    struct stat status;
    if (::lstat(path.constData(), &status) != 0) {
        *errorString = QStringLiteral("cannot check hostmsg folder %1: %2")
                           .arg(folder, systemErrorString(errno));
        return false;
    }
    if (S_ISLNK(status.st_mode)) {
        *errorString =
            QStringLiteral("hostmsg folder %1 is a symbolic link; it must be a real directory")
                .arg(folder);
        return false;
    }
    if (!S_ISDIR(status.st_mode)) {
        *errorString = QStringLiteral("hostmsg folder %1 is not a directory").arg(folder);
        return false;
    }
    if (status.st_uid != ::geteuid()) {
        *errorString =
            QStringLiteral("hostmsg folder %1 is owned by uid %2, not by this user (uid %3)")
                .arg(folder)
                .arg(status.st_uid)
                .arg(::geteuid());
        return false;
    }
    if ((status.st_mode & 077) != 0) {
        *errorString =
            QStringLiteral(
                "hostmsg folder %1 is open to group or others (mode %2); it must be 0700")
                .arg(folder, octalMode(status.st_mode));
        return false;
    }
    return true;
}

QString titleLinkName(const QString &title)
{
    return QStringLiteral("title-") + QString::fromLatin1(title.toUtf8().toHex());
}

QByteArray socketFileName(Handle handle)
{
    return QByteArray::number(handle) + ".sock";
}

Handle handleFromSocketFileName(const QByteArray &name)
{
    if (!name.endsWith(".sock"))
        return 0;
    const QByteArray digits = name.chopped(5);
    // Only the plain decimal form this module writes: no sign, no leading zero,
    // so one handle has exactly one file name.
    if (digits.isEmpty() || digits.startsWith('0'))
        return 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return 0;
    }
    bool ok = false;
    const Handle handle = digits.toULongLong(&ok);
    return ok ? handle : 0;
}

} // namespace hostmsg
