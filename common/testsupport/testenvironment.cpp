#include "testenvironment.h"

#include <QCoreApplication>
#include <QDir>

namespace testsupport {

QString tempRoot()
{
    return qEnvironmentVariable("ORVALA_TEST_TEMP_ROOT");
}

QString builtProgram(const QString &relativePath)
{
    QString buildDir = qEnvironmentVariable("ORVALA_TEST_BINARY_DIR");
    if (buildDir.isEmpty()) // run by hand from its own folder inside the build tree
        buildDir = QCoreApplication::applicationDirPath() + QStringLiteral("/../..");
    return QDir(buildDir).absoluteFilePath(relativePath);
}

} // namespace testsupport
