#pragma once

#include "cmodobject.h"
#include "commandcontext.h"

#include <QModelIndex>
#include <QObject>

class TagCommands;

// The commands that edit the project tree: new, edit and delete of channels,
// devices and tag groups, Properties (F4) on the selection, and copying the
// selection's fully qualified name.
class TreeCommands : public QObject
{
    Q_OBJECT
public:
    // Properties edits the selected tag through `tags` while the tag list has
    // the focus.
    TreeCommands(const CommandContext &context, TagCommands &tags, QObject *parent);

    // In configuration mode only, each command on the kind of node it is for.
    void updateActions();

    void newChannel(bool tcp);
    void newDevice();
    void newTagGroup();
    void editSelected(bool (CModObject::*isKind)() const);
    void deleteSelected(bool (CModObject::*isKind)() const, int questionId);
    void copyTag();
    void properties();

Q_SIGNALS:
    // A node was added, changed or deleted.
    void projectEdited();

private:
    bool editNode(const QModelIndex &index);
    void deleteNode(const QModelIndex &index, int questionId);

    CommandContext m_context;
    TagCommands &m_tags;
};
