#pragma once

// Small record classes that exercise every encoding of the archive: the unit
// tests, the fuzzer and its seed corpus share them.

#include "archive.h"

#include <memory>
#include <vector>

namespace archivetest {

// Held by value inside other records: no tag, no index.
struct ValueRecord : Record
{
    // Never written (held by value), so the name is free to change.
    ORVALA_RECORD(ValueRecord)
public:
    quint8 type = 0;
    double value = 0;

    void serialize(Archive &ar) override
    {
        ar.uint8(type);
        ar.float64(value);
    }
    bool operator==(const ValueRecord &other) const
    {
        return type == other.type && value == other.value;
    }
};

// Registered under the name the worked examples use for a tag.
struct TagRecord : Record
{
    static constexpr QLatin1StringView ClassName{"CModTag"};
    QLatin1StringView className() const override { return ClassName; }

    QString name;
    qint32 number = 0;

    void serialize(Archive &ar) override
    {
        quint16 version = 0;
        ar.uint16(version);
        ar.string(name);
        ar.int32(number);
    }
};

// A named node with children of any registered class.
struct GroupRecord : Record
{
    static constexpr QLatin1StringView ClassName{"TGroup"};
    QLatin1StringView className() const override { return ClassName; }

    QString name;
    std::vector<std::shared_ptr<Record>> children;

    void serialize(Archive &ar) override
    {
        ar.string(name);
        ar.objectArray(children);
    }
};

// One of every primitive, and an embedded record.
struct PrimitivesRecord : Record
{
    static constexpr QLatin1StringView ClassName{"TPrimitives"};
    QLatin1StringView className() const override { return ClassName; }

    quint8 u8 = 0;
    qint8 i8 = 0;
    quint16 u16 = 0;
    qint16 i16 = 0;
    quint32 u32 = 0;
    qint32 i32 = 0;
    qint64 i64 = 0;
    bool b32 = false;
    float f32 = 0;
    double f64 = 0;
    std::chrono::sys_seconds time{};
    QString text;
    quint32 count = 0;
    ValueRecord value;

    void serialize(Archive &ar) override
    {
        ar.uint8(u8);
        ar.int8(i8);
        ar.uint16(u16);
        ar.int16(i16);
        ar.uint32(u32);
        ar.int32(i32);
        ar.int64(i64);
        ar.bool32(b32);
        ar.float32(f32);
        ar.float64(f64);
        ar.time(time);
        ar.string(text);
        ar.count(count);
        ar.embedded(value);
    }
};

// The outermost record of a test payload: a format word, the items, and the
// same items again (the second array is written as back-references).
struct DocumentRecord : Record
{
    static constexpr QLatin1StringView ClassName{"TDocument"};
    QLatin1StringView className() const override { return ClassName; }

    quint16 format = 0;
    std::vector<std::shared_ptr<Record>> items;
    std::vector<std::shared_ptr<Record>> again;

    void serialize(Archive &ar) override
    {
        ar.uint16(format);
        ar.objectArray(items);
        ar.objectArray(again);
    }
};

inline RecordRegistry makeRegistry()
{
    RecordRegistry registry;
    // The class names are bytes of the golden vectors: part of the format.
    registry.add<TagRecord>();
    registry.add<GroupRecord>();
    registry.add<PrimitivesRecord>();
    return registry;
}

} // namespace archivetest
