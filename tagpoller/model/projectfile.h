#pragma once

#include "cmodchnl.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

using Channels = std::vector<std::shared_ptr<CModChnl>>;

// The record classes a project payload may hold.
const RecordRegistry &projectRecordClasses();

// The archive inside a project file: a format word, then the channels.
class ProjectPayload : public Record
{
    ORVALA_RECORD(ProjectPayload)
public:
    quint16 format = 0; // written 0, read and ignored
    Channels channels;

    void serialize(Archive &ar) override;
};

// Reading and writing *.drx files: the payload wrapped in its envelope.
namespace ProjectFile {

enum class Error {
    None,
    CannotOpen,      // missing or unreadable file: ignored without a message
    TooShort,        // under 2048 bytes: not a project file, ignored without a message
    NotAProjectFile, // envelope markers wrong
    Unreadable,      // the payload does not decode completely
    CannotWrap,      // payload under 10 bytes (no channels) or over 100 MiB
    CannotWrite,     // the file could not be written; the old one is untouched
};

struct Loaded
{
    Error error = Error::None;
    QString message; // for the failures the user is told about
    Channels channels;
};

QByteArray encodePayload(const Channels &channels);
Loaded decodePayload(QByteArrayView payload);

// Reads a whole project file. Every object read has isNew cleared.
Loaded load(const QString &path);
Loaded loadBytes(QByteArrayView file, const QString &pathForMessages);

struct Saved
{
    Error error = Error::None;
    QString message;
};

// Writes the file beside the old one and replaces it only once complete, so a
// failed save never destroys the previous file.
Saved save(const QString &path, const Channels &channels);

} // namespace ProjectFile
