#pragma once

#include "archiveerror.h"
#include "record.h"
#include "recordregistry.h"

#include <QByteArrayView>
#include <QString>

#include <chrono>
#include <memory>
#include <vector>

// Reads the archive encoding in place from a byte range the caller keeps alive.
//
// The first failure is sticky: every later read returns a zero value and reads
// nothing, so a record's serialize() can read all its fields and the caller checks
// status() once at the end.
class ArchiveReader
{
public:
    // Records nested inside records deeper than this are refused, so a hostile
    // payload cannot exhaust the stack.
    static constexpr int MaxNesting = 200;
    // Class names of this length or longer are refused.
    static constexpr int MaxClassNameLength = 64;

    ArchiveReader(QByteArrayView data, const RecordRegistry &registry);
    // The reader does not copy: a temporary buffer would be gone before the
    // first read.
    ArchiveReader(QByteArray &&, const RecordRegistry &) = delete;

    quint8 readUInt8();
    qint8 readInt8();
    quint16 readUInt16();
    qint16 readInt16();
    quint32 readUInt32();
    qint32 readInt32();
    qint64 readInt64();
    bool readBool32();
    float readFloat32();
    double readFloat64();
    std::chrono::sys_seconds readTime();
    QString readString();
    quint32 readCount();

    // A reference with class tag: a new object of a registered class (read with
    // its fields), the object already read under a back-reference, or nullptr for
    // the null reference.
    std::shared_ptr<Record> readObject();

    // As readObject, but the object must be a T: anything else is a bad class.
    template<class T> std::shared_ptr<T> readObject()
    {
        std::shared_ptr<Record> object = readObject();
        if (!object)
            return nullptr;
        auto typed = std::dynamic_pointer_cast<T>(object);
        if (!typed)
            fail(ArchiveError::BadClass, QStringLiteral("a %1 stands where another kind of record "
                                                        "is expected")
                                             .arg(QLatin1StringView(object->className())));
        return typed;
    }

    // Replaces `objects` with the array read. Elements may not be null: no
    // writer of this system produces a null element, and every user of an
    // array relies on its elements.
    template<class T> void readObjectArray(std::vector<std::shared_ptr<T>> &objects)
    {
        objects.clear();
        const quint32 count = readCount();
        // Every element takes at least two bytes, so a count beyond that is
        // not sized up front: a hostile count must not allocate gigabytes.
        objects.reserve(std::min<qsizetype>(count, remaining() / 2));
        for (quint32 i = 0; i < count && ok(); ++i) {
            const qsizetype at = m_pos;
            auto object = readObject<T>();
            if (!ok())
                break;
            if (!object) {
                failAt(at, ArchiveError::BadIndex,
                       QStringLiteral("null element in an object array"));
                break;
            }
            objects.push_back(std::move(object));
        }
        if (!ok())
            objects.clear();
    }

    // Reads the outermost record of a payload: its fields, with no class tag.
    void readRecord(Record &record);

    bool ok() const { return m_status.ok(); }
    const ArchiveStatus &status() const { return m_status; }
    qsizetype position() const { return m_pos; }
    qsizetype remaining() const { return m_data.size() - m_pos; }
    bool atEnd() const { return m_pos >= m_data.size(); }

    void fail(ArchiveError error, const QString &message) { failAt(m_pos, error, message); }
    void failAt(qsizetype offset, ArchiveError error, const QString &message);

private:
    bool take(void *out, qsizetype size, const char *what);
    template<class T> T readLittleEndian(const char *what);
    qint64 readStringLength(bool &wide);
    std::shared_ptr<Record> readNewClassObject(qsizetype tagOffset);
    std::shared_ptr<Record> createAndRead(const RecordRegistry::ClassInfo &info);
    void serializeNested(Record &record);

    struct IndexEntry
    {
        const RecordRegistry::ClassInfo *classInfo = nullptr; // set for a class
        std::shared_ptr<Record> object;                       // set for an object
        bool reading = false;                                 // the object's fields are being read
    };

    QByteArrayView m_data;
    const RecordRegistry &m_registry;
    qsizetype m_pos = 0;
    ArchiveStatus m_status;
    std::vector<IndexEntry> m_index{IndexEntry{}}; // index 0 is the null reference
    int m_depth = 0;
};
