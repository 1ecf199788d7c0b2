#include "contextmenus.h"

#include "cmodobject.h"
#include "commandactions.h"
#include "mainwindowpanes.h"

#include <QMenu>
#include <QTableView>
#include <QTreeView>

ContextMenus::ContextMenus(const CommandActions &actions, MainWindowPanes &panes, bool withWriteTag,
                           QWidget *window)
    : QObject(window)
    , m_actions(actions)
    , m_panes(panes)
    , m_withWriteTag(withWriteTag)
    , m_window(window)
{
    connect(&panes, &MainWindowPanes::treeContextMenuRequested, this,
            [this](const QPoint &position) { show(m_panes.tree(), treeActions(), position); });
    connect(
        &panes, &MainWindowPanes::tagListContextMenuRequested, this,
        [this](const QPoint &position) { show(m_panes.tagList(), tagListActions(), position); });
}

QList<QAction *> ContextMenus::treeActions() const
{
    using namespace Command;
    QList<Id> ids;
    const CModObject *object = m_panes.selectedObject();
    if (!object)
        ids = {NewTcpChannel, NewRtuChannel};
    else if (object->isChannel())
        ids = {NewDevice, EditChannel, DeleteChannel, CopyTag};
    else if (object->isDevice())
        ids = {NewTagGroup,
               NewTag,
               EditDevice,
               DeleteDevice,
               CopyTag,
               ExportDeviceTagsUnicode,
               ExportDeviceTagsAnsi,
               ImportDeviceTagsUnicode,
               ImportDeviceTagsAnsi};
    else if (object->isTagGroup())
        ids = {NewTagGroup,
               NewTag,
               EditTagGroup,
               DeleteTagGroup,
               CopyTag,
               ExportGroupTagsUnicode,
               ExportGroupTagsAnsi,
               ImportGroupTagsUnicode,
               ImportGroupTagsAnsi};
    // Only what applies now: a run disables the editing commands.
    return m_actions.enabledOf(ids);
}

QList<QAction *> ContextMenus::tagListActions() const
{
    using namespace Command;
    QList<Id> ids = {NewTag};
    if (m_panes.selectedTag()) {
        ids << EditTag << DeleteTag << CopyTag;
        if (m_withWriteTag)
            ids << WriteTag;
    }
    return m_actions.enabledOf(ids);
}

void ContextMenus::show(QAbstractItemView *view, const QList<QAction *> &actions,
                        const QPoint &position)
{
    if (actions.isEmpty())
        return;
    QMenu menu(m_window);
    menu.setObjectName(QStringLiteral("contextMenu"));
    menu.addActions(actions);
    menu.exec(view->viewport()->mapToGlobal(position));
}
