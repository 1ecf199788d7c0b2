#pragma once

#include "record.h"

#include <QByteArray>
#include <QHash>
#include <QStringView>

#include <chrono>
#include <memory>
#include <vector>

// Writes the archive encoding into a growable buffer. Writing cannot fail;
// data() is the payload once the outermost record is written.
class ArchiveWriter
{
public:
    // Outgoing payloads grow in steps of this size.
    static constexpr qsizetype GrowStep = 1024;

    ArchiveWriter();

    void writeUInt8(quint8 value);
    void writeInt8(qint8 value);
    void writeUInt16(quint16 value);
    void writeInt16(qint16 value);
    void writeUInt32(quint32 value);
    void writeInt32(qint32 value);
    void writeInt64(qint64 value);
    void writeBool32(bool value);
    void writeFloat32(float value);
    void writeFloat64(double value);
    void writeTime(std::chrono::sys_seconds value);
    void writeString(QStringView value);
    void writeCount(quint32 count);

    // A reference with class tag; the first write of an object writes its
    // fields, later writes of the same object write its index alone.
    void writeObject(Record *object);

    template<class T> void writeObjectArray(const std::vector<std::shared_ptr<T>> &objects)
    {
        m_objectIndex.reserve(m_objectIndex.size() + qsizetype(objects.size()));
        writeCount(quint32(objects.size()));
        for (const auto &object : objects)
            writeObject(object.get());
    }

    // Writes the outermost record of a payload: its fields, with no class tag.
    void writeRecord(Record &record);

    const QByteArray &data() const { return m_data; }
    QByteArray takeData();

private:
    void append(const void *bytes, qsizetype size);
    template<class T> void appendLittleEndian(T value);
    void writeIndex(quint32 index, bool isClass);

    QByteArray m_data;
    QHash<const Record *, quint32> m_objectIndex;
    QHash<QLatin1StringView, quint32> m_classIndex;
    quint32 m_nextIndex = 1; // 0 is the null reference
    // Arrays hold runs of one class: skip the name lookup for a repeat.
    QLatin1StringView m_lastClassName;
    quint32 m_lastClassIndex = 0;
};
