#pragma once

#include "record.h"

#include <QByteArray>
#include <QHash>

#include <functional>
#include <memory>
#include <type_traits>

// The record classes a reader may create, by class name. Each program builds
// one registry of its own record classes at start and hands it to its readers.
class RecordRegistry
{
public:
    using Factory = std::function<std::shared_ptr<Record>()>;

    struct ClassInfo
    {
        QByteArray name;
        quint16 schema = Record::Schema;
        Factory create;
    };

    // Returns false when a class of that name is registered already.
    bool add(QByteArray name, quint16 schema, Factory create);

    template<class T> bool add()
    {
        static_assert(std::is_base_of_v<Record, T>);
        return add(QByteArray(T::ClassName.data(), T::ClassName.size()), T::Schema,
                   [] { return std::make_shared<T>(); });
    }

    const ClassInfo *find(QByteArrayView name) const;
    qsizetype size() const { return m_classes.size(); }

private:
    QHash<QByteArray, ClassInfo> m_classes;
};
