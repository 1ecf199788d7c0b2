#pragma once

#include "cmodobject.h"
#include "taglist.h"

#include <memory>
#include <vector>

class CModTagGroup;
using TagGroups = std::vector<std::shared_ptr<CModTagGroup>>;

// A named folder of tags and sub-groups below a device, nested to any depth.
class CModTagGroup : public CModObject
{
    ORVALA_RECORD(CModTagGroup)
public:
    TagList tags;
    TagGroups groups;

    bool IsTagGroup() const override { return true; }
    TagList *GetTags() override { return &tags; }
    qsizetype GetTagCount() const override { return tags.size(); }
    bool RemoveTag(const CModTag *tag) override { return tags.take(tag) != nullptr; }
    CModTag *FindTagByPath(QStringView path, qint32 requestId) override;
    CModTag *FindTagByRequestId(qint32 requestId) override;

    void serialize(Archive &ar) override;
};

// What devices and groups share: their own tags, then their groups.
namespace TagTree {

CModTag *findByPath(TagList &tags, const TagGroups &groups, QStringView path, qint32 requestId);
CModTag *findByRequestId(const TagList &tags, const TagGroups &groups, qint32 requestId);
// Tags of the list and of every group below, at any depth.
qsizetype countAll(const TagList &tags, const TagGroups &groups);
CModTagGroup *findGroup(const TagGroups &groups, QStringView name);

} // namespace TagTree
