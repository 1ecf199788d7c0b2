#include "mainwindowpanes.h"

#include "cmodtag.h"
#include "eventlogmodel.h"
#include "layoutsettings.h"
#include "projecttreemodel.h"
#include "taglistmodel.h"

#include <QHeaderView>
#include <QSplitter>
#include <QTableView>
#include <QTreeView>
#include <QWidget>

namespace {

constexpr int MinimumPaneExtent = 100; // splitters stop this far from the edges

} // namespace

MainWindowPanes::MainWindowPanes(Project &project, EventLog &log, QWidget *window) : QObject(window)
{
    // Rows as high as the window's text and a little room.
    const int rowHeight = window->fontMetrics().height() + 6;
    createTree(project);
    createTagList(rowHeight);
    createMessageList(log, rowHeight);
    createSplitters();
}

void MainWindowPanes::createTree(Project &project)
{
    m_treeModel = new ProjectTreeModel(project, this);
    m_tree = new QTreeView;
    m_tree->setObjectName(QStringLiteral("projectTree"));
    m_tree->setModel(m_treeModel);
    m_tree->setHeaderHidden(true);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(m_tree->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &MainWindowPanes::selectionChanged);
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_tree, &QWidget::customContextMenuRequested, this, [this](const QPoint &position) {
        // The item under the pointer is the one the menu is about; a click
        // beside every item clears the selection (the channel commands).
        const QModelIndex index = m_tree->indexAt(position);
        if (index.isValid())
            selectIndex(index);
        else
            m_tree->selectionModel()->clearSelection();
        Q_EMIT treeContextMenuRequested(position);
    });
}

void MainWindowPanes::createTagList(int rowHeight)
{
    m_tagListModel = new TagListModel(this);
    m_tagList = new QTableView;
    m_tagList->setObjectName(QStringLiteral("tagList"));
    m_tagList->setModel(m_tagListModel);
    m_tagList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tagList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tagList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tagList->verticalHeader()->hide();
    m_tagList->verticalHeader()->setDefaultSectionSize(rowHeight);
    m_tagList->setWordWrap(false);
    m_tagList->horizontalHeader()->setSectionsClickable(true);
    m_tagList->horizontalHeader()->setHighlightSections(false);
    connect(m_tagList->horizontalHeader(), &QHeaderView::sectionClicked, m_tagListModel,
            &TagListModel::sortByColumn);
    m_tagList->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_tagList, &QWidget::customContextMenuRequested, this, [this](const QPoint &position) {
        const QModelIndex index = m_tagList->indexAt(position);
        if (index.isValid())
            m_tagList->selectRow(index.row());
        Q_EMIT tagListContextMenuRequested(position);
    });
}

void MainWindowPanes::createMessageList(EventLog &log, int rowHeight)
{
    m_logModel = new EventLogModel(log, this);
    m_messageList = new QTableView;
    m_messageList->setObjectName(QStringLiteral("messageList"));
    m_messageList->setModel(m_logModel);
    m_messageList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_messageList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_messageList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_messageList->verticalHeader()->hide();
    m_messageList->verticalHeader()->setDefaultSectionSize(rowHeight);
    m_messageList->setWordWrap(false);
    connect(m_logModel, &QAbstractItemModel::rowsInserted, m_messageList,
            [this] { m_messageList->scrollToBottom(); });
}

void MainWindowPanes::createSplitters()
{
    m_columns = new QSplitter(Qt::Horizontal);
    m_columns->setObjectName(QStringLiteral("columnSplitter"));
    m_columns->addWidget(m_tree);
    m_columns->addWidget(m_tagList);
    m_rows = new QSplitter(Qt::Vertical);
    m_rows->setObjectName(QStringLiteral("rowSplitter"));
    m_rows->addWidget(m_columns);
    m_rows->addWidget(m_messageList);
    for (QSplitter *splitter : {m_columns, m_rows}) {
        splitter->setChildrenCollapsible(false);
        for (int i = 0; i < splitter->count(); ++i)
            splitter->widget(i)->setMinimumSize(MinimumPaneExtent, MinimumPaneExtent);
        // A resize keeps the splitters where they stand in pixels: the tag
        // list and the message log take the difference.
        splitter->setStretchFactor(0, 0);
        splitter->setStretchFactor(1, 1);
    }
    // The last column of each list takes the spare width.
    m_tagList->horizontalHeader()->setStretchLastSection(true);
    m_messageList->horizontalHeader()->setStretchLastSection(true);
}

// Selection ------------------------------------------------------------------

QModelIndex MainWindowPanes::selectedIndex() const
{
    const QModelIndexList selected = m_tree->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? QModelIndex() : selected.first();
}

CModObject *MainWindowPanes::selectedObject() const
{
    return m_treeModel->object(selectedIndex());
}

TagList *MainWindowPanes::selectedTagList() const
{
    CModObject *object = selectedObject();
    return object ? object->tagList() : nullptr;
}

CModTag *MainWindowPanes::selectedTag() const
{
    const QModelIndexList rows = m_tagList->selectionModel()->selectedRows();
    return rows.isEmpty() ? nullptr : m_tagListModel->tag(rows.first().row());
}

void MainWindowPanes::selectIndex(const QModelIndex &index)
{
    m_tree->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
}

void MainWindowPanes::showTagsOf(const QModelIndex &index)
{
    CModObject *object = m_treeModel->object(index);
    m_tagListModel->setTags(object ? object->tagList() : nullptr);
}

QString MainWindowPanes::selectionPath() const
{
    QModelIndex index = selectedIndex();
    if (!index.isValid())
        return QString();
    QString path = m_treeModel->object(index)->name;
    // Up to the channel, which is the top of every path.
    while (!m_treeModel->object(index)->isChannel() && index.parent().isValid()) {
        index = index.parent();
        path.prepend(m_treeModel->object(index)->name + u'.');
    }
    if (const CModTag *tag = selectedTag())
        path += u'.' + tag->TagName;
    return path;
}

// Layout ---------------------------------------------------------------------

void MainWindowPanes::readLayout(QSettings &store)
{
    const SplitterPercentages percentages = SplitterPercentages::read(store);
    m_horizontalPercent = percentages.horizontal;
    m_verticalPercent = percentages.vertical;

    const QList<int> tagWidths = readColumnWidths(store, TagListColumnsSection, TagListColumnCount);
    for (int i = 0; i < tagWidths.size(); ++i)
        m_tagList->setColumnWidth(i, tagWidths.at(i));
    const QList<int> messageWidths =
        readColumnWidths(store, MessageListColumnsSection, MessageListColumnCount);
    for (int i = 0; i < messageWidths.size(); ++i)
        m_messageList->setColumnWidth(i, messageWidths.at(i));
}

void MainWindowPanes::placeSplitters()
{
    const int width = m_rows->width();
    const int height = m_rows->height();
    const int splitX = int(m_horizontalPercent / 100.0 * width);
    const int splitY = int(m_verticalPercent / 100.0 * height);
    m_columns->setSizes({splitX, width - splitX});
    m_rows->setSizes({splitY, height - splitY});
}

void MainWindowPanes::writeLayout(QSettings &store) const
{
    const int width = m_columns->width();
    const int height = m_rows->height();
    if (width > 0 && height > 0) {
        SplitterPercentages percentages;
        percentages.horizontal = m_columns->sizes().value(0) * 100.0 / width;
        percentages.vertical = m_rows->sizes().value(0) * 100.0 / height;
        percentages.write(store);
    }

    QList<int> tagWidths;
    for (int i = 0; i < TagListColumnCount; ++i)
        tagWidths << m_tagList->columnWidth(i);
    writeColumnWidths(store, TagListColumnsSection, tagWidths);
}

QList<int> MainWindowPanes::messageColumnWidths() const
{
    QList<int> widths;
    for (int i = 0; i < MessageListColumnCount; ++i)
        widths << m_messageList->columnWidth(i);
    return widths;
}
