#pragma once

#include "commands.h"
#include "diagnosticswindow.h"

#include <QHash>
#include <QMainWindow>
#include <QPointer>

#include <memory>

class CModObject;
class DriverState;
class HostLink;
class RunMode;
class EventLog;
class EventLogModel;
class Notifier;
class ProjectTreeModel;
class QAbstractItemView;
class QLabel;
class QMenu;
class QSettings;
class QSplitter;
class QTableView;
class QTimer;
class QTreeView;
class TagList;
class TagListModel;
namespace hostmsg {
class Desktop;
class Window;
struct Message;
} // namespace hostmsg

// The driver's main window: the project tree and the tag list of the selected
// device or group side by side above the event message log, with the menus,
// toolbar and status bar of every command. The window is registered under its
// title as a hostmsg window, so the host runtime and later copies of the
// program find it.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    static const QString Title; // "Orvala Modbus Driver (Beta)"

    MainWindow(DriverState &state, EventLog &log, Notifier &notifier, QSettings &store,
               hostmsg::Desktop &desktop, QWidget *parent = nullptr);
    ~MainWindow() override;

    QAction *action(Command::Id id) const { return m_actions.value(id); }
    QTreeView *projectTree() const { return m_tree; }
    QTableView *tagList() const { return m_tagList; }
    QTableView *messageList() const { return m_messageList; }
    QSplitter *columnSplitter() const { return m_columns; }
    QSplitter *rowSplitter() const { return m_rows; }
    ProjectTreeModel *treeModel() const { return m_treeModel; }
    TagListModel *tagListModel() const { return m_tagListModel; }
    QString statusPaneText(int pane) const;
    QMenu *fileMenu() const { return m_fileMenu; }

    // The fully qualified name of the selection: Channel.Device.Group[.Tag].
    QString selectionPath() const;

    // The enable rules, applied to every menu item and toolbar button.
    void updateActions();

    // Set before the window is shown when the host runtime launched the
    // driver: once the window is up, the last project opens and runs.
    void setOpenLastRequested(bool requested) { m_openLastRequested = requested; }

    RunMode &runMode() const { return *m_runMode; }
    HostLink &hostLink() const { return *m_link; }
    DiagnosticsWindow *diagnosticsWindow() const { return m_diagnostics; }

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
    void createActions();
    void createMenus();
    void createToolBar();
    void createStatusBar();
    void createPanes();
    void readSettings();
    void writeSettings();
    void startUp();

    QAction *addCommand(Command::Id id, const QString &text, const QString &statusTip,
                        void (MainWindow::*slot)());
    void rebuildRecentFileMenu();

    qint64 handleHostMessage(const hostmsg::Message &message);
    void raiseFromAnotherInstance();
    void startRequest();
    void returnToConfigurationMode();
    void showContextMenu(QAbstractItemView *view, const QList<QAction *> &actions,
                         const QPoint &position);
    void closeDiagnostics();

    // Selection.
    CModObject *selectedObject() const;
    QModelIndex selectedIndex() const;
    TagList *selectedTagList() const;
    class CModTag *selectedTag() const;
    void selectionChanged();
    void showTagsOf(const QModelIndex &index);
    void selectIndex(const QModelIndex &index);

    // Status bar.
    void refreshPathPane();
    void refreshCountPanes();
    void onTimer();
    void markModified();

    // Commands.
    void newProject();
    void openProject();
    void closeProject();
    void saveProject();
    void saveProjectAs();
    void exportAllUnicode();
    void exportAllAnsi();
    void exportAll(bool unicode);
    void openRecentFile(int index);
    void newRtuChannel();
    void newTcpChannel();
    void newChannel(bool tcp);
    void editChannel();
    void deleteChannel();
    void newDevice();
    void editDevice();
    void deleteDevice();
    void exportDeviceTagsUnicode();
    void exportDeviceTagsAnsi();
    void importDeviceTagsUnicode();
    void importDeviceTagsAnsi();
    void newTag();
    void editTag();
    void deleteTag();
    void newTagGroup();
    void editTagGroup();
    void deleteTagGroup();
    void exportGroupTagsUnicode();
    void exportGroupTagsAnsi();
    void importGroupTagsUnicode();
    void importGroupTagsAnsi();
    void exportSelectedTags(bool unicode);
    void importSelectedTags(bool unicode);
    void copyTag();
    void properties();
    void about();
    void switchToRuntime();
    void switchToConfiguration();
    void showDiagnostics();
    void writeTag();

    bool editNode(const QModelIndex &index);
    void deleteNode(const QModelIndex &index, int questionId);

    DriverState &m_state;
    EventLog &m_log;
    Notifier &m_notifier;
    QSettings &m_store;
    hostmsg::Desktop &m_desktop;
    std::unique_ptr<hostmsg::Window> m_hostWindow;
    std::unique_ptr<HostLink> m_link;
    RunMode *m_runMode = nullptr;
    QPointer<DiagnosticsWindow> m_diagnostics;
    bool m_openLastRequested = false;
    bool m_closeFromSignal = false;

    QHash<int, QAction *> m_actions;
    QList<QAction *> m_recentFileActions;
    QMenu *m_fileMenu = nullptr;
    QAction *m_recentFilesEnd = nullptr;
    QToolBar *m_toolBar = nullptr;

    ProjectTreeModel *m_treeModel = nullptr;
    TagListModel *m_tagListModel = nullptr;
    EventLogModel *m_logModel = nullptr;
    QTreeView *m_tree = nullptr;
    QTableView *m_tagList = nullptr;
    QTableView *m_messageList = nullptr;
    QSplitter *m_columns = nullptr;
    QSplitter *m_rows = nullptr;

    QLabel *m_pathPane = nullptr;
    QLabel *m_projectTagsPane = nullptr;
    QLabel *m_selectedTagsPane = nullptr;
    QLabel *m_modePane = nullptr;
    QTimer *m_viewTimer = nullptr;
    bool m_blinkOn = false;
    bool m_startedUp = false;
    double m_horizontalPercent = 30.0;
    double m_verticalPercent = 70.0;
};
