#pragma once

#include <QString>

// Why a read failed. The caller abandons the whole payload on any of these.
enum class ArchiveError {
    None,
    EndOfData, // data ended before a value, a string's characters or a class name
    Generic,   // an impossible length, nesting too deep, bytes left over
    BadClass,  // class name too long, not registered, or of the wrong kind here
    BadSchema, // schema number in the stream differs from the registered one
    BadIndex,  // class or object index of 0, not yet defined, or of the other kind
};

struct ArchiveStatus
{
    ArchiveError error = ArchiveError::None;
    QString message;      // one line for logs and message boxes
    qsizetype offset = 0; // byte offset where the read failed

    bool ok() const { return error == ArchiveError::None; }
};

QString archiveErrorName(ArchiveError error);

// The status as one line for logs and for the sender of a refused payload:
// "end of data at byte 12: data ends inside an int32 (2 of 4 bytes present)".
QString describeArchiveStatus(const ArchiveStatus &status);
