#include "cmodtaggroup.h"

CModTag *CModTagGroup::findTagByPath(QStringView path, qint32 requestId)
{
    return TagTree::findByPath(tags, groups, path, requestId);
}

CModTag *CModTagGroup::findTagByRequestId(qint32 requestId)
{
    return TagTree::findByRequestId(tags, groups, requestId);
}

void CModTagGroup::serialize(Archive &ar)
{
    CModObject::serialize(ar);
    quint16 groupVersion = 0;
    ar.uint16(groupVersion);
    tags.serialize(ar);
    ar.objectArray(groups);
}

namespace TagTree {

CModTagGroup *findGroup(const TagGroups &groups, QStringView name)
{
    for (const auto &group : groups) {
        if (group->name == name)
            return group.get();
    }
    return nullptr;
}

CModTag *findByPath(TagList &tags, const TagGroups &groups, QStringView path, qint32 requestId)
{
    const qsizetype dot = path.indexOf(u'.');
    if (dot < 0) {
        CModTag *tag = tags.find(path.toString());
        if (tag)
            tag->setRequestId(requestId);
        return tag;
    }
    CModTagGroup *group = findGroup(groups, path.first(dot));
    return group ? group->findTagByPath(path.sliced(dot + 1), requestId) : nullptr;
}

CModTag *findByRequestId(const TagList &tags, const TagGroups &groups, qint32 requestId)
{
    if (requestId == 0)
        return nullptr;
    for (const auto &tag : tags) {
        if (CModTag *match = tag->matchRequestId(requestId))
            return match;
    }
    for (const auto &group : groups) {
        if (CModTag *match = group->findTagByRequestId(requestId))
            return match;
    }
    return nullptr;
}

qsizetype countAll(const TagList &tags, const TagGroups &groups)
{
    qsizetype count = tags.size();
    for (const auto &group : groups)
        count += countAll(group->tags, group->groups);
    return count;
}

} // namespace TagTree
