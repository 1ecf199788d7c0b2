#pragma once

#include "project.h"

#include <QAbstractItemModel>

#include <memory>
#include <vector>

// The project tree as the view shows it: channels, their devices, and tag
// groups at any depth below a device. Tags are not tree items. Texts are the
// nodes' names, asked for when the view draws them.
//
// The model mirrors the project's structure in its own index nodes; every
// change of that structure goes through the model, so the view hears of it.
class ProjectTreeModel : public QAbstractItemModel
{
    Q_OBJECT
public:
    explicit ProjectTreeModel(Project &project, QObject *parent = nullptr);
    ~ProjectTreeModel() override;

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    CModObject *object(const QModelIndex &index) const;
    QModelIndex indexOf(const CModObject *object) const;
    // The node that holds `index`'s node in its list: the channel of a device,
    // the device or group of a group; nullptr for a channel.
    CModObject *parentObject(const QModelIndex &index) const;

    // Structure changes, each also made in the project.
    QModelIndex appendChannel(std::shared_ptr<CModChnl> channel);
    QModelIndex appendDevice(const QModelIndex &channel, std::shared_ptr<CModDevice> device);
    QModelIndex appendGroup(const QModelIndex &deviceOrGroup, std::shared_ptr<CModTagGroup> group);
    void removeNode(const QModelIndex &index);
    // The node's name changed: redraw it.
    void nodeChanged(const QModelIndex &index);

    // Tags held by the node and by everything below it; 0 for an invalid index.
    qsizetype tagCount(const QModelIndex &index) const;

private:
    struct Node;
    void rebuild();
    Node *nodeFor(const QModelIndex &index) const;
    QModelIndex indexFor(Node *node) const;
    Node *findNode(Node *under, const CModObject *object) const;

    Project &m_project;
    std::unique_ptr<Node> m_root;
};
