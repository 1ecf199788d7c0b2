#pragma once

#include "projectfile.h"

#include <QByteArray>
#include <QString>

// Projects and file helpers shared by the drxtool tests.
namespace testprojects {

// A project in the exact form `drxtool dump` prints: a TCP and an RTU channel,
// every setting of the first device of each and of the first tag changed from
// its default, groups nested three deep, descriptions with non-ASCII letters,
// an emoji, escapes and a lone surrogate.
QByteArray everySettingChanged();

// A project put together with the model classes, as the driver would save it:
// both channel kinds, groups nested three deep, and a tag whose BitNumber was
// left behind when its address lost the bit part.
Channels modelProject();

// A path in this test process's private temporary folder.
QString tempPath(const QString &name);
QByteArray readFile(const QString &path);
bool writeFile(const QString &path, const QByteArray &bytes);

} // namespace testprojects
