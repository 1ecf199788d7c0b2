#pragma once

#include <QList>
#include <QModelIndex>
#include <QObject>

class CModObject;
class CModTag;
class EventLog;
class EventLogModel;
class Project;
class ProjectTreeModel;
class QSettings;
class QSplitter;
class QTableView;
class QTreeView;
class QWidget;
class TagList;
class TagListModel;

// The three panes of the main window: the project tree and the tag list of the
// selected device or group side by side, above the event message log. They
// keep their splitter positions and column widths, and know the selection.
class MainWindowPanes : public QObject
{
    Q_OBJECT
public:
    MainWindowPanes(Project &project, EventLog &log, QWidget *window);

    // The splitter that holds the panes: the window's central widget.
    QSplitter *centralWidget() const { return m_rows; }
    QTreeView *tree() const { return m_tree; }
    QTableView *tagList() const { return m_tagList; }
    QTableView *messageList() const { return m_messageList; }
    QSplitter *columns() const { return m_columns; }
    QSplitter *rows() const { return m_rows; }
    ProjectTreeModel *treeModel() const { return m_treeModel; }
    TagListModel *tagListModel() const { return m_tagListModel; }

    // The selection, not the current index: a view that gets the focus makes
    // its first item current without selecting anything.
    QModelIndex selectedIndex() const;
    CModObject *selectedObject() const;
    // The own tags of the selected node; nullptr for a channel or nothing.
    TagList *selectedTagList() const;
    CModTag *selectedTag() const;
    void selectIndex(const QModelIndex &index);
    // The tag list shows the own tags of the node at `index`.
    void showTagsOf(const QModelIndex &index);
    // The fully qualified name of the selection: Channel.Device.Group[.Tag].
    QString selectionPath() const;

    // The stored splitter percentages and column widths; the splitters take
    // their positions from placeSplitters() once the window has its size.
    void readLayout(QSettings &store);
    void placeSplitters();
    // The splitter percentages and the tag list's column widths.
    void writeLayout(QSettings &store) const;
    QList<int> messageColumnWidths() const;

Q_SIGNALS:
    void selectionChanged();
    // A right click; the item under the pointer is selected already.
    void treeContextMenuRequested(const QPoint &position);
    void tagListContextMenuRequested(const QPoint &position);

private:
    void createTree(Project &project);
    void createTagList(int rowHeight);
    void createMessageList(EventLog &log, int rowHeight);
    void createSplitters();

    ProjectTreeModel *m_treeModel = nullptr;
    TagListModel *m_tagListModel = nullptr;
    EventLogModel *m_logModel = nullptr;
    QTreeView *m_tree = nullptr;
    QTableView *m_tagList = nullptr;
    QTableView *m_messageList = nullptr;
    QSplitter *m_columns = nullptr;
    QSplitter *m_rows = nullptr;
    double m_horizontalPercent = 30.0;
    double m_verticalPercent = 70.0;
};
