#pragma once

#include "hostmsg.h"

#include <QByteArray>
#include <QString>

// The folder that holds every endpoint of one user, and the names inside it.
// Only its owner may reach it: whoever can create files there can register
// windows under any title and read every message sent to them.
namespace hostmsg {

// $ORVALA_RUNTIME_DIR, else $XDG_RUNTIME_DIR/orvala, else /tmp/orvala-<uid>.
QString defaultRuntimeFolder();

// Creates `folder` (the last component only, mode 0700) when it is missing and
// checks that it is a real directory that this user owns and nobody else may
// use. False with the reason in `errorString` otherwise.
bool preparePrivateFolder(const QString &folder, QString *errorString);

// Titles are stored as the hex of their UTF-8 bytes, so any title, including
// one with '/' in it, makes a valid file name. A file name has at most 255
// bytes, which leaves this many for the title.
inline constexpr qsizetype MaxTitleBytes = 124;

// "title-<lowercase hex of the UTF-8 bytes>".
QString titleLinkName(const QString &title);

// "<handle in decimal>.sock": the file name of an endpoint's socket, which is
// also what its title link points to.
QByteArray socketFileName(Handle handle);
// The handle a socket file name or title link target names, or 0 when it is not one.
Handle handleFromSocketFileName(const QByteArray &name);

} // namespace hostmsg
