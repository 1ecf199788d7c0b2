#include "archivereader.h"

#include "archive.h"
#include "windows1252.h"

#include "archivemarkers.h"

#include <QtEndian>

#include <bit>
#include <cstring>

using namespace ArchiveMarker;

ArchiveReader::ArchiveReader(QByteArrayView data, const RecordRegistry &registry)
    : m_data(data), m_registry(registry)
{}

void ArchiveReader::failAt(qsizetype offset, ArchiveError error, const QString &message)
{
    if (!m_status.ok())
        return; // the first failure is the one that counts
    m_status = ArchiveStatus{error, message, offset};
}

bool ArchiveReader::take(void *out, qsizetype size, const char *what)
{
    if (!ok())
        return false;
    if (size > remaining()) {
        fail(ArchiveError::EndOfData, QStringLiteral("data ends inside %1 (%2 of %3 bytes present)")
                                          .arg(QLatin1StringView(what))
                                          .arg(remaining())
                                          .arg(size));
        m_pos = m_data.size();
        return false;
    }
    std::memcpy(out, m_data.data() + m_pos, size_t(size));
    m_pos += size;
    return true;
}

template<class T> T ArchiveReader::readLittleEndian(const char *what)
{
    T value{};
    if (!take(&value, sizeof value, what))
        return T{};
    return qFromLittleEndian(value);
}

quint8 ArchiveReader::readUInt8()
{
    return readLittleEndian<quint8>("a uint8");
}
qint8 ArchiveReader::readInt8()
{
    return readLittleEndian<qint8>("an int8");
}
quint16 ArchiveReader::readUInt16()
{
    return readLittleEndian<quint16>("a uint16");
}
qint16 ArchiveReader::readInt16()
{
    return readLittleEndian<qint16>("an int16");
}
quint32 ArchiveReader::readUInt32()
{
    return readLittleEndian<quint32>("a uint32");
}
qint32 ArchiveReader::readInt32()
{
    return readLittleEndian<qint32>("an int32");
}
qint64 ArchiveReader::readInt64()
{
    return readLittleEndian<qint64>("an int64");
}
bool ArchiveReader::readBool32()
{
    return readInt32() != 0;
}
float ArchiveReader::readFloat32()
{
    return std::bit_cast<float>(readLittleEndian<quint32>("a float32"));
}
double ArchiveReader::readFloat64()
{
    return std::bit_cast<double>(readLittleEndian<quint64>("a float64"));
}

std::chrono::sys_seconds ArchiveReader::readTime()
{
    const quint32 first = readLittleEndian<quint32>("a time");
    // Older writers put a signed 32-bit time in place of the marker.
    const qint64 seconds =
        first == LongTimeMarker ? readLittleEndian<qint64>("a time") : qint64(qint32(first));
    return std::chrono::sys_seconds(std::chrono::seconds(seconds));
}

qint64 ArchiveReader::readStringLength(bool &wide)
{
    wide = false;
    quint8 byteLength = readUInt8();
    if (byteLength < LengthEscape)
        return byteLength;
    quint16 wordLength = readUInt16();
    if (wordLength == WideMarker) {
        wide = true;
        byteLength = readUInt8();
        if (byteLength < LengthEscape)
            return byteLength;
        wordLength = readUInt16();
    }
    if (wordLength < 0xFFFF)
        return wordLength;
    const quint32 longLength = readUInt32();
    if (longLength < 0xFFFFFFFF)
        return longLength;
    const qsizetype at = m_pos;
    const qint64 hugeLength = readInt64();
    if (ok() && (hugeLength < 0 || hugeLength > 0x7FFFFFFF)) {
        failAt(at, ArchiveError::Generic,
               QStringLiteral("string length %1 is outside 0 to 2147483647").arg(hugeLength));
        return 0;
    }
    return hugeLength;
}

QString ArchiveReader::readString()
{
    bool wide = false;
    const qint64 length = readStringLength(wide);
    if (!ok())
        return {};
    const qint64 bytes = wide ? length * 2 : length;
    // Checked before allocating, so a hostile length costs nothing.
    if (bytes > remaining()) {
        fail(ArchiveError::EndOfData,
             QStringLiteral("data ends inside a string of %1 characters").arg(length));
        m_pos = m_data.size();
        return {};
    }
    const char *characters = m_data.data() + m_pos;
    m_pos += bytes;
    if (!wide)
        return fromWindows1252(QByteArrayView(characters, bytes));

    QString text(qsizetype(length), Qt::Uninitialized);
    if constexpr (QSysInfo::ByteOrder == QSysInfo::LittleEndian) {
        std::memcpy(text.data(), characters, size_t(bytes));
    } else {
        for (qint64 i = 0; i < length; ++i)
            text[i] = QChar(qFromLittleEndian<quint16>(characters + 2 * i));
    }
    return text;
}

quint32 ArchiveReader::readCount()
{
    const quint16 shortCount = readUInt16();
    return shortCount < 0xFFFF ? shortCount : readUInt32();
}

std::shared_ptr<Record> ArchiveReader::readObject()
{
    if (!ok())
        return nullptr;

    const qsizetype at = m_pos;
    const quint16 tag = readUInt16();
    if (!ok())
        return nullptr;
    if (tag == NewClassTag)
        return readNewClassObject(at);

    quint32 index = 0;
    bool isClass = false;
    if (tag == BigObjectTag) {
        const quint32 bigTag = readUInt32();
        if (!ok())
            return nullptr;
        isClass = (bigTag & BigClassTag) != 0;
        index = bigTag & ~BigClassTag;
    } else {
        isClass = (tag & ClassTag) != 0;
        index = tag & ~ClassTag;
    }

    if (!isClass && index == 0)
        return nullptr; // the null reference

    if (index == 0 || index >= m_index.size()) {
        failAt(at, ArchiveError::BadIndex,
               QStringLiteral("%1 index %2 is not defined (%3 indexes so far)")
                   .arg(isClass ? QStringLiteral("class") : QStringLiteral("object"))
                   .arg(index)
                   .arg(m_index.size() - 1));
        return nullptr;
    }

    const IndexEntry &entry = m_index[index];
    if (isClass) {
        if (!entry.classInfo) {
            failAt(at, ArchiveError::BadIndex,
                   QStringLiteral("index %1 names an object where a class is expected").arg(index));
            return nullptr;
        }
        return createAndRead(*entry.classInfo);
    }
    if (!entry.object) {
        failAt(at, ArchiveError::BadIndex,
               QStringLiteral("index %1 names a class where an object is expected").arg(index));
        return nullptr;
    }
    // A record that contained itself would form a cycle: never freed, and
    // endless for every walk over the tree. No writer of this system makes one.
    if (entry.reading) {
        failAt(at, ArchiveError::BadIndex,
               QStringLiteral("object %1 refers to itself while being read").arg(index));
        return nullptr;
    }
    return entry.object;
}

std::shared_ptr<Record> ArchiveReader::readNewClassObject(qsizetype tagOffset)
{
    const qsizetype at = tagOffset;
    const quint16 schema = readUInt16();
    const quint16 nameLength = readUInt16();
    if (!ok())
        return nullptr;
    if (nameLength >= MaxClassNameLength) {
        failAt(at, ArchiveError::BadClass,
               QStringLiteral("class name of %1 bytes is too long").arg(nameLength));
        return nullptr;
    }
    if (nameLength > remaining()) {
        fail(ArchiveError::EndOfData, QStringLiteral("data ends inside a class name"));
        m_pos = m_data.size();
        return nullptr;
    }
    const QByteArrayView name(m_data.data() + m_pos, nameLength);
    m_pos += nameLength;

    const RecordRegistry::ClassInfo *info = m_registry.find(name);
    if (!info) {
        failAt(at, ArchiveError::BadClass,
               QStringLiteral("no record class is named \"%1\"").arg(QString::fromLatin1(name)));
        return nullptr;
    }
    if (info->schema != schema) {
        failAt(at, ArchiveError::BadSchema,
               QStringLiteral("class %1 has schema %2, expected %3")
                   .arg(QString::fromLatin1(info->name))
                   .arg(schema)
                   .arg(info->schema));
        return nullptr;
    }
    // The class takes its index before the object it introduces.
    m_index.push_back(IndexEntry{info, nullptr});
    return createAndRead(*info);
}

std::shared_ptr<Record> ArchiveReader::createAndRead(const RecordRegistry::ClassInfo &info)
{
    std::shared_ptr<Record> object = info.create();
    if (!object) {
        fail(ArchiveError::BadClass,
             QStringLiteral("class %1 could not be created").arg(QString::fromLatin1(info.name)));
        return nullptr;
    }
    // Indexed before its fields are read, as the writer numbers it: objects
    // inside it take the indexes after it.
    const size_t index = m_index.size();
    m_index.push_back(IndexEntry{nullptr, object, true});
    serializeNested(*object);
    m_index[index].reading = false;
    return ok() ? object : nullptr;
}

void ArchiveReader::serializeNested(Record &record)
{
    if (m_depth >= MaxNesting) {
        fail(ArchiveError::Generic,
             QStringLiteral("records nested deeper than %1 levels").arg(MaxNesting));
        return;
    }
    ++m_depth;
    Archive archive(*this);
    record.serialize(archive);
    --m_depth;
}

void ArchiveReader::readRecord(Record &record)
{
    serializeNested(record);
}
