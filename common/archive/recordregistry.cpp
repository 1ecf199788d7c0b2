#include "recordregistry.h"

bool RecordRegistry::add(QByteArray name, quint16 schema, Factory create)
{
    if (name.isEmpty() || !create || m_classes.contains(name))
        return false;
    ClassInfo info{name, schema, std::move(create)};
    m_classes.insert(std::move(name), std::move(info));
    return true;
}

const RecordRegistry::ClassInfo *RecordRegistry::find(QByteArrayView name) const
{
    const auto it = m_classes.constFind(name.toByteArray());
    return it == m_classes.cend() ? nullptr : &it.value();
}
