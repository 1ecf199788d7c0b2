#include "treecommands.h"

#include "commandactions.h"
#include "driverstate.h"
#include "driverstrings.h"
#include "mainwindowpanes.h"
#include "nodesheets.h"
#include "notifier.h"
#include "projecttreemodel.h"
#include "tagcommands.h"
#include "tagdialogs.h"
#include "taglistmodel.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QTableView>
#include <QTreeView>

TreeCommands::TreeCommands(const CommandContext &context, TagCommands &tags, QObject *parent)
    : QObject(parent), m_context(context), m_tags(tags)
{
    using namespace Command;
    const auto onTrigger = [this](Command::Id id, auto command) {
        connect(m_context.actions.action(id), &QAction::triggered, this, command);
    };
    onTrigger(NewRtuChannel, [this] { newChannel(false); });
    onTrigger(NewTcpChannel, [this] { newChannel(true); });
    onTrigger(EditChannel, [this] { editSelected(&CModObject::isChannel); });
    onTrigger(DeleteChannel,
              [this] { deleteSelected(&CModObject::isChannel, DriverString::AskDeleteChannel); });
    for (Id id : {NewDevice, NewTcpDevice, NewRtuDevice})
        onTrigger(id, [this] { newDevice(); });
    onTrigger(EditDevice, [this] { editSelected(&CModObject::isDevice); });
    onTrigger(DeleteDevice,
              [this] { deleteSelected(&CModObject::isDevice, DriverString::AskDeleteDevice); });
    onTrigger(NewTagGroup, [this] { newTagGroup(); });
    onTrigger(EditTagGroup, [this] { editSelected(&CModObject::isTagGroup); });
    onTrigger(DeleteTagGroup,
              [this] { deleteSelected(&CModObject::isTagGroup, DriverString::AskDeleteTagGroup); });
    onTrigger(CopyTag, [this] { copyTag(); });
    onTrigger(Properties, [this] { properties(); });
}

void TreeCommands::updateActions()
{
    using namespace Command;
    const CModObject *object = m_context.panes.selectedObject();
    const bool configuring = m_context.state.configurationMode;
    const bool channel = object && object->isChannel();
    const auto *asChannel = dynamic_cast<const CModChnl *>(object);
    const bool tcpChannel = asChannel && asChannel->kind() == CModChnl::TcpKind;
    const bool rtuChannel = asChannel && asChannel->kind() == CModChnl::RtuKind;
    const bool device = object && object->isDevice();
    const bool group = object && object->isTagGroup();

    const CommandActions &actions = m_context.actions;
    actions.setEnabled({NewRtuChannel, NewTcpChannel}, configuring);
    actions.setEnabled({EditChannel, DeleteChannel, NewDevice}, configuring && channel);
    actions.setEnabled({NewTcpDevice}, configuring && tcpChannel);
    actions.setEnabled({NewRtuDevice}, configuring && rtuChannel);
    actions.setEnabled({EditDevice, DeleteDevice}, configuring && device);
    actions.setEnabled({NewTagGroup}, configuring && (device || group));
    actions.setEnabled({EditTagGroup, DeleteTagGroup}, configuring && group);
    actions.setEnabled({CopyTag}, configuring && object != nullptr);
    actions.setEnabled({Properties}, true);
}

void TreeCommands::newChannel(bool tcp)
{
    Project &project = m_context.state.project;
    if (!project.canAddChannel())
        return;
    std::shared_ptr<CModChnl> channel;
    if (tcp)
        channel = std::make_shared<CModTCPChnl>();
    else
        channel = std::make_shared<CModRTUChnl>();
    if (!editChannelProperties(m_context.window, *channel, project.channels(), m_context.notifier))
        return;
    m_context.panes.selectIndex(m_context.panes.treeModel()->appendChannel(std::move(channel)));
    Q_EMIT projectEdited();
}

void TreeCommands::newDevice()
{
    MainWindowPanes &panes = m_context.panes;
    const QModelIndex channelIndex = panes.selectedIndex();
    auto *channel = dynamic_cast<CModChnl *>(panes.treeModel()->object(channelIndex));
    if (!channel)
        return;
    std::shared_ptr<CModDevice> device = channel->newDevice();
    if (!editDeviceProperties(m_context.window, *device, channel->devices, m_context.notifier))
        return;
    const QModelIndex added = panes.treeModel()->appendDevice(channelIndex, std::move(device));
    panes.tree()->expand(channelIndex);
    panes.selectIndex(added);
    Q_EMIT projectEdited();
}

void TreeCommands::newTagGroup()
{
    MainWindowPanes &panes = m_context.panes;
    const QModelIndex ownerIndex = panes.selectedIndex();
    CModObject *owner = panes.treeModel()->object(ownerIndex);
    const TagGroups *siblings = nullptr;
    if (auto *device = dynamic_cast<CModDevice *>(owner))
        siblings = &device->groups;
    else if (auto *group = dynamic_cast<CModTagGroup *>(owner))
        siblings = &group->groups;
    if (!siblings)
        return;
    auto group = std::make_shared<CModTagGroup>();
    if (!editTagGroupInDialog(m_context.window, *group, *siblings, m_context.notifier))
        return;
    panes.treeModel()->appendGroup(ownerIndex, std::move(group));
    panes.tree()->expand(ownerIndex);
    Q_EMIT projectEdited();
}

void TreeCommands::editSelected(bool (CModObject::*isKind)() const)
{
    const CModObject *object = m_context.panes.selectedObject();
    if (object && (object->*isKind)())
        editNode(m_context.panes.selectedIndex());
}

void TreeCommands::deleteSelected(bool (CModObject::*isKind)() const, int questionId)
{
    const CModObject *object = m_context.panes.selectedObject();
    if (object && (object->*isKind)())
        deleteNode(m_context.panes.selectedIndex(), questionId);
}

void TreeCommands::copyTag()
{
    if (m_context.state.running)
        return;
    const QString path = m_context.panes.selectionPath();
    if (!path.isEmpty())
        QGuiApplication::clipboard()->setText(path);
}

void TreeCommands::properties()
{
    MainWindowPanes &panes = m_context.panes;
    if (m_context.state.running || !panes.selectedIndex().isValid())
        return;
    if (panes.tagList()->hasFocus() && panes.selectedTag()) {
        m_tags.editTag();
        return;
    }
    editNode(panes.selectedIndex());
}

bool TreeCommands::editNode(const QModelIndex &index)
{
    ProjectTreeModel *model = m_context.panes.treeModel();
    CModObject *object = model->object(index);
    QWidget *window = m_context.window;
    Notifier &notifier = m_context.notifier;
    bool accepted = false;
    if (auto *channel = dynamic_cast<CModChnl *>(object)) {
        accepted =
            editChannelProperties(window, *channel, m_context.state.project.channels(), notifier);
    } else if (auto *device = dynamic_cast<CModDevice *>(object)) {
        auto *channel = static_cast<CModChnl *>(model->parentObject(index));
        accepted = editDeviceProperties(window, *device, channel->devices, notifier);
    } else if (auto *group = dynamic_cast<CModTagGroup *>(object)) {
        CModObject *owner = model->parentObject(index);
        const TagGroups &siblings = owner->isDevice() ? static_cast<CModDevice *>(owner)->groups
                                                      : static_cast<CModTagGroup *>(owner)->groups;
        accepted = editTagGroupInDialog(window, *group, siblings, notifier);
    }
    if (accepted) {
        model->nodeChanged(index);
        Q_EMIT projectEdited();
    }
    return accepted;
}

void TreeCommands::deleteNode(const QModelIndex &index, int questionId)
{
    MainWindowPanes &panes = m_context.panes;
    CModObject *object = panes.treeModel()->object(index);
    if (!object || !m_context.notifier.askYesNo(
                       DriverString::format(DriverString::Id(questionId), {object->name})))
        return;
    panes.tagListModel()->setTags(nullptr);
    panes.treeModel()->removeNode(index);
    panes.showTagsOf(panes.selectedIndex());
    Q_EMIT projectEdited();
}
