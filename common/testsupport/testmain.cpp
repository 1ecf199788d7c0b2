// Every test process gets its own temporary home before Qt starts: hostmsg
// folder, XDG config and data folders (QSettings, QStandardPaths) and the
// system-scope config folders. Tests then run in parallel and never read or
// write the user's own settings.
#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#ifdef ORVALA_TEST_WIDGETS
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

#include <sys/stat.h>

namespace {

void makePrivateFolder(const QString &path)
{
    QDir().mkpath(path);
    ::chmod(QFile::encodeName(path).constData(), 0700);
}

} // namespace

int main(int argc, char **argv)
{
    QTemporaryDir root(QDir::tempPath() + QStringLiteral("/orvala-test-XXXXXX"));
    if (!root.isValid()) {
        fprintf(stderr, "cannot create a temporary folder: %s\n", qPrintable(root.errorString()));
        return 2;
    }
    const QString base = root.path();
    const struct
    {
        const char *variable;
        const char *folder;
    } folders[] = {
        {"ORVALA_RUNTIME_DIR", "run"},    {"XDG_RUNTIME_DIR", "xdg-run"},
        {"XDG_CONFIG_HOME", "config"},    {"XDG_DATA_HOME", "data"},
        {"XDG_CACHE_HOME", "cache"},      {"XDG_CONFIG_DIRS", "system-config"},
        {"XDG_DATA_DIRS", "system-data"}, {"HOME", "home"},
    };
    for (const auto &f : folders) {
        const QString path = base + QLatin1Char('/') + QLatin1StringView(f.folder);
        makePrivateFolder(path);
        qputenv(f.variable, QFile::encodeName(path));
    }
    qputenv("ORVALA_TEST_TEMP_ROOT", QFile::encodeName(base));

    // Widgets draw on the offscreen platform unless a display is asked for.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    ::testing::InitGoogleTest(&argc, argv);
    TestApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
