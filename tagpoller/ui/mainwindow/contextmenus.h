#pragma once

#include <QList>
#include <QObject>

class CommandActions;
class MainWindowPanes;
class QAbstractItemView;
class QAction;
class QPoint;
class QWidget;

// The right-click menus of the project tree and the tag list: the commands
// that apply to the node or tag under the pointer, as far as they are enabled.
class ContextMenus : public QObject
{
    Q_OBJECT
public:
    // `withWriteTag`: the tag list offers WriteTag (diagnostics are on).
    ContextMenus(const CommandActions &actions, MainWindowPanes &panes, bool withWriteTag,
                 QWidget *window);

    QList<QAction *> treeActions() const;
    QList<QAction *> tagListActions() const;

private:
    void show(QAbstractItemView *view, const QList<QAction *> &actions, const QPoint &position);

    const CommandActions &m_actions;
    MainWindowPanes &m_panes;
    bool m_withWriteTag;
    QWidget *m_window;
};
