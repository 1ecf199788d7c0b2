#include "mainwindow.h"

#include "diagnosticswindow.h"
#include "hostlink.h"
#include "modbusruntime.h"
#include "runmode.h"
#include "writetagcommand.h"

#include "desktop.h"
#include "driverstate.h"
#include "driverstrings.h"
#include "eventlog.h"
#include "eventlogmodel.h"
#include "layoutsettings.h"
#include "nodesheets.h"
#include "notifier.h"
#include "projecttreemodel.h"
#include "statuspane.h"
#include "tagcsv.h"
#include "tagdialogs.h"
#include "taglistmodel.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
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
constexpr int MinimumPaneExtent = 100; // splitters stop this far from the edges
// Room above the window's client area for a title bar on the first start.
constexpr int FirstStartFrameAllowance = 40;

const QString CsvFilter = QStringLiteral("CSV Files (*.csv)|*.csv|All files (*.*)|*.*|");

QString projectFolder(const QString &projectPath)
{
    return projectPath.isEmpty() ? QString() : QFileInfo(projectPath).absolutePath();
}

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
    createActions();
    createMenus();
    createToolBar();
    createStatusBar();
    createPanes();
    readSettings();

    m_link = std::make_unique<HostLink>(HostLinkState{m_state.launchedByHost, m_state.running,
                                                      m_state.hostWindow, m_state.linkState,
                                                      m_state.refreshAll},
                                        m_state.project.channels(), m_desktop, &m_log);
    m_runMode = new RunMode(m_state, m_log, m_notifier, *m_link, this);
    connect(m_runMode, &RunMode::modeChanged, this, [this] {
        m_tagListModel->setRunning(m_state.running);
        refreshCountPanes();
        updateActions();
        onTimer();
    });
    connect(m_runMode, &RunMode::diagnosticsMustClose, this, &MainWindow::closeDiagnostics);
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
        refreshPathPane();
        updateActions();
    });
    connect(&m_state.project, &Project::pathChanged, this, &MainWindow::refreshPathPane);
    connect(&m_state.project, &Project::projectReset, this, [this] {
        m_tagListModel->setTags(nullptr);
        m_tree->expandAll();
        // New, Open, Close and a recent file all end here: each is the way
        // back to editing after a run that could not start or end properly.
        returnToConfigurationMode();
        refreshCountPanes();
        updateActions();
    });

    m_viewTimer = new QTimer(this);
    m_viewTimer->setInterval(ViewTimerPeriodMs);
    connect(m_viewTimer, &QTimer::timeout, this, &MainWindow::onTimer);
    m_viewTimer->start();

    refreshPathPane();
    refreshCountPanes();
    updateActions();
}

MainWindow::~MainWindow()
{
    // The engines go before the project objects they poll and the link they
    // deliver through.
    closeDiagnostics();
    m_runMode->releaseNow();
}

QAction *MainWindow::addCommand(Command::Id id, const QString &text, const QString &statusTip,
                                void (MainWindow::*slot)())
{
    auto *action = new QAction(text, this);
    action->setStatusTip(statusTip);
    action->setData(int(id));
    if (slot)
        connect(action, &QAction::triggered, this, slot);
    m_actions.insert(id, action);
    return action;
}

void MainWindow::createActions()
{
    using namespace Command;
    const auto icon = [](const char *name) {
        return QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1StringView(name)));
    };

    addCommand(NewProject, tr("&New..."), tr("Create a new project"), &MainWindow::newProject)
        ->setIcon(icon("new"));
    addCommand(OpenProject, tr("&Open..."), tr("Open an existing project"),
               &MainWindow::openProject)
        ->setIcon(icon("open"));
    addCommand(CloseProject, tr("&Close..."), tr("Close the project"), &MainWindow::closeProject)
        ->setIcon(icon("close"));
    addCommand(SaveProject, tr("&Save"), tr("Save the project"), &MainWindow::saveProject)
        ->setIcon(icon("save"));
    addCommand(SaveProjectAs, tr("Save &As..."), tr("Save the project under a new name"),
               &MainWindow::saveProjectAs)
        ->setIcon(icon("saveas"));
    addCommand(ExportAllUnicode, tr("Export all tags to Unicode CSV File..."),
               tr("Export every tag of the project for the tag database, as Unicode"),
               &MainWindow::exportAllUnicode);
    addCommand(ExportAllAnsi, tr("Export all tags to Ansi CSV File..."),
               tr("Export every tag of the project for the tag database, as ANSI"),
               &MainWindow::exportAllAnsi);
    addCommand(Exit, tr("E&xit"), tr("Quit the driver"), nullptr);
    connect(m_actions.value(Exit), &QAction::triggered, this, &QWidget::close);

    addCommand(NewRtuChannel, tr("New RTU Channel..."), tr("Add a serial channel"),
               &MainWindow::newRtuChannel)
        ->setIcon(icon("rtuchannel"));
    addCommand(NewTcpChannel, tr("New TCP Channel..."), tr("Add a Modbus TCP channel"),
               &MainWindow::newTcpChannel)
        ->setIcon(icon("tcpchannel"));
    addCommand(EditChannel, tr("Edit Channel...\tF4"), tr("Edit the selected channel"),
               &MainWindow::editChannel);
    addCommand(DeleteChannel, tr("Delete Channel..."), tr("Delete the selected channel"),
               &MainWindow::deleteChannel);
    addCommand(NewDevice, tr("New Device..."), tr("Add a device to the selected channel"),
               &MainWindow::newDevice);
    addCommand(NewTcpDevice, tr("New TCPIP Device"), tr("Add a device to the selected TCP channel"),
               &MainWindow::newDevice)
        ->setIcon(icon("tcpdevice"));
    addCommand(NewRtuDevice, tr("New RTU Device"), tr("Add a device to the selected RTU channel"),
               &MainWindow::newDevice)
        ->setIcon(icon("rtudevice"));
    addCommand(EditDevice, tr("Edit Device...\tF4"), tr("Edit the selected device"),
               &MainWindow::editDevice);
    addCommand(DeleteDevice, tr("Delete Device..."), tr("Delete the selected device"),
               &MainWindow::deleteDevice);
    addCommand(ExportDeviceTagsUnicode, tr("Export Tags to Unicode CSV File..."),
               tr("Export the device's tags as Unicode CSV"), &MainWindow::exportDeviceTagsUnicode);
    addCommand(ExportDeviceTagsAnsi, tr("Export Tags to Ansi CSV File..."),
               tr("Export the device's tags as ANSI CSV"), &MainWindow::exportDeviceTagsAnsi);
    addCommand(ImportDeviceTagsUnicode, tr("Import Tags from Unicode CSV File..."),
               tr("Import tags into the device from Unicode CSV"),
               &MainWindow::importDeviceTagsUnicode);
    addCommand(ImportDeviceTagsAnsi, tr("Import Tags from Ansi CSV File..."),
               tr("Import tags into the device from ANSI CSV"), &MainWindow::importDeviceTagsAnsi);

    addCommand(NewTag, tr("New Tag..."), tr("Add tags to the selected device or group"),
               &MainWindow::newTag)
        ->setIcon(icon("tag"));
    addCommand(Command::EditTag, tr("Edit Tag...\tF4"), tr("Edit the selected tag"),
               &MainWindow::editTag);
    addCommand(DeleteTag, tr("Delete Tag...\tDel"), tr("Delete the selected tag"),
               &MainWindow::deleteTag);
    addCommand(NewTagGroup, tr("New Tag Group..."), tr("Add a tag group"), &MainWindow::newTagGroup)
        ->setIcon(icon("taggroup"));
    addCommand(Command::EditTagGroup, tr("Edit Tag Group...\tF4"),
               tr("Edit the selected tag group"), &MainWindow::editTagGroup);
    addCommand(DeleteTagGroup, tr("Delete Tag Group..."), tr("Delete the selected tag group"),
               &MainWindow::deleteTagGroup);
    addCommand(ExportGroupTagsUnicode, tr("Export Group Tags to Unicode CSV File..."),
               tr("Export the group's tags as Unicode CSV"), &MainWindow::exportGroupTagsUnicode);
    addCommand(ExportGroupTagsAnsi, tr("Export Group Tags to Ansi CSV File..."),
               tr("Export the group's tags as ANSI CSV"), &MainWindow::exportGroupTagsAnsi);
    addCommand(ImportGroupTagsUnicode, tr("Import Group Tags from Unicode CSV File..."),
               tr("Import tags into the group from Unicode CSV"),
               &MainWindow::importGroupTagsUnicode);
    addCommand(ImportGroupTagsAnsi, tr("Import Group Tags from Ansi CSV File..."),
               tr("Import tags into the group from ANSI CSV"), &MainWindow::importGroupTagsAnsi);
    addCommand(CopyTag, tr("Copy tag to clipboard\tCtrl + C"),
               tr("Copy the fully qualified name of the selection"), &MainWindow::copyTag)
        ->setIcon(icon("copytag"));
    addCommand(WriteTag, tr("WriteTag"), tr("Write a value to the selected tag"),
               &MainWindow::writeTag);
    addCommand(Properties, tr("Properties"), tr("Edit the properties of the selected item"),
               &MainWindow::properties)
        ->setIcon(icon("properties"));
    addCommand(SwitchToRuntime, tr("Switch to Runtime"), tr("Run the project"),
               &MainWindow::switchToRuntime)
        ->setIcon(icon("runtime"));
    addCommand(SwitchToConfiguration, tr("Switch to Configuration Mode"),
               tr("Stop the run and edit the project"), &MainWindow::switchToConfiguration)
        ->setIcon(icon("configmode"));
    addCommand(About, tr("&About Modbus Driver..."), tr("Show the program's version"),
               &MainWindow::about);
    addCommand(ShowDiagnostics, tr("Show Diagnostics..."), tr("Show the channels' counters"),
               &MainWindow::showDiagnostics);

    // The usual keys of file commands.
    m_actions.value(NewProject)->setShortcut(QKeySequence::New);
    m_actions.value(OpenProject)->setShortcut(QKeySequence::Open);
    m_actions.value(SaveProject)->setShortcut(QKeySequence::Save);
    for (Id id : {NewProject, OpenProject, SaveProject})
        m_actions.value(id)->setShortcutContext(Qt::WindowShortcut);

    // F4 is Properties, and edits the selected tag while the tag list has the
    // focus; the menu texts show it as the key of each edit command.
    auto *f4 = new QShortcut(QKeySequence(Qt::Key_F4), this);
    connect(f4, &QShortcut::activated, this, &MainWindow::properties);
    auto *copy = new QShortcut(QKeySequence::Copy, this);
    connect(copy, &QShortcut::activated, m_actions.value(CopyTag), &QAction::trigger);
}

void MainWindow::createMenus()
{
    using namespace Command;
    m_fileMenu = menuBar()->addMenu(tr("&File"));
    for (Id id : {NewProject, OpenProject, CloseProject, SaveProject, SaveProjectAs})
        m_fileMenu->addAction(m_actions.value(id));
    m_fileMenu->addSeparator();
    m_fileMenu->addAction(m_actions.value(ExportAllUnicode));
    m_fileMenu->addAction(m_actions.value(ExportAllAnsi));
    m_fileMenu->addSeparator();
    // The recent files stand between these two separators.
    m_recentFilesEnd = m_fileMenu->addSeparator();
    m_fileMenu->addAction(m_actions.value(Exit));
    connect(m_fileMenu, &QMenu::aboutToShow, this, &MainWindow::rebuildRecentFileMenu);

    QMenu *view = menuBar()->addMenu(tr("&View"));
    QAction *toolBarAction =
        addCommand(ToggleToolBar, tr("&Toolbar"), tr("Show or hide the toolbar"), nullptr);
    QAction *statusBarAction =
        addCommand(ToggleStatusBar, tr("&Status Bar"), tr("Show or hide the status bar"), nullptr);
    toolBarAction->setCheckable(true);
    toolBarAction->setChecked(true);
    statusBarAction->setCheckable(true);
    statusBarAction->setChecked(true);
    connect(statusBarAction, &QAction::toggled, this,
            [this](bool on) { statusBar()->setVisible(on); });
    view->addAction(toolBarAction);
    view->addAction(statusBarAction);

    QMenu *channel = menuBar()->addMenu(tr("&Channel"));
    for (Id id : {NewTcpChannel, NewRtuChannel, EditChannel, DeleteChannel})
        channel->addAction(m_actions.value(id));

    QMenu *device = menuBar()->addMenu(tr("&Device"));
    for (Id id : {NewDevice, EditDevice, DeleteDevice})
        device->addAction(m_actions.value(id));
    device->addSeparator();
    for (Id id : {ExportDeviceTagsUnicode, ExportDeviceTagsAnsi, ImportDeviceTagsUnicode,
                  ImportDeviceTagsAnsi})
        device->addAction(m_actions.value(id));

    QMenu *tags = menuBar()->addMenu(tr("&Tags"));
    for (Id id : {NewTag, Command::EditTag, DeleteTag})
        tags->addAction(m_actions.value(id));
    tags->addSeparator();
    for (Id id : {NewTagGroup, Command::EditTagGroup, DeleteTagGroup})
        tags->addAction(m_actions.value(id));
    tags->addSeparator();
    for (Id id :
         {ExportGroupTagsUnicode, ExportGroupTagsAnsi, ImportGroupTagsUnicode, ImportGroupTagsAnsi})
        tags->addAction(m_actions.value(id));
    tags->addSeparator();
    tags->addAction(m_actions.value(CopyTag));
    if (m_state.settings.showDiagnostics)
        tags->addAction(m_actions.value(WriteTag));

    QMenu *mode = menuBar()->addMenu(tr("&Mode"));
    mode->addAction(m_actions.value(SwitchToRuntime));
    mode->addAction(m_actions.value(SwitchToConfiguration));

    QMenu *help = menuBar()->addMenu(tr("&Help"));
    help->addAction(m_actions.value(About));
    if (m_state.settings.showDiagnostics)
        help->addAction(m_actions.value(ShowDiagnostics));
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
            m_toolBar->addAction(m_actions.value(id));
    }
    QAction *toggle = m_actions.value(ToggleToolBar);
    connect(toggle, &QAction::toggled, m_toolBar, &QToolBar::setVisible);
    connect(m_toolBar, &QToolBar::visibilityChanged, toggle, &QAction::setChecked);
}

void MainWindow::createStatusBar()
{
    // Panes sized by the texts the Windows status bar measured them with.
    const auto addPane = [this](const QString &sizingText) {
        auto *pane = new StatusPane(sizingText, this);
        statusBar()->addPermanentWidget(pane);
        return pane;
    };
    m_pathPane = addPane(QString(141, u' '));
    m_projectTagsPane = addPane(QStringLiteral("Project Tags = 0000000 ;"));
    m_selectedTagsPane = addPane(QStringLiteral("Selected Item Tags = 000000 ;"));
    m_modePane = addPane(QStringLiteral("Configuration Mode..."));
    m_modePane->setText(QStringLiteral("Configuration Mode..."));
}

void MainWindow::createPanes()
{
    m_treeModel = new ProjectTreeModel(m_state.project, this);
    m_tree = new QTreeView;
    m_tree->setObjectName(QStringLiteral("projectTree"));
    m_tree->setModel(m_treeModel);
    m_tree->setHeaderHidden(true);
    m_tree->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
    connect(m_tree->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &MainWindow::selectionChanged);
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_tree, &QWidget::customContextMenuRequested, this, [this](const QPoint &position) {
        // The item under the pointer is the one the menu is about; a click
        // beside every item clears the selection (the channel commands).
        const QModelIndex index = m_tree->indexAt(position);
        if (index.isValid())
            selectIndex(index);
        else
            m_tree->selectionModel()->clearSelection();
        showContextMenu(m_tree, treeContextActions(), position);
    });

    m_tagListModel = new TagListModel(this);
    m_tagList = new QTableView;
    m_tagList->setObjectName(QStringLiteral("tagList"));
    m_tagList->setModel(m_tagListModel);
    m_tagList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_tagList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_tagList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_tagList->verticalHeader()->hide();
    m_tagList->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    m_tagList->setWordWrap(false);
    m_tagList->horizontalHeader()->setSectionsClickable(true);
    m_tagList->horizontalHeader()->setHighlightSections(false);
    connect(m_tagList->horizontalHeader(), &QHeaderView::sectionClicked, m_tagListModel,
            &TagListModel::sortByColumn);
    connect(m_tagList, &QAbstractItemView::doubleClicked, this, &MainWindow::editTag);
    m_tagList->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_tagList, &QWidget::customContextMenuRequested, this, [this](const QPoint &position) {
        const QModelIndex index = m_tagList->indexAt(position);
        if (index.isValid())
            m_tagList->selectRow(index.row());
        showContextMenu(m_tagList, tagListContextActions(), position);
    });
    connect(m_tagListModel, &QAbstractItemModel::modelReset, this, &MainWindow::updateActions);
    connect(m_tagListModel, &QAbstractItemModel::rowsInserted, this, &MainWindow::updateActions);
    connect(m_tagListModel, &QAbstractItemModel::rowsRemoved, this, &MainWindow::updateActions);
    auto *deleteKey =
        new QShortcut(QKeySequence::Delete, m_tagList, nullptr, nullptr, Qt::WidgetShortcut);
    connect(deleteKey, &QShortcut::activated, this, &MainWindow::deleteTag);

    m_logModel = new EventLogModel(m_log, this);
    m_messageList = new QTableView;
    m_messageList->setObjectName(QStringLiteral("messageList"));
    m_messageList->setModel(m_logModel);
    m_messageList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_messageList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_messageList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_messageList->verticalHeader()->hide();
    m_messageList->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    m_messageList->setWordWrap(false);
    connect(m_logModel, &QAbstractItemModel::rowsInserted, m_messageList,
            [this] { m_messageList->scrollToBottom(); });

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
    setCentralWidget(m_rows);
}

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

    const SplitterPercentages percentages = SplitterPercentages::read(m_store);
    m_horizontalPercent = percentages.horizontal;
    m_verticalPercent = percentages.vertical;

    const QList<int> tagWidths =
        readColumnWidths(m_store, TagListColumnsSection, TagListColumnCount);
    for (int i = 0; i < tagWidths.size(); ++i)
        m_tagList->setColumnWidth(i, tagWidths.at(i));
    const QList<int> messageWidths =
        readColumnWidths(m_store, MessageListColumnsSection, MessageListColumnCount);
    for (int i = 0; i < messageWidths.size(); ++i)
        m_messageList->setColumnWidth(i, messageWidths.at(i));
}

void MainWindow::writeSettings()
{
    const int width = m_columns->width();
    const int height = m_rows->height();
    SplitterPercentages percentages;
    if (width > 0 && height > 0) {
        percentages.horizontal = m_columns->sizes().value(0) * 100.0 / width;
        percentages.vertical = m_rows->sizes().value(0) * 100.0 / height;
        percentages.write(m_store);
    }

    QList<int> tagWidths;
    for (int i = 0; i < TagListColumnCount; ++i)
        tagWidths << m_tagList->columnWidth(i);
    writeColumnWidths(m_store, TagListColumnsSection, tagWidths);

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
    const int width = m_rows->width();
    const int height = m_rows->height();
    const int splitX = int(m_horizontalPercent / 100.0 * width);
    const int splitY = int(m_verticalPercent / 100.0 * height);
    m_columns->setSizes({splitX, width - splitX});
    m_rows->setSizes({splitY, height - splitY});
    m_tree->expandAll();

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
        QTimer::singleShot(0, this, &MainWindow::startRequest);
}

void MainWindow::startRequest()
{
    const QString path = m_state.recentFiles.entry(0);
    if (!path.isEmpty() && m_state.project.startNew()) {
        m_state.project.loadFile(path);
        m_tree->expandAll();
        m_log.addMessage(DriverString::format(DriverString::ProjectOpened, {path}));
        m_state.recentFiles.add(path);
    }
    m_state.launchedByHost = true;
    m_log.addMessage(DriverString::text(DriverString::OpenProjectRequestFromParent));
    updateActions();
    QTimer::singleShot(0, this, &MainWindow::switchToRuntime);
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
        closeDiagnostics();
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
        returnToConfigurationMode();
        event->ignore();
        return;
    }
    m_log.addMessage(DriverString::text(DriverString::ClosingDriver));
    writeSettings();
    QList<int> messageWidths;
    for (int i = 0; i < MessageListColumnCount; ++i)
        messageWidths << m_messageList->columnWidth(i);
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

QString MainWindow::statusPaneText(int pane) const
{
    switch (pane) {
    case 1:
        return m_pathPane->text();
    case 2:
        return m_projectTagsPane->text();
    case 3:
        return m_selectedTagsPane->text();
    case 4:
        return m_modePane->text();
    default:
        return statusBar()->currentMessage();
    }
}

// Selection ------------------------------------------------------------------

QModelIndex MainWindow::selectedIndex() const
{
    // The selection, not the current index: a view that gets the focus makes
    // its first item current without selecting anything.
    const QModelIndexList selected = m_tree->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? QModelIndex() : selected.first();
}

CModObject *MainWindow::selectedObject() const
{
    return m_treeModel->object(selectedIndex());
}

TagList *MainWindow::selectedTagList() const
{
    CModObject *object = selectedObject();
    return object ? object->tagList() : nullptr;
}

CModTag *MainWindow::selectedTag() const
{
    const QModelIndexList rows = m_tagList->selectionModel()->selectedRows();
    return rows.isEmpty() ? nullptr : m_tagListModel->tag(rows.first().row());
}

void MainWindow::selectionChanged()
{
    showTagsOf(selectedIndex());
    refreshCountPanes();
    updateActions();
}

void MainWindow::showTagsOf(const QModelIndex &index)
{
    CModObject *object = m_treeModel->object(index);
    m_tagListModel->setTags(object ? object->tagList() : nullptr);
}

void MainWindow::selectIndex(const QModelIndex &index)
{
    m_tree->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
}

QString MainWindow::selectionPath() const
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

// Status bar -----------------------------------------------------------------

void MainWindow::refreshPathPane()
{
    m_pathPane->setText(m_state.project.path() +
                        (m_state.project.isModified() ? QStringLiteral(" *") : QString()));
}

void MainWindow::refreshCountPanes()
{
    const qsizetype projectTags = m_state.project.tagCount();
    m_projectTagsPane->setText(projectTags ? QStringLiteral("Project Tags = %1").arg(projectTags)
                                           : QString());
    const QModelIndex selected = selectedIndex();
    m_selectedTagsPane->setText(
        selected.isValid()
            ? QStringLiteral("Selected Item Tags = %1").arg(m_treeModel->tagCount(selected))
            : QString());
}

void MainWindow::onTimer()
{
    m_tagListModel->redrawMarkedRows();
    if (m_state.running) {
        m_blinkOn = !m_blinkOn;
        m_modePane->setText(m_blinkOn ? QStringLiteral("Run Mode...") : QString());
    } else {
        m_modePane->setText(QStringLiteral("Configuration Mode..."));
    }
}

void MainWindow::markModified()
{
    m_state.project.markModified();
    refreshPathPane();
    refreshCountPanes();
    updateActions();
}

// Enable rules -----------------------------------------------------------------

void MainWindow::updateActions()
{
    using namespace Command;
    const bool running = m_state.running;
    const bool configuring = m_state.configurationMode;
    const bool modified = m_state.project.isModified();

    for (Id id : {NewProject, OpenProject, CloseProject, SaveProjectAs})
        m_actions.value(id)->setEnabled(!running);
    m_actions.value(SaveProject)->setEnabled(!running && modified);
    for (QAction *recent : std::as_const(m_recentFileActions))
        recent->setEnabled(!running);

    const CModObject *object = selectedObject();
    const bool selected = object != nullptr;
    const bool channel = selected && object->isChannel();
    const auto *asChannel = dynamic_cast<const CModChnl *>(object);
    const bool tcpChannel = asChannel && asChannel->kind() == CModChnl::TcpKind;
    const bool rtuChannel = asChannel && asChannel->kind() == CModChnl::RtuKind;
    const bool device = selected && object->isDevice();
    const bool group = selected && object->isTagGroup();
    const bool hasRows = m_tagListModel->rowCount() > 0;

    const auto set = [this, configuring](std::initializer_list<Id> ids, bool enabled) {
        for (Id id : ids)
            m_actions.value(id)->setEnabled(configuring && enabled);
    };
    set({NewRtuChannel, NewTcpChannel}, true);
    set({EditChannel, DeleteChannel, NewDevice}, channel);
    set({NewTcpDevice}, tcpChannel);
    set({NewRtuDevice}, rtuChannel);
    set({EditDevice, DeleteDevice, ExportDeviceTagsUnicode, ImportDeviceTagsUnicode,
         ExportDeviceTagsAnsi, ImportDeviceTagsAnsi},
        device);
    set({NewTag, NewTagGroup}, device || group);
    set({Command::EditTag, DeleteTag}, (device || group) && hasRows);
    set({Command::EditTagGroup, DeleteTagGroup, ExportGroupTagsUnicode, ImportGroupTagsUnicode,
         ExportGroupTagsAnsi, ImportGroupTagsAnsi},
        group);
    set({CopyTag, ExportAllUnicode, ExportAllAnsi}, selected);

    m_actions.value(SwitchToRuntime)->setEnabled(configuring);
    m_actions.value(SwitchToConfiguration)->setEnabled(!configuring && !m_state.launchedByHost);
    m_actions.value(WriteTag)->setEnabled(!configuring);
    m_actions.value(ShowDiagnostics)->setEnabled(!configuring);
    m_actions.value(Properties)->setEnabled(true);
    m_actions.value(Exit)->setEnabled(true);
}

void MainWindow::rebuildRecentFileMenu()
{
    for (QAction *action : std::as_const(m_recentFileActions)) {
        m_fileMenu->removeAction(action);
        delete action;
    }
    m_recentFileActions.clear();
    if (m_state.running)
        return;
    // Entries whose file is gone leave the list.
    for (int i = RecentFileList::Size - 1; i >= 0; --i) {
        const QString path = m_state.recentFiles.entry(i);
        if (!path.isEmpty() && !QFileInfo::exists(path))
            m_state.recentFiles.remove(i);
    }
    for (int i = 0; i < RecentFileList::Size; ++i) {
        const QString path = m_state.recentFiles.entry(i);
        if (path.isEmpty())
            continue;
        auto *action = new QAction(path, this);
        action->setData(int(Command::FirstRecentFile) + i);
        connect(action, &QAction::triggered, this, [this, i] { openRecentFile(i); });
        m_fileMenu->insertAction(m_recentFilesEnd, action);
        m_recentFileActions << action;
    }
}

// Context menus ----------------------------------------------------------------

QList<QAction *> MainWindow::treeContextActions() const
{
    using namespace Command;
    QList<Id> ids;
    const CModObject *object = selectedObject();
    if (!object)
        ids = {NewTcpChannel, NewRtuChannel};
    else if (object->isChannel())
        ids = {NewDevice, EditChannel, DeleteChannel, CopyTag};
    else if (object->isDevice())
        ids = {NewTagGroup,
               NewTag,
               EditDevice,
               DeleteDevice,
               CopyTag,
               ExportDeviceTagsUnicode,
               ExportDeviceTagsAnsi,
               ImportDeviceTagsUnicode,
               ImportDeviceTagsAnsi};
    else if (object->isTagGroup())
        ids = {NewTagGroup,
               NewTag,
               Command::EditTagGroup,
               DeleteTagGroup,
               CopyTag,
               ExportGroupTagsUnicode,
               ExportGroupTagsAnsi,
               ImportGroupTagsUnicode,
               ImportGroupTagsAnsi};
    QList<QAction *> actions;
    for (Id id : std::as_const(ids)) {
        // Only what applies now: a run disables the editing commands.
        if (QAction *action = m_actions.value(id); action && action->isEnabled())
            actions << action;
    }
    return actions;
}

QList<QAction *> MainWindow::tagListContextActions() const
{
    using namespace Command;
    QList<Id> ids = {NewTag};
    if (selectedTag()) {
        ids << Command::EditTag << DeleteTag << CopyTag;
        if (m_state.settings.showDiagnostics)
            ids << WriteTag;
    }
    QList<QAction *> actions;
    for (Id id : std::as_const(ids)) {
        if (QAction *action = m_actions.value(id); action && action->isEnabled())
            actions << action;
    }
    return actions;
}

void MainWindow::showContextMenu(QAbstractItemView *view, const QList<QAction *> &actions,
                                 const QPoint &position)
{
    if (actions.isEmpty())
        return;
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("contextMenu"));
    menu.addActions(actions);
    menu.exec(view->viewport()->mapToGlobal(position));
}

// File commands --------------------------------------------------------------

void MainWindow::newProject()
{
    m_state.project.startNew();
}

void MainWindow::returnToConfigurationMode()
{
    if (!m_state.running && !m_state.configurationMode) {
        m_state.configurationMode = true;
        updateActions();
    }
}

void MainWindow::openProject()
{
    m_state.project.open();
    refreshCountPanes();
}

void MainWindow::closeProject()
{
    m_state.project.close();
}

void MainWindow::saveProject()
{
    m_state.project.save();
}

void MainWindow::saveProjectAs()
{
    m_state.project.saveAs();
}

void MainWindow::exportAllUnicode()
{
    exportAll(true);
}

void MainWindow::exportAllAnsi()
{
    exportAll(false);
}

void MainWindow::exportAll(bool unicode)
{
    const QString path = m_notifier.getSaveFileName(
        {tr("CSV File Name"), CsvFilter, QStringLiteral("csv"),
         projectFolder(m_state.project.path()), QStringLiteral("ModTags.csv")});
    if (path.isEmpty())
        return;
    TagCsv::exportMaster(m_state.project.channels(), path,
                         unicode ? TagCsv::Encoding::Unicode : TagCsv::Encoding::Ansi, m_notifier,
                         [this](const QString &line) { m_log.addMessage(line); });
}

void MainWindow::openRecentFile(int index)
{
    const QString path = m_state.recentFiles.entry(index);
    if (path.isEmpty() || !m_state.project.startNew())
        return;
    m_state.project.loadFile(path);
    m_log.addMessage(DriverString::format(DriverString::ProjectOpened, {path}));
    m_state.recentFiles.add(path);
}

// Channels and devices -----------------------------------------------------------

void MainWindow::newRtuChannel()
{
    newChannel(false);
}

void MainWindow::newTcpChannel()
{
    newChannel(true);
}

void MainWindow::newChannel(bool tcp)
{
    if (!m_state.project.canAddChannel())
        return;
    std::shared_ptr<CModChnl> channel;
    if (tcp)
        channel = std::make_shared<CModTCPChnl>();
    else
        channel = std::make_shared<CModRTUChnl>();
    if (!editChannelProperties(this, *channel, m_state.project.channels(), m_notifier))
        return;
    selectIndex(m_treeModel->appendChannel(std::move(channel)));
    markModified();
}

void MainWindow::editChannel()
{
    if (selectedObject() && selectedObject()->isChannel())
        editNode(selectedIndex());
}

void MainWindow::deleteChannel()
{
    if (selectedObject() && selectedObject()->isChannel())
        deleteNode(selectedIndex(), DriverString::AskDeleteChannel);
}

void MainWindow::newDevice()
{
    const QModelIndex channelIndex = selectedIndex();
    auto *channel = dynamic_cast<CModChnl *>(m_treeModel->object(channelIndex));
    if (!channel)
        return;
    std::shared_ptr<CModDevice> device = channel->newDevice();
    if (!editDeviceProperties(this, *device, channel->devices, m_notifier))
        return;
    const QModelIndex added = m_treeModel->appendDevice(channelIndex, std::move(device));
    m_tree->expand(channelIndex);
    selectIndex(added);
    markModified();
}

void MainWindow::editDevice()
{
    if (selectedObject() && selectedObject()->isDevice())
        editNode(selectedIndex());
}

void MainWindow::deleteDevice()
{
    if (selectedObject() && selectedObject()->isDevice())
        deleteNode(selectedIndex(), DriverString::AskDeleteDevice);
}

bool MainWindow::editNode(const QModelIndex &index)
{
    CModObject *object = m_treeModel->object(index);
    bool accepted = false;
    if (auto *channel = dynamic_cast<CModChnl *>(object)) {
        accepted = editChannelProperties(this, *channel, m_state.project.channels(), m_notifier);
    } else if (auto *device = dynamic_cast<CModDevice *>(object)) {
        auto *channel = static_cast<CModChnl *>(m_treeModel->parentObject(index));
        accepted = editDeviceProperties(this, *device, channel->devices, m_notifier);
    } else if (auto *group = dynamic_cast<CModTagGroup *>(object)) {
        CModObject *owner = m_treeModel->parentObject(index);
        const TagGroups &siblings = owner->isDevice() ? static_cast<CModDevice *>(owner)->groups
                                                      : static_cast<CModTagGroup *>(owner)->groups;
        accepted = editTagGroupInDialog(this, *group, siblings, m_notifier);
    }
    if (accepted) {
        m_treeModel->nodeChanged(index);
        markModified();
    }
    return accepted;
}

void MainWindow::deleteNode(const QModelIndex &index, int questionId)
{
    CModObject *object = m_treeModel->object(index);
    if (!object ||
        !m_notifier.askYesNo(DriverString::format(DriverString::Id(questionId), {object->name})))
        return;
    m_tagListModel->setTags(nullptr);
    m_treeModel->removeNode(index);
    showTagsOf(selectedIndex());
    markModified();
}

// Tags and groups ----------------------------------------------------------------

void MainWindow::exportDeviceTagsUnicode()
{
    exportSelectedTags(true);
}
void MainWindow::exportDeviceTagsAnsi()
{
    exportSelectedTags(false);
}
void MainWindow::importDeviceTagsUnicode()
{
    importSelectedTags(true);
}
void MainWindow::importDeviceTagsAnsi()
{
    importSelectedTags(false);
}
void MainWindow::exportGroupTagsUnicode()
{
    exportSelectedTags(true);
}
void MainWindow::exportGroupTagsAnsi()
{
    exportSelectedTags(false);
}
void MainWindow::importGroupTagsUnicode()
{
    importSelectedTags(true);
}
void MainWindow::importGroupTagsAnsi()
{
    importSelectedTags(false);
}

void MainWindow::exportSelectedTags(bool unicode)
{
    const CModObject *object = selectedObject();
    TagList *tags = selectedTagList();
    if (!tags)
        return;
    if (tags->isEmpty()) {
        m_notifier.showMessage(DriverString::text(DriverString::NoTagsToExport),
                               Notifier::Icon::Stop);
        return;
    }
    const QString path =
        m_notifier.getSaveFileName({tr("CSV File Name"), CsvFilter, QStringLiteral("csv"),
                                    projectFolder(m_state.project.path()), object->name});
    if (path.isEmpty())
        return;
    TagCsv::exportPlain(*tags, path, unicode ? TagCsv::Encoding::Unicode : TagCsv::Encoding::Ansi,
                        m_notifier, [this](const QString &line) { m_log.addMessage(line); });
}

void MainWindow::importSelectedTags(bool unicode)
{
    const CModObject *object = selectedObject();
    TagList *tags = selectedTagList();
    if (!tags)
        return;
    const QString path =
        m_notifier.getOpenFileName({tr("CSV File Name"), CsvFilter, QStringLiteral("csv"),
                                    projectFolder(m_state.project.path()), object->name});
    if (path.isEmpty())
        return;
    if (TagCsv::importPlain(*tags, path,
                            unicode ? TagCsv::Encoding::Unicode : TagCsv::Encoding::Ansi,
                            m_notifier, [this](const QString &line) { m_log.addMessage(line); })) {
        m_tagListModel->setTags(tags);
        markModified();
    }
}

void MainWindow::newTag()
{
    TagList *tags = selectedTagList();
    if (!tags)
        return;
    if (addTagsInDialog(this, *tags, m_notifier) > 0) {
        m_tagListModel->appendNewTags();
        markModified();
    }
}

void MainWindow::editTag()
{
    if (m_state.running)
        return;
    TagList *tags = selectedTagList();
    CModTag *tag = selectedTag();
    if (!tags || !tag)
        return;
    if (editTagInDialog(this, *tag, *tags, m_notifier)) {
        tag->flags |= CModTag::Redraw;
        m_tagListModel->redrawMarkedRows();
        markModified();
    }
}

void MainWindow::deleteTag()
{
    if (m_state.running)
        return;
    CModObject *object = selectedObject();
    CModTag *tag = selectedTag();
    if (!object || !tag ||
        !m_notifier.askYesNo(DriverString::format(DriverString::AskDeleteTag, {tag->TagName})))
        return;
    m_tagListModel->removeTag(tag);
    object->removeTag(tag);
    markModified();
}

void MainWindow::newTagGroup()
{
    const QModelIndex ownerIndex = selectedIndex();
    CModObject *owner = m_treeModel->object(ownerIndex);
    const TagGroups *siblings = nullptr;
    if (auto *device = dynamic_cast<CModDevice *>(owner))
        siblings = &device->groups;
    else if (auto *group = dynamic_cast<CModTagGroup *>(owner))
        siblings = &group->groups;
    if (!siblings)
        return;
    auto group = std::make_shared<CModTagGroup>();
    if (!editTagGroupInDialog(this, *group, *siblings, m_notifier))
        return;
    m_treeModel->appendGroup(ownerIndex, std::move(group));
    m_tree->expand(ownerIndex);
    markModified();
}

void MainWindow::editTagGroup()
{
    if (selectedObject() && selectedObject()->isTagGroup())
        editNode(selectedIndex());
}

void MainWindow::deleteTagGroup()
{
    if (selectedObject() && selectedObject()->isTagGroup())
        deleteNode(selectedIndex(), DriverString::AskDeleteTagGroup);
}

void MainWindow::copyTag()
{
    if (m_state.running)
        return;
    const QString path = selectionPath();
    if (!path.isEmpty())
        QGuiApplication::clipboard()->setText(path);
}

void MainWindow::properties()
{
    if (m_state.running || !selectedIndex().isValid())
        return;
    if (m_tagList->hasFocus() && selectedTag()) {
        editTag();
        return;
    }
    editNode(selectedIndex());
}

void MainWindow::about()
{
    showAboutBox(this);
}

void MainWindow::switchToRuntime()
{
    m_runMode->switchToRuntime();
}

void MainWindow::switchToConfiguration()
{
    m_runMode->switchToConfigurationMode();
}

void MainWindow::showDiagnostics()
{
    if (!m_state.running || !m_runMode->runtime())
        return;
    if (!m_diagnostics) {
        m_diagnostics =
            new DiagnosticsWindow(m_runMode->runtime()->diagnosticRows(), m_store, this);
        connect(m_diagnostics, &DiagnosticsWindow::closing, m_diagnostics, &QObject::deleteLater);
    }
    m_diagnostics->show();
    m_diagnostics->raise();
}

void MainWindow::closeDiagnostics()
{
    // Closed as by its Close button: it lets go of the rows at once, before
    // the objects they show are released.
    if (m_diagnostics)
        m_diagnostics->reject();
}

void MainWindow::writeTag()
{
    writeSelectedTag(
        this, m_notifier,
        [this] {
            return WriteTarget{selectedTag(),
                               deviceOfTreeObject(selectedObject(), m_state.project.channels())};
        },
        [this] { return m_runMode->runtime(); });
}
