#pragma once

#include "archiveerror.h"
#include "archivereader.h"
#include "archivewriter.h"
#include "record.h"
#include "recordregistry.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <chrono>
#include <memory>
#include <vector>

// What a record's serialize() receives: an archive that is either storing or
// loading. Each transfer operation writes the field when storing and reads into
// it when loading, so a record lists its fields once, in their fixed order, and
// tests isStoring() only where the two directions really differ.
class Archive
{
public:
    explicit Archive(ArchiveWriter &writer) : m_writer(&writer) {}
    explicit Archive(ArchiveReader &reader) : m_reader(&reader) {}

    bool isStoring() const { return m_writer != nullptr; }
    bool isLoading() const { return m_reader != nullptr; }
    // Loading: false once a read has failed. Storing: always true.
    bool ok() const { return !m_reader || m_reader->ok(); }

    ArchiveWriter &writer() { return *m_writer; }
    ArchiveReader &reader() { return *m_reader; }

    void uint8(quint8 &value)
    {
        transfer(value, &ArchiveWriter::writeUInt8, &ArchiveReader::readUInt8);
    }
    void int8(qint8 &value)
    {
        transfer(value, &ArchiveWriter::writeInt8, &ArchiveReader::readInt8);
    }
    void uint16(quint16 &value)
    {
        transfer(value, &ArchiveWriter::writeUInt16, &ArchiveReader::readUInt16);
    }
    void int16(qint16 &value)
    {
        transfer(value, &ArchiveWriter::writeInt16, &ArchiveReader::readInt16);
    }
    void uint32(quint32 &value)
    {
        transfer(value, &ArchiveWriter::writeUInt32, &ArchiveReader::readUInt32);
    }
    void int32(qint32 &value)
    {
        transfer(value, &ArchiveWriter::writeInt32, &ArchiveReader::readInt32);
    }
    void int64(qint64 &value)
    {
        transfer(value, &ArchiveWriter::writeInt64, &ArchiveReader::readInt64);
    }
    void bool32(bool &value)
    {
        transfer(value, &ArchiveWriter::writeBool32, &ArchiveReader::readBool32);
    }
    void float32(float &value)
    {
        transfer(value, &ArchiveWriter::writeFloat32, &ArchiveReader::readFloat32);
    }
    void float64(double &value)
    {
        transfer(value, &ArchiveWriter::writeFloat64, &ArchiveReader::readFloat64);
    }
    void time(std::chrono::sys_seconds &value)
    {
        transfer(value, &ArchiveWriter::writeTime, &ArchiveReader::readTime);
    }
    void count(quint32 &value)
    {
        transfer(value, &ArchiveWriter::writeCount, &ArchiveReader::readCount);
    }

    void string(QString &value)
    {
        if (m_writer)
            m_writer->writeString(value);
        else
            value = m_reader->readString();
    }

    template<class T> void object(std::shared_ptr<T> &object)
    {
        if (m_writer)
            m_writer->writeObject(object.get());
        else
            object = m_reader->readObject<T>();
    }

    template<class T> void objectArray(std::vector<std::shared_ptr<T>> &objects)
    {
        if (m_writer)
            m_writer->writeObjectArray(objects);
        else
            m_reader->readObjectArray(objects);
    }

    // A member record held by value: its fields in place, no tag, no index.
    void embedded(Record &record) { record.serialize(*this); }

private:
    template<class T, class Write, class Read> void transfer(T &value, Write write, Read read)
    {
        if (m_writer)
            (m_writer->*write)(value);
        else
            value = (m_reader->*read)();
    }

    ArchiveWriter *m_writer = nullptr;
    ArchiveReader *m_reader = nullptr;
};

// Payload framing: the outermost record's fields, with no class tag; index
// numbering starts afresh in every payload.
QByteArray writePayload(Record &record);

enum class TrailingBytes { Allowed, Rejected };

// Reads `record` from `payload`. On failure the record is left partly read and
// the caller must abandon it.
ArchiveStatus readPayload(QByteArrayView payload, Record &record, const RecordRegistry &registry,
                          TrailingBytes trailing = TrailingBytes::Allowed);
