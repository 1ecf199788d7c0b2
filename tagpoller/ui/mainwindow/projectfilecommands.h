#pragma once

#include "commandcontext.h"

#include <QList>
#include <QObject>

class QAction;
class QMenu;

// The File menu's project commands: New, Open, Close, Save, Save As and the
// recent files, listed in the menu between two separators.
class ProjectFileCommands : public QObject
{
    Q_OBJECT
public:
    ProjectFileCommands(const CommandContext &context, QObject *parent);

    // The recent files stand in `menu` before `end`, rebuilt as it opens.
    void showRecentFilesIn(QMenu *menu, QAction *end);
    // None of them while a run goes on; Save only for a modified project.
    void updateActions();

    void newProject();
    void openProject();
    void closeProject();
    void saveProject();
    void saveProjectAs();
    void openRecentFile(int index);

private:
    void rebuildRecentFileMenu();

    CommandContext m_context;
    QMenu *m_menu = nullptr;
    QAction *m_recentFilesEnd = nullptr;
    QList<QAction *> m_recentFileActions;
};
