#pragma once

#include "cmodtag.h"

#include <QHash>
#include <QString>

#include <memory>
#include <vector>

class Archive;

// The tags of one device or group, in list order, with a name index so that
// name checks and lookups stay fast with many thousands of tags. A tag in the
// list is renamed through rename(), which keeps the index right.
class TagList
{
public:
    using Tags = std::vector<std::shared_ptr<CModTag>>;

    const Tags &tags() const { return m_tags; }
    Tags::const_iterator begin() const { return m_tags.begin(); }
    Tags::const_iterator end() const { return m_tags.end(); }
    qsizetype size() const { return qsizetype(m_tags.size()); }
    bool isEmpty() const { return m_tags.empty(); }
    CModTag *at(qsizetype index) const { return m_tags[size_t(index)].get(); }
    qsizetype indexOf(const CModTag *tag) const;

    void append(std::shared_ptr<CModTag> tag);
    void insert(qsizetype index, std::shared_ptr<CModTag> tag);
    // Removes and returns the tag; nullptr if it is not in this list.
    std::shared_ptr<CModTag> take(const CModTag *tag);
    void clear();

    // Exact, case-sensitive name comparison; the first tag of that name.
    CModTag *find(const QString &name) const;
    bool contains(const QString &name) const { return find(name) != nullptr; }
    void rename(CModTag *tag, const QString &name);

    // The tags as an object array.
    void serialize(Archive &ar);

private:
    void indexTag(CModTag *tag) const;

    Tags m_tags;
    mutable QHash<QString, CModTag *> m_byName;
    mutable bool m_indexed = false;
};
