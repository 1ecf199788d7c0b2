#pragma once

#include <QString>
#include <QStringView>

// Rules about the names of channels, devices, tag groups and tags that go
// beyond each editor's own checks.
namespace ObjectNames {

enum class Kind { Channel, Device, TagGroup, Tag };

// A host addresses a tag by its names joined with ".", so a name holding a
// "." can never be reached. New names are refused with it; names read from
// existing project files keep loading.
bool hasDot(QStringView name);
// "Channel name can not contain ".".", and so on for each kind.
QString dotMessage(Kind kind);
// The message for a new name that holds a ".", or an empty text.
QString checkNewName(QStringView name, Kind kind);

// The longest file name the file systems we write to accept, in UTF-8 bytes.
inline constexpr qsizetype MaximumFileNameBytes = 255;

// `fileName` (a file name made from an object name, such as "<channel>.txt")
// as a plain name inside its folder: path separators and control characters
// become "_", and so do leading dots, so neither "..", "/" nor a hidden file
// can come out of a name; an over-long name is shortened before its
// extension. A name that needs none of this comes back unchanged.
QString safeFileName(const QString &fileName);

} // namespace ObjectNames
