#include "tagcommands.h"

#include "commandactions.h"
#include "driverstate.h"
#include "driverstrings.h"
#include "eventlog.h"
#include "mainwindowpanes.h"
#include "notifier.h"
#include "tagcsv.h"
#include "tagdialogs.h"
#include "taglistmodel.h"

#include <QAction>
#include <QFileInfo>
#include <QShortcut>
#include <QTableView>

namespace {

const QString CsvFilter = QStringLiteral("CSV Files (*.csv)|*.csv|All files (*.*)|*.*|");

QString projectFolder(const QString &projectPath)
{
    return projectPath.isEmpty() ? QString() : QFileInfo(projectPath).absolutePath();
}

TagCsv::Encoding encoding(bool unicode)
{
    return unicode ? TagCsv::Encoding::Unicode : TagCsv::Encoding::Ansi;
}

} // namespace

TagCommands::TagCommands(const CommandContext &context, QObject *parent)
    : QObject(parent), m_context(context)
{
    using namespace Command;
    const auto onTrigger = [this](Command::Id id, auto command) {
        connect(m_context.actions.action(id), &QAction::triggered, this, command);
    };
    onTrigger(NewTag, [this] { newTag(); });
    onTrigger(EditTag, [this] { editTag(); });
    onTrigger(DeleteTag, [this] { deleteTag(); });
    onTrigger(ExportAllUnicode, [this] { exportAllTags(true); });
    onTrigger(ExportAllAnsi, [this] { exportAllTags(false); });
    // The device's and the group's commands do the same on the selected node.
    for (Id id : {ExportDeviceTagsUnicode, ExportGroupTagsUnicode})
        onTrigger(id, [this] { exportSelectedTags(true); });
    for (Id id : {ExportDeviceTagsAnsi, ExportGroupTagsAnsi})
        onTrigger(id, [this] { exportSelectedTags(false); });
    for (Id id : {ImportDeviceTagsUnicode, ImportGroupTagsUnicode})
        onTrigger(id, [this] { importSelectedTags(true); });
    for (Id id : {ImportDeviceTagsAnsi, ImportGroupTagsAnsi})
        onTrigger(id, [this] { importSelectedTags(false); });

    QTableView *tagList = m_context.panes.tagList();
    connect(tagList, &QAbstractItemView::doubleClicked, this, &TagCommands::editTag);
    auto *deleteKey =
        new QShortcut(QKeySequence::Delete, tagList, nullptr, nullptr, Qt::WidgetShortcut);
    connect(deleteKey, &QShortcut::activated, this, &TagCommands::deleteTag);
}

void TagCommands::updateActions()
{
    using namespace Command;
    const CModObject *object = m_context.panes.selectedObject();
    const bool configuring = m_context.state.configurationMode;
    const bool device = object && object->isDevice();
    const bool group = object && object->isTagGroup();
    const bool hasRows = m_context.panes.tagListModel()->rowCount() > 0;

    const CommandActions &actions = m_context.actions;
    actions.setEnabled({NewTag}, configuring && (device || group));
    actions.setEnabled({EditTag, DeleteTag}, configuring && (device || group) && hasRows);
    actions.setEnabled({ExportDeviceTagsUnicode, ImportDeviceTagsUnicode, ExportDeviceTagsAnsi,
                        ImportDeviceTagsAnsi},
                       configuring && device);
    actions.setEnabled(
        {ExportGroupTagsUnicode, ImportGroupTagsUnicode, ExportGroupTagsAnsi, ImportGroupTagsAnsi},
        configuring && group);
    actions.setEnabled({ExportAllUnicode, ExportAllAnsi}, configuring && object != nullptr);
}

void TagCommands::newTag()
{
    TagList *tags = m_context.panes.selectedTagList();
    if (!tags)
        return;
    if (addTagsInDialog(m_context.window, *tags, m_context.notifier) > 0) {
        m_context.panes.tagListModel()->appendNewTags();
        Q_EMIT projectEdited();
    }
}

void TagCommands::editTag()
{
    if (m_context.state.running)
        return;
    TagList *tags = m_context.panes.selectedTagList();
    CModTag *tag = m_context.panes.selectedTag();
    if (!tags || !tag)
        return;
    if (editTagInDialog(m_context.window, *tag, *tags, m_context.notifier)) {
        tag->flags |= CModTag::Redraw;
        m_context.panes.tagListModel()->redrawMarkedRows();
        Q_EMIT projectEdited();
    }
}

void TagCommands::deleteTag()
{
    if (m_context.state.running)
        return;
    CModObject *object = m_context.panes.selectedObject();
    CModTag *tag = m_context.panes.selectedTag();
    if (!object || !tag ||
        !m_context.notifier.askYesNo(
            DriverString::format(DriverString::AskDeleteTag, {tag->TagName})))
        return;
    m_context.panes.tagListModel()->removeTag(tag);
    object->removeTag(tag);
    Q_EMIT projectEdited();
}

void TagCommands::exportAllTags(bool unicode)
{
    const Project &project = m_context.state.project;
    const QString path = m_context.notifier.getSaveFileName(
        {tr("CSV File Name"), CsvFilter, QStringLiteral("csv"), projectFolder(project.path()),
         QStringLiteral("ModTags.csv")});
    if (path.isEmpty())
        return;
    TagCsv::exportMaster(project.channels(), path, encoding(unicode), m_context.notifier,
                         [this](const QString &line) { m_context.log.addMessage(line); });
}

void TagCommands::exportSelectedTags(bool unicode)
{
    const CModObject *object = m_context.panes.selectedObject();
    TagList *tags = m_context.panes.selectedTagList();
    if (!tags)
        return;
    if (tags->isEmpty()) {
        m_context.notifier.showMessage(DriverString::text(DriverString::NoTagsToExport),
                                       Notifier::Icon::Stop);
        return;
    }
    const QString path = m_context.notifier.getSaveFileName(
        {tr("CSV File Name"), CsvFilter, QStringLiteral("csv"),
         projectFolder(m_context.state.project.path()), object->name});
    if (path.isEmpty())
        return;
    TagCsv::exportPlain(*tags, path, encoding(unicode), m_context.notifier,
                        [this](const QString &line) { m_context.log.addMessage(line); });
}

void TagCommands::importSelectedTags(bool unicode)
{
    const CModObject *object = m_context.panes.selectedObject();
    TagList *tags = m_context.panes.selectedTagList();
    if (!tags)
        return;
    const QString path = m_context.notifier.getOpenFileName(
        {tr("CSV File Name"), CsvFilter, QStringLiteral("csv"),
         projectFolder(m_context.state.project.path()), object->name});
    if (path.isEmpty())
        return;
    if (TagCsv::importPlain(*tags, path, encoding(unicode), m_context.notifier,
                            [this](const QString &line) { m_context.log.addMessage(line); })) {
        m_context.panes.tagListModel()->setTags(tags);
        Q_EMIT projectEdited();
    }
}
