#include "archivewriter.h"

#include "archive.h"

#include "archivemarkers.h"

#include <QtEndian>

#include <bit>
#include <cstring>

using namespace ArchiveMarker;

ArchiveWriter::ArchiveWriter()
{
    m_data.reserve(GrowStep);
}

void ArchiveWriter::append(const void *bytes, qsizetype size)
{
    const qsizetype needed = m_data.size() + size;
    if (needed > m_data.capacity()) {
        // Grow geometrically in whole steps, so a million small records do not
        // reallocate a million times.
        const qsizetype grown = std::max(needed, m_data.capacity() + m_data.capacity() / 2);
        m_data.reserve((grown + GrowStep - 1) / GrowStep * GrowStep);
    }
    m_data.append(static_cast<const char *>(bytes), size);
}

template<class T> void ArchiveWriter::appendLittleEndian(T value)
{
    const T little = qToLittleEndian(value);
    append(&little, sizeof little);
}

void ArchiveWriter::writeUInt8(quint8 value)
{
    append(&value, 1);
}
void ArchiveWriter::writeInt8(qint8 value)
{
    append(&value, 1);
}
void ArchiveWriter::writeUInt16(quint16 value)
{
    appendLittleEndian(value);
}
void ArchiveWriter::writeInt16(qint16 value)
{
    appendLittleEndian(value);
}
void ArchiveWriter::writeUInt32(quint32 value)
{
    appendLittleEndian(value);
}
void ArchiveWriter::writeInt32(qint32 value)
{
    appendLittleEndian(value);
}
void ArchiveWriter::writeInt64(qint64 value)
{
    appendLittleEndian(value);
}
void ArchiveWriter::writeBool32(bool value)
{
    writeInt32(value ? 1 : 0);
}
void ArchiveWriter::writeFloat32(float value)
{
    writeUInt32(std::bit_cast<quint32>(value));
}
void ArchiveWriter::writeFloat64(double value)
{
    appendLittleEndian(std::bit_cast<quint64>(value));
}

void ArchiveWriter::writeTime(std::chrono::sys_seconds value)
{
    writeUInt32(LongTimeMarker);
    writeInt64(value.time_since_epoch().count());
}

void ArchiveWriter::writeString(QStringView value)
{
    writeUInt8(LengthEscape);
    writeUInt16(WideMarker);

    const quint64 length = quint64(value.size());
    if (length < 0xFF) {
        writeUInt8(quint8(length));
    } else if (length < 0xFFFE) {
        writeUInt8(LengthEscape);
        writeUInt16(quint16(length));
    } else if (length < 0xFFFFFFFF) {
        writeUInt8(LengthEscape);
        writeUInt16(0xFFFF);
        writeUInt32(quint32(length));
    } else {
        writeUInt8(LengthEscape);
        writeUInt16(0xFFFF);
        writeUInt32(0xFFFFFFFF);
        writeInt64(qint64(length));
    }

    if constexpr (QSysInfo::ByteOrder == QSysInfo::LittleEndian) {
        append(value.utf16(), value.size() * 2);
    } else {
        for (QChar c : value)
            writeUInt16(c.unicode());
    }
}

void ArchiveWriter::writeCount(quint32 count)
{
    if (count < 0xFFFF) {
        writeUInt16(quint16(count));
    } else {
        writeUInt16(0xFFFF);
        writeUInt32(count);
    }
}

void ArchiveWriter::writeIndex(quint32 index, bool isClass)
{
    if (index < BigObjectTag) {
        writeUInt16(quint16(isClass ? (ClassTag | index) : index));
    } else {
        writeUInt16(BigObjectTag);
        writeUInt32(isClass ? (BigClassTag | index) : index);
    }
}

void ArchiveWriter::writeObject(Record *object)
{
    if (!object) {
        writeUInt16(0);
        return;
    }

    if (const auto known = m_objectIndex.constFind(object); known != m_objectIndex.cend()) {
        writeIndex(known.value(), false);
        return;
    }

    const QLatin1StringView className = object->className();
    if (className.data() == m_lastClassName.data() && className.size() == m_lastClassName.size()) {
        writeIndex(m_lastClassIndex, true);
    } else if (const auto known = m_classIndex.constFind(className); known != m_classIndex.cend()) {
        writeIndex(known.value(), true);
        m_lastClassName = className;
        m_lastClassIndex = known.value();
    } else {
        writeUInt16(NewClassTag);
        writeUInt16(object->schema());
        writeUInt16(quint16(className.size()));
        append(className.data(), className.size());
        m_classIndex.insert(className, m_nextIndex);
        m_lastClassName = className;
        m_lastClassIndex = m_nextIndex++;
    }
    m_objectIndex.insert(object, m_nextIndex++);

    Archive archive(*this);
    object->serialize(archive);
}

void ArchiveWriter::writeRecord(Record &record)
{
    Archive archive(*this);
    record.serialize(archive);
}

QByteArray ArchiveWriter::takeData()
{
    m_objectIndex.clear();
    m_classIndex.clear();
    m_nextIndex = 1;
    m_lastClassName = {};
    m_lastClassIndex = 0;
    return std::exchange(m_data, QByteArray());
}
