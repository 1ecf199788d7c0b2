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
    // The class name is written into project files: part of the stored format.
    ORVALA_RECORD(CModTagGroup)
public:
    TagList tags;
    TagGroups groups;

    bool isTagGroup() const override { return true; }
    TagList *tagList() override { return &tags; }
    qsizetype tagCount() const override { return tags.size(); }
    bool removeTag(const CModTag *tag) override { return tags.take(tag) != nullptr; }
    CModTag *findTagByPath(QStringView path, qint32 requestId) override;
    CModTag *findTagByRequestId(qint32 requestId) override;

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
