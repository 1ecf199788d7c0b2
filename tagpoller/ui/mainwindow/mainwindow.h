#pragma once

#include "commandactions.h"
#include "commands.h"
#include "mainwindowpanes.h"
#include "statusbarpanes.h"

#include <QMainWindow>

#include <memory>

class ContextMenus;
class DiagnosticsWindow;
class DriverState;
class EventLog;
class HostLink;
class Notifier;
class ProjectFileCommands;
class ProjectTreeModel;
class QMenu;
class QSettings;
class QSplitter;
class QTableView;
class QTreeView;
class RunCommands;
class RunMode;
class TagCommands;
class TagListModel;
class TreeCommands;
namespace hostmsg {
class Desktop;
class Window;
struct Message;
} // namespace hostmsg

// The driver's main window: the project tree and the tag list of the selected
// device or group side by side above the event message log, with the menus,
// toolbar and status bar of every command. The commands themselves live in
// their groups (project file, tree, tags, run mode), each with its enable
// rules. The window is registered under its title as a hostmsg window, so the
// host runtime and later copies of the program find it.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    static const QString Title; // "Orvala Modbus Driver (Beta)"

    MainWindow(DriverState &state, EventLog &log, Notifier &notifier, QSettings &store,
               hostmsg::Desktop &desktop, QWidget *parent = nullptr);
    ~MainWindow() override;

    QAction *action(Command::Id id) const { return m_actions->action(id); }
    QTreeView *projectTree() const { return m_panes->tree(); }
    QTableView *tagList() const { return m_panes->tagList(); }
    QTableView *messageList() const { return m_panes->messageList(); }
    QSplitter *columnSplitter() const { return m_panes->columns(); }
    QSplitter *rowSplitter() const { return m_panes->rows(); }
    ProjectTreeModel *treeModel() const { return m_panes->treeModel(); }
    TagListModel *tagListModel() const { return m_panes->tagListModel(); }
    QString statusPaneText(int pane) const { return m_status->text(pane); }
    QMenu *fileMenu() const { return m_fileMenu; }

    // The fully qualified name of the selection: Channel.Device.Group[.Tag].
    QString selectionPath() const { return m_panes->selectionPath(); }

    // The enable rules, applied to every menu item and toolbar button.
    void updateActions();

    // Set before the window is shown when the host runtime launched the
    // driver: once the window is up, the last project opens and runs.
    void setOpenLastRequested(bool requested) { m_openLastRequested = requested; }

    RunMode &runMode() const { return *m_runMode; }
    HostLink &hostLink() const { return *m_link; }
    DiagnosticsWindow *diagnosticsWindow() const;

    // SIGTERM or SIGINT: the driver closes as at the host runtime's stop
    // request, without the quit question, keeping the event messages and the
    // recent-file list. A modified project still gets its save question.
    void closeFromSignal(int signalNumber);

    // The commands of the tree's and the tag list's context menus for the
    // current selection, as shown by a right click.
    QList<QAction *> treeContextActions() const;
    QList<QAction *> tagListContextActions() const;

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void createCommands();
    void createMenus();
    void createToolBar();
    void readSettings();
    void writeSettings();
    void startUp();

    qint64 handleHostMessage(const hostmsg::Message &message);
    void raiseFromAnotherInstance();
    void selectionChanged();
    void onTimer();
    // Every accepted edit of a node or tag.
    void markModified();

    DriverState &m_state;
    EventLog &m_log;
    Notifier &m_notifier;
    QSettings &m_store;
    hostmsg::Desktop &m_desktop;
    std::unique_ptr<hostmsg::Window> m_hostWindow;
    std::unique_ptr<HostLink> m_link;
    std::unique_ptr<CommandActions> m_actions;
    RunMode *m_runMode = nullptr;
    MainWindowPanes *m_panes = nullptr;
    StatusBarPanes *m_status = nullptr;
    ContextMenus *m_contextMenus = nullptr;
    ProjectFileCommands *m_fileCommands = nullptr;
    TreeCommands *m_treeCommands = nullptr;
    TagCommands *m_tagCommands = nullptr;
    RunCommands *m_runCommands = nullptr;
    bool m_openLastRequested = false;
    bool m_closeFromSignal = false;
    bool m_startedUp = false;

    QMenu *m_fileMenu = nullptr;
    QToolBar *m_toolBar = nullptr;
};
