#include "mainwindow.h"

#include "commandactions.h"
#include "contextmenus.h"
#include "desktop.h"
#include "driverstate.h"
#include "driverstrings.h"
#include "eventlog.h"
#include "hostlink.h"
#include "layoutsettings.h"
#include "mainwindowpanes.h"
#include "notifier.h"
#include "projectfilecommands.h"
#include "projecttreemodel.h"
#include "runcommands.h"
#include "runmode.h"
#include "statusbarpanes.h"
#include "tagcommands.h"
#include "tagdialogs.h"
#include "taglistmodel.h"
#include "treecommands.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLoggingCategory>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>

#include <algorithm>

Q_LOGGING_CATEGORY(lcMainWindow, "tagpoller.ui")

const QString MainWindow::Title = QStringLiteral("Orvala Modbus Driver (Beta)");

namespace {

constexpr int ViewTimerPeriodMs = 500;
// Room above the window's client area for a title bar on the first start.
constexpr int FirstStartFrameAllowance = 40;

} // namespace

MainWindow::MainWindow(DriverState &state, EventLog &log, Notifier &notifier, QSettings &store,
                       hostmsg::Desktop &desktop, QWidget *parent)
    : QMainWindow(parent)
    , m_state(state)
    , m_log(log)
    , m_notifier(notifier)
    , m_store(store)
    , m_desktop(desktop)
{
    // The icons live in this static library; the linker would drop them unasked.
    Q_INIT_RESOURCE(icons);
    setWindowTitle(Title);
    setWindowIcon(QIcon(QStringLiteral(":/icons/tcpdevice.svg")));
    m_actions = std::make_unique<CommandActions>(this);
    m_panes = new MainWindowPanes(m_state.project, m_log, this);
    setCentralWidget(m_panes->centralWidget());
    m_status = new StatusBarPanes(m_state, *m_panes, statusBar());

    m_link = std::make_unique<HostLink>(HostLinkState{m_state.launchedByHost, m_state.running,
                                                      m_state.hostWindow, m_state.linkState,
                                                      m_state.refreshAll},
                                        m_state.project.channels(), m_desktop, &m_log);
    m_runMode = new RunMode(m_state, m_log, m_notifier, *m_link, this);
    createCommands();
    createMenus();
    createToolBar();
    readSettings();

    connect(m_runMode, &RunMode::modeChanged, this, [this] {
        m_panes->tagListModel()->setRunning(m_state.running);
        m_status->refreshCounts();
        updateActions();
        onTimer();
    });
    connect(m_runMode, &RunMode::closeRequested, this, &MainWindow::close);

    m_hostWindow = m_desktop.createWindow(Title);
    if (m_hostWindow) {
        m_link->setOwnWindow(m_hostWindow->handle());
        m_hostWindow->setHandler(
            [this](const hostmsg::Message &m) { return handleHostMessage(m); });
    } else {
        qCWarning(lcMainWindow) << "no hostmsg window:" << m_desktop.errorString();
    }

    connect(&m_state.project, &Project::modifiedChanged, this, [this] {
        m_status->refreshPath();
        updateActions();
    });
    connect(&m_state.project, &Project::pathChanged, m_status, &StatusBarPanes::refreshPath);
    connect(&m_state.project, &Project::projectReset, this, [this] {
        m_panes->tagListModel()->setTags(nullptr);
        m_panes->tree()->expandAll();
        // New, Open, Close and a recent file all end here: each is the way
        // back to editing after a run that could not start or end properly.
        m_runCommands->returnToConfigurationMode();
        m_status->refreshCounts();
        updateActions();
    });

    auto *viewTimer = new QTimer(this);
    viewTimer->setInterval(ViewTimerPeriodMs);
    connect(viewTimer, &QTimer::timeout, this, &MainWindow::onTimer);
    viewTimer->start();

    m_status->refreshPath();
    m_status->refreshCounts();
    updateActions();
}

MainWindow::~MainWindow()
{
    // The engines go before the project objects they poll and the link they
    // deliver through.
    m_runCommands->closeDiagnostics();
    m_runMode->releaseNow();
}

void MainWindow::createCommands()
{
    const CommandContext context{m_state, m_log, m_notifier, *m_actions, *m_panes, *m_status, this};
    m_fileCommands = new ProjectFileCommands(context, this);
    m_tagCommands = new TagCommands(context, this);
    m_treeCommands = new TreeCommands(context, *m_tagCommands, this);
    m_runCommands = new RunCommands(context, *m_runMode, m_store, this);
    connect(m_tagCommands, &TagCommands::projectEdited, this, &MainWindow::markModified);
    connect(m_treeCommands, &TreeCommands::projectEdited, this, &MainWindow::markModified);
    connect(m_runCommands, &RunCommands::modeChanged, this, &MainWindow::updateActions);

    using namespace Command;
    connect(action(Exit), &QAction::triggered, this, &QWidget::close);
    connect(action(About), &QAction::triggered, this, [this] { showAboutBox(this); });
    // F4 is Properties, and edits the selected tag while the tag list has the
    // focus; the menu texts show it as the key of each edit command.
    auto *f4 = new QShortcut(QKeySequence(Qt::Key_F4), this);
    connect(f4, &QShortcut::activated, m_treeCommands, &TreeCommands::properties);
    auto *copy = new QShortcut(QKeySequence::Copy, this);
    connect(copy, &QShortcut::activated, action(CopyTag), &QAction::trigger);

    connect(m_panes, &MainWindowPanes::selectionChanged, this, &MainWindow::selectionChanged);
    m_contextMenus = new ContextMenus(*m_actions, *m_panes, m_state.settings.showDiagnostics, this);
    TagListModel *tags = m_panes->tagListModel();
    connect(tags, &QAbstractItemModel::modelReset, this, &MainWindow::updateActions);
    connect(tags, &QAbstractItemModel::rowsInserted, this, &MainWindow::updateActions);
    connect(tags, &QAbstractItemModel::rowsRemoved, this, &MainWindow::updateActions);
}

void MainWindow::createMenus()
{
    using namespace Command;
    const auto addActions = [this](QMenu *menu, std::initializer_list<Id> ids) {
        for (Id id : ids)
            menu->addAction(action(id));
    };
    m_fileMenu = menuBar()->addMenu(tr("&File"));
    addActions(m_fileMenu, {NewProject, OpenProject, CloseProject, SaveProject, SaveProjectAs});
    m_fileMenu->addSeparator();
    addActions(m_fileMenu, {ExportAllUnicode, ExportAllAnsi});
    m_fileMenu->addSeparator();
    // The recent files stand between these two separators.
    m_fileCommands->showRecentFilesIn(m_fileMenu, m_fileMenu->addSeparator());
    m_fileMenu->addAction(action(Exit));

    QMenu *view = menuBar()->addMenu(tr("&View"));
    connect(action(ToggleStatusBar), &QAction::toggled, this,
            [this](bool on) { statusBar()->setVisible(on); });
    addActions(view, {ToggleToolBar, ToggleStatusBar});

    addActions(menuBar()->addMenu(tr("&Channel")),
               {NewTcpChannel, NewRtuChannel, EditChannel, DeleteChannel});

    QMenu *device = menuBar()->addMenu(tr("&Device"));
    addActions(device, {NewDevice, EditDevice, DeleteDevice});
    device->addSeparator();
    addActions(device, {ExportDeviceTagsUnicode, ExportDeviceTagsAnsi, ImportDeviceTagsUnicode,
                        ImportDeviceTagsAnsi});

    QMenu *tags = menuBar()->addMenu(tr("&Tags"));
    addActions(tags, {NewTag, EditTag, DeleteTag});
    tags->addSeparator();
    addActions(tags, {NewTagGroup, EditTagGroup, DeleteTagGroup});
    tags->addSeparator();
    addActions(tags, {ExportGroupTagsUnicode, ExportGroupTagsAnsi, ImportGroupTagsUnicode,
                      ImportGroupTagsAnsi});
    tags->addSeparator();
    tags->addAction(action(CopyTag));
    if (m_state.settings.showDiagnostics)
        tags->addAction(action(WriteTag));

    addActions(menuBar()->addMenu(tr("&Mode")), {SwitchToRuntime, SwitchToConfiguration});

    QMenu *help = menuBar()->addMenu(tr("&Help"));
    help->addAction(action(About));
    if (m_state.settings.showDiagnostics)
        help->addAction(action(ShowDiagnostics));
}

void MainWindow::createToolBar()
{
    using namespace Command;
    m_toolBar = addToolBar(tr("Toolbar"));
    m_toolBar->setObjectName(QStringLiteral("toolbar"));
    m_toolBar->setIconSize(QSize(24, 24));
    const std::initializer_list<std::initializer_list<Id>> groups = {
        {NewProject, OpenProject, SaveProject, SaveProjectAs, CloseProject},
        {NewTcpChannel, NewRtuChannel, NewTcpDevice, NewRtuDevice},
        {NewTagGroup, NewTag},
        {Properties},
        {CopyTag},
        {SwitchToRuntime, SwitchToConfiguration},
    };
    bool first = true;
    for (const auto &group : groups) {
        if (!first)
            m_toolBar->addSeparator();
        first = false;
        for (Id id : group)
            m_toolBar->addAction(action(id));
    }
    QAction *toggle = action(ToggleToolBar);
    connect(toggle, &QAction::toggled, m_toolBar, &QToolBar::setVisible);
    connect(m_toolBar, &QToolBar::visibilityChanged, toggle, &QAction::setChecked);
}

// Settings and the window's life ------------------------------------------------

void MainWindow::readSettings()
{
    const QScreen *primary = QGuiApplication::primaryScreen();
    const QSize screen = primary ? primary->size() : QSize(1920, 1080);
    QRect placed = WindowPlacement::read(m_store).placedOn(screen);
    if (!WindowPlacement::isStored(m_store)) {
        // The first start: in the middle of the desktop, title bar included,
        // rather than at the corner where the frame would leave the screen.
        const QRect available = primary ? primary->availableGeometry() : QRect(QPoint(), screen);
        placed.moveCenter(available.center());
        placed.moveTop(std::max(placed.top(), available.top() + FirstStartFrameAllowance));
        placed.moveLeft(std::max(placed.left(), available.left()));
    }
    setGeometry(placed);
    m_panes->readLayout(m_store);
}

void MainWindow::writeSettings()
{
    m_panes->writeLayout(m_store);
    if (!isMinimized()) {
        // The rectangle setGeometry() takes back at the next start.
        const QRect rectangle = geometry();
        WindowPlacement placement{rectangle.x(), rectangle.y(), rectangle.width(),
                                  rectangle.height()};
        placement.write(m_store);
    }
    m_state.recentFiles.save(m_store);
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (!m_startedUp) {
        m_startedUp = true;
        // The panes are laid out once the window has its size.
        QTimer::singleShot(0, this, &MainWindow::startUp);
    }
}

void MainWindow::startUp()
{
    m_panes->placeSplitters();
    m_panes->tree()->expandAll();

    m_log.open(m_store);
    m_log.addMessage(DriverString::text(DriverString::StartingDriver));
    const DriverSettings &s = m_state.settings;
    const auto yesNo = [](bool on) {
        return DriverString::text(on ? DriverString::Yes : DriverString::No);
    };
    m_log.addMessage(
        DriverString::format(DriverString::StartupSettings,
                             {QString::number(s.eventMessageLevel), yesNo(s.showDiagnostics),
                              yesNo(s.generateFrameDetails), yesNo(s.generateErrorFiles),
                              QString::number(s.errorFileDurationMinutes)}),
        EventLog::Level::Verbose);
    if (m_openLastRequested)
        QTimer::singleShot(0, m_runCommands, &RunCommands::startForHost);
}

void MainWindow::closeFromSignal(int signalNumber)
{
    qCInfo(lcMainWindow) << "termination signal" << signalNumber << "received: closing";
    m_closeFromSignal = true;
    if (m_state.launchedByHost && m_state.running) {
        // The same way out as the host runtime's own stop request.
        m_runMode->handleStopRequest();
        return;
    }
    // A user-launched run is released over the run loop's next ticks and the
    // window closes again after it.
    close();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (m_state.launchedByHost) {
        // The host runtime still counts on this driver, unless it asked for
        // the stop itself (or stopped it by a signal).
        if (!m_runMode->stopRequested() && !m_closeFromSignal &&
            !m_notifier.askYesNo(DriverString::text(DriverString::AskQuitWhileClientConnected))) {
            event->ignore();
            return;
        }
        m_runCommands->closeDiagnostics();
        m_runMode->releaseNow();
    } else if (m_runMode->deferCloseWhileRunning()) {
        // The run loop releases the engines over its next two ticks and then
        // closes the window again.
        event->ignore();
        return;
    }
    // The close the released run asked for is being handled now; if it is
    // refused below, a later run must not close the window when it ends.
    m_state.closePending = false;

    // A project the user wanted saved and that could not be saved, or whose
    // save question was cancelled, keeps the window open: closing would lose it.
    if (!m_state.project.startNew()) {
        m_closeFromSignal = false;
        // A run released for this close has ended: the window stays to edit.
        m_runCommands->returnToConfigurationMode();
        event->ignore();
        return;
    }
    m_log.addMessage(DriverString::text(DriverString::ClosingDriver));
    writeSettings();
    const QList<int> messageWidths = m_panes->messageColumnWidths();
    m_log.close();
    writeColumnWidths(m_store, MessageListColumnsSection, messageWidths);
    m_store.sync();
    event->accept();
}

qint64 MainWindow::handleHostMessage(const hostmsg::Message &message)
{
    // The host runtime's stop request.
    constexpr quint32 StopRequestMessage = hostmsg::WM_USER + 102;
    switch (message.msg) {
    case hostmsg::WM_ACTIVATE:
        if (message.kind == hostmsg::Kind::Post)
            raiseFromAnotherInstance();
        return 0;
    case hostmsg::WM_COPYDATA:
        return m_link->handleCopyData(message);
    case StopRequestMessage:
        m_runMode->handleStopRequest();
        return 1;
    default:
        return 0;
    }
}

void MainWindow::raiseFromAnotherInstance()
{
    qCInfo(lcMainWindow) << "raised at the request of another instance";
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
}

// Panes, selection and status bar ------------------------------------------------

DiagnosticsWindow *MainWindow::diagnosticsWindow() const
{
    return m_runCommands->diagnosticsWindow();
}

void MainWindow::selectionChanged()
{
    m_panes->showTagsOf(m_panes->selectedIndex());
    m_status->refreshCounts();
    updateActions();
}

void MainWindow::onTimer()
{
    m_panes->tagListModel()->redrawMarkedRows();
    m_status->refreshMode();
}

void MainWindow::markModified()
{
    m_state.project.markModified();
    m_status->refreshPath();
    m_status->refreshCounts();
    updateActions();
}

// Enable rules and context menus -----------------------------------------------------

void MainWindow::updateActions()
{
    m_fileCommands->updateActions();
    m_treeCommands->updateActions();
    m_tagCommands->updateActions();
    m_runCommands->updateActions();
    action(Command::Exit)->setEnabled(true);
}

QList<QAction *> MainWindow::treeContextActions() const
{
    return m_contextMenus->treeActions();
}

QList<QAction *> MainWindow::tagListContextActions() const
{
    return m_contextMenus->tagListActions();
}
