#include "projectfilecommands.h"

#include "commandactions.h"
#include "driverstate.h"
#include "driverstrings.h"
#include "eventlog.h"
#include "statusbarpanes.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>

ProjectFileCommands::ProjectFileCommands(const CommandContext &context, QObject *parent)
    : QObject(parent), m_context(context)
{
    using namespace Command;
    const CommandActions &actions = m_context.actions;
    connect(actions.action(NewProject), &QAction::triggered, this,
            &ProjectFileCommands::newProject);
    connect(actions.action(OpenProject), &QAction::triggered, this,
            &ProjectFileCommands::openProject);
    connect(actions.action(CloseProject), &QAction::triggered, this,
            &ProjectFileCommands::closeProject);
    connect(actions.action(SaveProject), &QAction::triggered, this,
            &ProjectFileCommands::saveProject);
    connect(actions.action(SaveProjectAs), &QAction::triggered, this,
            &ProjectFileCommands::saveProjectAs);
}

void ProjectFileCommands::showRecentFilesIn(QMenu *menu, QAction *end)
{
    m_menu = menu;
    m_recentFilesEnd = end;
    connect(menu, &QMenu::aboutToShow, this, &ProjectFileCommands::rebuildRecentFileMenu);
}

void ProjectFileCommands::updateActions()
{
    using namespace Command;
    const bool running = m_context.state.running;
    m_context.actions.setEnabled({NewProject, OpenProject, CloseProject, SaveProjectAs}, !running);
    m_context.actions.action(SaveProject)
        ->setEnabled(!running && m_context.state.project.isModified());
    for (QAction *recent : std::as_const(m_recentFileActions))
        recent->setEnabled(!running);
}

void ProjectFileCommands::newProject()
{
    m_context.state.project.startNew();
}

void ProjectFileCommands::openProject()
{
    m_context.state.project.open();
    m_context.status.refreshCounts();
}

void ProjectFileCommands::closeProject()
{
    m_context.state.project.close();
}

void ProjectFileCommands::saveProject()
{
    m_context.state.project.save();
}

void ProjectFileCommands::saveProjectAs()
{
    m_context.state.project.saveAs();
}

void ProjectFileCommands::openRecentFile(int index)
{
    DriverState &state = m_context.state;
    const QString path = state.recentFiles.entry(index);
    if (path.isEmpty() || !state.project.startNew())
        return;
    state.project.loadFile(path);
    m_context.log.addMessage(DriverString::format(DriverString::ProjectOpened, {path}));
    state.recentFiles.add(path);
}

void ProjectFileCommands::rebuildRecentFileMenu()
{
    for (QAction *action : std::as_const(m_recentFileActions)) {
        m_menu->removeAction(action);
        delete action;
    }
    m_recentFileActions.clear();
    DriverState &state = m_context.state;
    if (state.running)
        return;
    // Entries whose file is gone leave the list.
    for (int i = RecentFileList::Size - 1; i >= 0; --i) {
        const QString path = state.recentFiles.entry(i);
        if (!path.isEmpty() && !QFileInfo::exists(path))
            state.recentFiles.remove(i);
    }
    for (int i = 0; i < RecentFileList::Size; ++i) {
        const QString path = state.recentFiles.entry(i);
        if (path.isEmpty())
            continue;
        auto *action = new QAction(path, m_context.window);
        action->setData(int(Command::FirstRecentFile) + i);
        connect(action, &QAction::triggered, this, [this, i] { openRecentFile(i); });
        m_menu->insertAction(m_recentFilesEnd, action);
        m_recentFileActions << action;
    }
}
