#include "taglist.h"

#include "archive.h"

qsizetype TagList::indexOf(const CModTag *tag) const
{
    for (size_t i = 0; i < m_tags.size(); ++i) {
        if (m_tags[i].get() == tag)
            return qsizetype(i);
    }
    return -1;
}

void TagList::indexTag(CModTag *tag) const
{
    // A file may hold two tags of one name; lookups find the first.
    const auto existing = m_byName.constFind(tag->TagName);
    if (existing == m_byName.cend())
        m_byName.insert(tag->TagName, tag);
}

void TagList::append(std::shared_ptr<CModTag> tag)
{
    if (m_indexed)
        indexTag(tag.get());
    m_tags.push_back(std::move(tag));
}

void TagList::insert(qsizetype index, std::shared_ptr<CModTag> tag)
{
    m_tags.insert(m_tags.begin() + index, std::move(tag));
    m_indexed = false; // "first of that name" may have changed
}

std::shared_ptr<CModTag> TagList::take(const CModTag *tag)
{
    const qsizetype index = indexOf(tag);
    if (index < 0)
        return nullptr;
    std::shared_ptr<CModTag> taken = std::move(m_tags[size_t(index)]);
    m_tags.erase(m_tags.begin() + index);
    m_indexed = false;
    return taken;
}

void TagList::clear()
{
    m_tags.clear();
    m_byName.clear();
    m_indexed = false;
}

CModTag *TagList::find(const QString &name) const
{
    if (!m_indexed) {
        m_byName.clear();
        m_byName.reserve(qsizetype(m_tags.size()));
        for (const auto &tag : m_tags)
            indexTag(tag.get());
        m_indexed = true;
    }
    return m_byName.value(name, nullptr);
}

void TagList::rename(CModTag *tag, const QString &name)
{
    tag->TagName = name;
    m_indexed = false;
}

void TagList::serialize(Archive &ar)
{
    ar.objectArray(m_tags);
    if (ar.isLoading())
        m_indexed = false;
}
