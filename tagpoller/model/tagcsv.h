#pragma once

#include "projectfile.h"

#include <QByteArrayView>
#include <QString>

#include <functional>

class Notifier;
class TagList;

// Tags moved to and from CSV files. The plain format (five columns) exports
// the own tags of one device or group and imports into one; the master format
// (41 columns) exports every tag of the project for the host system's tag
// database. Unicode files are UTF-16LE with a byte order mark, ANSI files one
// byte per character; lines end with CR LF.
namespace TagCsv {

enum class Encoding { Unicode, Ansi };

// Takes one line saying what an import or export did (the event log); every
// transfer, successful or not, gives one line, before any message box shows.
using TransferLog = std::function<void(const QString &line)>;

// Shows "No Tags to Export..." for an empty list and "Failed to open file..."
// when the file cannot be written; false then. An existing file is replaced
// only once the new one is complete.
bool exportPlain(const TagList &tags, const QString &path, Encoding encoding, Notifier &notifier,
                 const TransferLog &log = {});
bool exportMaster(const Channels &channels, const QString &path, Encoding encoding,
                  Notifier &notifier, const TransferLog &log = {});

// Appends the valid rows of `path` to `target`; true when at least one tag
// was added. Rejected rows are listed in the import error file (see below)
// and reported once at the end.
bool importPlain(TagList &target, const QString &path, Encoding encoding, Notifier &notifier,
                 const TransferLog &log = {});

// The import itself, on the bytes of a file: appends the valid rows to
// `target`, calls `refused` with the line number and reason of every row it
// refuses, and returns the number of tags added; -1 when the bytes are no
// file of this encoding (2 bytes or fewer, or Unicode without its mark).
int importPlainBytes(TagList &target, QByteArrayView bytes, Encoding encoding, Notifier &notifier,
                     const std::function<void(int line, const QString &reason)> &refused);

// The import error file of `path`: its extension replaced by "txt"; empty
// when the file name has no extension.
QString importErrorFilePath(const QString &path);

// The plain format's row texts, for tests and tools.
QString plainHeader();
QString plainRow(const CModTag &tag);
QString masterHeader();

} // namespace TagCsv
