#include "projecttreemodel.h"

#include <algorithm>
#include <functional>

struct ProjectTreeModel::Node
{
    CModObject *object = nullptr; // nullptr for the invisible root
    Node *parent = nullptr;
    std::vector<std::unique_ptr<Node>> children;

    Node *add(CModObject *child)
    {
        auto node = std::make_unique<Node>();
        node->object = child;
        node->parent = this;
        children.push_back(std::move(node));
        return children.back().get();
    }

    int row() const
    {
        if (!parent)
            return 0;
        for (size_t i = 0; i < parent->children.size(); ++i) {
            if (parent->children[i].get() == this)
                return int(i);
        }
        return 0;
    }
};

namespace {

TagGroups *groupsOf(CModObject *object)
{
    if (auto *device = dynamic_cast<CModDevice *>(object))
        return &device->groups;
    if (auto *group = dynamic_cast<CModTagGroup *>(object))
        return &group->groups;
    return nullptr;
}

} // namespace

ProjectTreeModel::ProjectTreeModel(Project &project, QObject *parent)
    : QAbstractItemModel(parent), m_project(project), m_root(std::make_unique<Node>())
{
    rebuild();
    connect(&m_project, &Project::projectReset, this, [this] {
        beginResetModel();
        rebuild();
        endResetModel();
    });
}

ProjectTreeModel::~ProjectTreeModel() = default;

void ProjectTreeModel::rebuild()
{
    m_root = std::make_unique<Node>();
    const std::function<void(Node *, const TagGroups &)> addGroupNodes =
        [&](Node *under, const TagGroups &groups) {
            for (const auto &group : groups)
                addGroupNodes(under->add(group.get()), group->groups);
        };
    for (const auto &channel : m_project.channels()) {
        Node *channelNode = m_root->add(channel.get());
        for (const auto &device : channel->devices)
            addGroupNodes(channelNode->add(device.get()), device->groups);
    }
}

ProjectTreeModel::Node *ProjectTreeModel::nodeFor(const QModelIndex &index) const
{
    return index.isValid() ? static_cast<Node *>(index.internalPointer()) : m_root.get();
}

QModelIndex ProjectTreeModel::indexFor(Node *node) const
{
    if (!node || node == m_root.get())
        return {};
    return createIndex(node->row(), 0, node);
}

QModelIndex ProjectTreeModel::index(int row, int column, const QModelIndex &parent) const
{
    const Node *parentNode = nodeFor(parent);
    if (column != 0 || row < 0 || size_t(row) >= parentNode->children.size())
        return {};
    return createIndex(row, 0, parentNode->children[size_t(row)].get());
}

QModelIndex ProjectTreeModel::parent(const QModelIndex &child) const
{
    if (!child.isValid())
        return {};
    return indexFor(nodeFor(child)->parent);
}

int ProjectTreeModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid() && parent.column() != 0)
        return 0;
    return int(nodeFor(parent)->children.size());
}

int ProjectTreeModel::columnCount(const QModelIndex &) const
{
    return 1;
}

QVariant ProjectTreeModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole)
        return {};
    return nodeFor(index)->object->name;
}

CModObject *ProjectTreeModel::object(const QModelIndex &index) const
{
    return index.isValid() ? nodeFor(index)->object : nullptr;
}

CModObject *ProjectTreeModel::parentObject(const QModelIndex &index) const
{
    return index.isValid() ? nodeFor(index)->parent->object : nullptr;
}

ProjectTreeModel::Node *ProjectTreeModel::findNode(Node *under, const CModObject *object) const
{
    for (const auto &child : under->children) {
        if (child->object == object)
            return child.get();
        if (Node *found = findNode(child.get(), object))
            return found;
    }
    return nullptr;
}

QModelIndex ProjectTreeModel::indexOf(const CModObject *object) const
{
    return indexFor(findNode(m_root.get(), object));
}

QModelIndex ProjectTreeModel::appendChannel(std::shared_ptr<CModChnl> channel)
{
    const int row = int(m_root->children.size());
    beginInsertRows({}, row, row);
    CModChnl *raw = channel.get();
    m_project.addChannel(std::move(channel));
    m_root->add(raw);
    endInsertRows();
    return index(row, 0);
}

QModelIndex ProjectTreeModel::appendDevice(const QModelIndex &channelIndex,
                                           std::shared_ptr<CModDevice> device)
{
    auto *channel = dynamic_cast<CModChnl *>(object(channelIndex));
    if (!channel)
        return {};
    Node *channelNode = nodeFor(channelIndex);
    const int row = int(channelNode->children.size());
    beginInsertRows(channelIndex, row, row);
    channelNode->add(device.get());
    channel->devices.push_back(std::move(device));
    endInsertRows();
    return index(row, 0, channelIndex);
}

QModelIndex ProjectTreeModel::appendGroup(const QModelIndex &ownerIndex,
                                          std::shared_ptr<CModTagGroup> group)
{
    TagGroups *groups = groupsOf(object(ownerIndex));
    if (!groups)
        return {};
    Node *ownerNode = nodeFor(ownerIndex);
    const int row = int(ownerNode->children.size());
    beginInsertRows(ownerIndex, row, row);
    ownerNode->add(group.get());
    groups->push_back(std::move(group));
    endInsertRows();
    return index(row, 0, ownerIndex);
}

void ProjectTreeModel::removeNode(const QModelIndex &index)
{
    if (!index.isValid())
        return;
    Node *node = nodeFor(index);
    Node *parentNode = node->parent;
    CModObject *object = node->object;
    const int row = index.row();

    beginRemoveRows(index.parent(), row, row);
    // The project lets go of the node last, so nothing the view still holds
    // dangles while the rows are removed.
    std::shared_ptr<void> keepAlive;
    if (!parentNode->object) {
        keepAlive = m_project.takeChannel(static_cast<CModChnl *>(object));
    } else if (auto *channel = dynamic_cast<CModChnl *>(parentNode->object)) {
        auto &devices = channel->devices;
        auto it = std::find_if(devices.begin(), devices.end(),
                               [&](const auto &d) { return d.get() == object; });
        if (it != devices.end()) {
            keepAlive = *it;
            devices.erase(it);
        }
    } else if (TagGroups *groups = groupsOf(parentNode->object)) {
        auto it = std::find_if(groups->begin(), groups->end(),
                               [&](const auto &g) { return g.get() == object; });
        if (it != groups->end()) {
            keepAlive = *it;
            groups->erase(it);
        }
    }
    parentNode->children.erase(parentNode->children.begin() + row);
    endRemoveRows();
}

void ProjectTreeModel::nodeChanged(const QModelIndex &index)
{
    Q_EMIT dataChanged(index, index, {Qt::DisplayRole});
}

qsizetype ProjectTreeModel::tagCount(const QModelIndex &index) const
{
    const Node *node = nodeFor(index);
    const std::function<qsizetype(const Node *)> count = [&](const Node *n) {
        qsizetype total = n->object ? n->object->tagCount() : 0;
        for (const auto &child : n->children)
            total += count(child.get());
        return total;
    };
    return index.isValid() ? count(node) : 0;
}
