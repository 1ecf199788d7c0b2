// The hostmsg folder: where it is, how it is made, and which folders are refused.
#include "desktop.h"
#include "runtimefolder.h"
#include "testenvironment.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <limits>

#include <sys/stat.h>
#include <unistd.h>

using namespace hostmsg;

namespace {

QString makeFolder(const QString &name, mode_t mode)
{
    const QString path = testsupport::tempRoot() + QLatin1Char('/') + name;
    QDir().mkpath(path);
    ::chmod(QFile::encodeName(path).constData(), mode);
    return path;
}

mode_t modeOf(const QString &path)
{
    struct stat status;
    if (::lstat(QFile::encodeName(path).constData(), &status) != 0)
        return 0;
    return status.st_mode & 07777;
}

// A refused Desktop must refuse everything, not only open().
void expectEveryOperationFails(Desktop &desktop)
{
    EXPECT_FALSE(desktop.isOpen());
    EXPECT_EQ(desktop.createWindow(QStringLiteral("refused")), nullptr);
    EXPECT_EQ(desktop.findWindow(QStringLiteral("refused")), 0u);
    EXPECT_EQ(desktop.sendMessage((Handle(::getpid()) << 20) | 1, WM_USER), 0);
    EXPECT_FALSE(desktop.postMessage((Handle(::getpid()) << 20) | 1, WM_USER));
}

} // namespace

TEST(RuntimeFolder, TitleLinkNameIsTheHexOfTheUtf8Title)
{
    const struct
    {
        QString title;
        const char *name;
    } rows[] = {
        {QStringLiteral("Orvala Modbus Driver (Beta)"),
         "title-4f7276616c61204d6f646275732044726976657220284265746129"},
        {QStringLiteral("Z\u00e4hler"), "title-5ac3a4686c6572"},
        {QStringLiteral("a/b"), "title-612f62"},
        {QString(), "title-"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(qPrintable(row.title));
        EXPECT_EQ(titleLinkName(row.title), QLatin1StringView(row.name));
    }
}

TEST(RuntimeFolder, SocketFileNamesNameExactlyOneHandle)
{
    constexpr Handle largest = std::numeric_limits<Handle>::max();
    EXPECT_EQ(socketFileName(12), QByteArray("12.sock"));
    EXPECT_EQ(handleFromSocketFileName("12.sock"), 12u);
    EXPECT_EQ(handleFromSocketFileName(socketFileName(largest)), largest);

    for (const char *name : {"0.sock", "012.sock", "+12.sock", "-12.sock", "12", "12.sock.tmp",
                             "x12.sock", ".sock", "", "18446744073709551616.sock", "../12.sock"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(handleFromSocketFileName(name), 0u);
    }
}

TEST(RuntimeFolder, DefaultFolderFollowsTheEnvironment)
{
    qputenv("ORVALA_RUNTIME_DIR", "/somewhere/run");
    qputenv("XDG_RUNTIME_DIR", "/run/user/7");
    EXPECT_EQ(Desktop::defaultFolder(), QStringLiteral("/somewhere/run"));
    qunsetenv("ORVALA_RUNTIME_DIR");
    EXPECT_EQ(Desktop::defaultFolder(), QStringLiteral("/run/user/7/orvala"));
    qputenv("XDG_RUNTIME_DIR", "");
    EXPECT_EQ(Desktop::defaultFolder(), QStringLiteral("/tmp/orvala-%1").arg(::geteuid()));
}

TEST(RuntimeFolder, MissingFolderIsCreatedPrivate)
{
    const QString path = testsupport::tempRoot() + QStringLiteral("/fresh");
    const mode_t previousMask = ::umask(0); // the folder must be 0700 whatever the umask
    Desktop desktop(path);
    const bool opened = desktop.open();
    ::umask(previousMask);
    ASSERT_TRUE(opened) << qPrintable(desktop.errorString());
    EXPECT_EQ(modeOf(path), mode_t(0700));
}

TEST(RuntimeFolder, FolderOpenToGroupIsRefused)
{
    const QString path = makeFolder(QStringLiteral("group"), 0750);
    Desktop desktop(path);
    EXPECT_FALSE(desktop.open());
    EXPECT_EQ(
        desktop.errorString(),
        QStringLiteral("hostmsg folder %1 is open to group or others (mode 0750); it must be 0700")
            .arg(path));
    expectEveryOperationFails(desktop);
}

TEST(RuntimeFolder, FolderOpenToOthersIsRefused)
{
    const QString path = makeFolder(QStringLiteral("others"), 0705);
    Desktop desktop(path);
    EXPECT_FALSE(desktop.open());
    EXPECT_TRUE(desktop.errorString().contains(QLatin1StringView("(mode 0705)")))
        << qPrintable(desktop.errorString());
    expectEveryOperationFails(desktop);
}

TEST(RuntimeFolder, FolderOfAnotherUserIsRefused)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "handing a folder to another user needs root";
    const QString path = makeFolder(QStringLiteral("foreign"), 0700);
    ASSERT_EQ(::chown(QFile::encodeName(path).constData(), 65534, 65534), 0);
    Desktop desktop(path);
    EXPECT_FALSE(desktop.open());
    EXPECT_EQ(desktop.errorString(),
              QStringLiteral("hostmsg folder %1 is owned by uid 65534, not by this user (uid 0)")
                  .arg(path));
    expectEveryOperationFails(desktop);
}

TEST(RuntimeFolder, SymbolicLinkToAPrivateFolderIsRefused)
{
    const QString target = makeFolder(QStringLiteral("real"), 0700);
    const QString link = testsupport::tempRoot() + QStringLiteral("/link");
    ASSERT_TRUE(QFile::link(target, link));
    Desktop desktop(link);
    EXPECT_FALSE(desktop.open());
    EXPECT_TRUE(desktop.errorString().contains(QLatin1StringView("symbolic link")))
        << qPrintable(desktop.errorString());
    expectEveryOperationFails(desktop);
}

TEST(RuntimeFolder, FileInPlaceOfTheFolderIsRefused)
{
    const QString path = testsupport::tempRoot() + QStringLiteral("/plain-file");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    Desktop desktop(path);
    EXPECT_FALSE(desktop.open());
    EXPECT_TRUE(desktop.errorString().contains(QLatin1StringView("is not a directory")))
        << qPrintable(desktop.errorString());
}

TEST(RuntimeFolder, FolderWithoutParentIsNotCreated)
{
    // Only the last component is made: a missing parent means a wrong setting.
    const QString path = testsupport::tempRoot() + QStringLiteral("/missing/run");
    Desktop desktop(path);
    EXPECT_FALSE(desktop.open());
    EXPECT_TRUE(desktop.errorString().startsWith(
        QStringLiteral("cannot create hostmsg folder %1").arg(path)))
        << qPrintable(desktop.errorString());
    EXPECT_FALSE(QFileInfo::exists(path));
}

TEST(RuntimeFolder, FolderTooLongForSocketAddressesIsRefused)
{
    const QString path = makeFolder(QString(90, QLatin1Char('d')), 0700);
    Desktop desktop(path);
    EXPECT_FALSE(desktop.open());
    EXPECT_TRUE(desktop.errorString().contains(QLatin1StringView("is too long")))
        << qPrintable(desktop.errorString());
    expectEveryOperationFails(desktop);
}
