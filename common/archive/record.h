#pragma once

#include <QLatin1StringView>
#include <QtGlobal>

class Archive;

// A serializable record: one serialize() call writes or reads its fields in
// a fixed order, depending on the archive's direction. A derived record lets its
// base serialize first.
//
// className() must return a view of static storage (a string literal): the
// writer keys its class table on it.
class Record
{
public:
    static constexpr quint16 Schema = 1;

    Record() = default;
    Record(const Record &) = default;
    Record &operator=(const Record &) = default;
    virtual ~Record() = default;

    virtual QLatin1StringView className() const = 0;
    virtual quint16 schema() const { return Schema; }
    virtual void serialize(Archive &ar) = 0;
};

// Declares the class name of a record class that the registry can create.
#define ORVALA_RECORD(Name)                                                                        \
public:                                                                                            \
    static constexpr QLatin1StringView ClassName{#Name};                                           \
    QLatin1StringView className() const override                                                   \
    {                                                                                              \
        return ClassName;                                                                          \
    }                                                                                              \
                                                                                                   \
private:
