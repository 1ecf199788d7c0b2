#include "desktop.h"
#include "driverstate.h"
#include "driverstrings.h"
#include "eventlog.h"
#include "layoutsettings.h"
#include "mainwindow.h"
#include "projecttreemodel.h"
#include "recordingnotifier.h"
#include "taglistmodel.h"
#include "testenvironment.h"
#include "widgetnotifier.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QWizard>

#include <gtest/gtest.h>

#include <csignal>
#include <set>

namespace {

std::shared_ptr<CModTag> tag(const char *name, const char *address = "400001")
{
    auto t = std::make_shared<CModTag>();
    t->TagName = QString::fromLatin1(name);
    t->TagAddress = QString::fromLatin1(address);
    return t;
}

// Channel1 (TCP) > Device1 > Group1 > Sub; Device1 holds T1, T2; Group1 holds G1.
// RtuChannel (RTU) > RtuDevice.
void buildDemoProject(Project &project)
{
    auto sub = std::make_shared<CModTagGroup>();
    sub->name = QStringLiteral("Sub");
    sub->tags.append(tag("S1"));
    auto group = std::make_shared<CModTagGroup>();
    group->name = QStringLiteral("Group1");
    group->tags.append(tag("G1"));
    group->groups.push_back(sub);
    auto device = std::make_shared<CModTCPDev>();
    device->name = QStringLiteral("Device1");
    device->tags.append(tag("T2", "400002"));
    device->tags.append(tag("T1", "400001"));
    device->groups.push_back(group);
    auto channel = std::make_shared<CModTCPChnl>();
    channel->name = QStringLiteral("Channel1");
    channel->devices.push_back(device);
    auto rtuDevice = std::make_shared<CModRTUDev>();
    rtuDevice->name = QStringLiteral("RtuDevice");
    auto rtu = std::make_shared<CModRTUChnl>();
    rtu->name = QStringLiteral("RtuChannel");
    rtu->devices.push_back(rtuDevice);
    project.addChannel(channel);
    project.addChannel(rtu);
}

// One main window over its own driver state, settings store and log.
class Driver
{
public:
    explicit Driver(bool withDemoProject = true, DriverSettings settings = {})
        : store(QString(DriverSettingsOrganization), QString(DriverSettingsApplication))
        , state(notifier, settings)
        , log({settings.eventMessageLevel,
               QDir(testsupport::tempRoot()).filePath(QStringLiteral("data"))})
    {
        if (withDemoProject) {
            buildDemoProject(state.project);
            Q_EMIT state.project.projectReset();
        }
        window = std::make_unique<MainWindow>(state, log, notifier, store, desktop);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        QTest::qWait(20); // the start-up layout runs from the event loop
    }

    QModelIndex find(const QString &path) const
    {
        QModelIndex index;
        for (const QString &name : path.split(u'/')) {
            ProjectTreeModel *model = window->treeModel();
            QModelIndex found;
            for (int row = 0; row < model->rowCount(index); ++row) {
                const QModelIndex child = model->index(row, 0, index);
                if (model->data(child).toString() == name)
                    found = child;
            }
            EXPECT_TRUE(found.isValid()) << path.toStdString();
            index = found;
        }
        return index;
    }

    void select(const QString &path)
    {
        window->projectTree()->selectionModel()->setCurrentIndex(
            find(path), QItemSelectionModel::ClearAndSelect);
    }

    void selectTagRow(int row)
    {
        window->tagList()->selectionModel()->select(window->tagListModel()->index(row, 0),
                                                    QItemSelectionModel::ClearAndSelect |
                                                        QItemSelectionModel::Rows);
    }

    bool enabled(Command::Id id) const { return window->action(id)->isEnabled(); }

    RecordingNotifier notifier;
    QSettings store;
    hostmsg::Desktop desktop;
    DriverState state;
    EventLog log;
    std::unique_ptr<MainWindow> window;
};

using namespace Command;

TEST(MainWindowTest, TitleTreeAndStartUpMessages)
{
    Driver driver;
    EXPECT_EQ(driver.window->windowTitle(), QStringLiteral("Orvala Modbus Driver (Beta)"));
    EXPECT_EQ(driver.desktop.findWindow(MainWindow::Title) != 0, true)
        << "registered under its title for the host runtime and later copies";
    EXPECT_TRUE(driver.window->projectTree()->isExpanded(driver.find(QStringLiteral("Channel1"))));
    ASSERT_GE(driver.log.count(), 1);
    EXPECT_EQ(driver.log.message(driver.log.count() - 1).text(),
              QStringLiteral("Starting Modbus Driver."));
    EXPECT_EQ(driver.window->statusPaneText(2), QStringLiteral("Project Tags = 4"));
    EXPECT_EQ(driver.window->statusPaneText(3), QString()) << "nothing selected";
    EXPECT_EQ(driver.window->statusPaneText(4), QStringLiteral("Configuration Mode..."));
}

TEST(MainWindowTest, EnableRulesFollowTheSelection)
{
    Driver driver;
    const std::vector<Id> all = {EditChannel,
                                 DeleteChannel,
                                 NewDevice,
                                 NewTcpDevice,
                                 NewRtuDevice,
                                 EditDevice,
                                 DeleteDevice,
                                 ExportDeviceTagsUnicode,
                                 ImportDeviceTagsAnsi,
                                 NewTag,
                                 NewTagGroup,
                                 EditTag,
                                 DeleteTag,
                                 EditTagGroup,
                                 DeleteTagGroup,
                                 ExportGroupTagsAnsi,
                                 ImportGroupTagsUnicode,
                                 CopyTag,
                                 ExportAllUnicode};
    const auto expectOnly = [&](std::set<Id> on, const char *selection) {
        for (Id id : all)
            EXPECT_EQ(driver.enabled(id), on.count(id) == 1)
                << selection << ": command " << int(id);
        EXPECT_TRUE(driver.enabled(NewTcpChannel)) << selection;
        EXPECT_TRUE(driver.enabled(NewRtuChannel)) << selection;
        EXPECT_TRUE(driver.enabled(SwitchToRuntime)) << selection;
        EXPECT_FALSE(driver.enabled(SwitchToConfiguration)) << selection;
        EXPECT_FALSE(driver.enabled(WriteTag)) << selection;
        EXPECT_FALSE(driver.enabled(ShowDiagnostics)) << selection;
    };

    expectOnly({}, "nothing");
    driver.select(QStringLiteral("Channel1"));
    expectOnly({EditChannel, DeleteChannel, NewDevice, NewTcpDevice, CopyTag, ExportAllUnicode},
               "TCP channel");
    EXPECT_EQ(driver.window->tagListModel()->rowCount(), 0) << "a channel shows no tags";
    EXPECT_EQ(driver.window->statusPaneText(3), QStringLiteral("Selected Item Tags = 4"));
    driver.select(QStringLiteral("RtuChannel"));
    expectOnly({EditChannel, DeleteChannel, NewDevice, NewRtuDevice, CopyTag, ExportAllUnicode},
               "RTU channel");
    EXPECT_EQ(driver.window->statusPaneText(3), QStringLiteral("Selected Item Tags = 0"));
    driver.select(QStringLiteral("Channel1/Device1"));
    expectOnly({EditDevice, DeleteDevice, ExportDeviceTagsUnicode, ImportDeviceTagsAnsi, NewTag,
                NewTagGroup, EditTag, DeleteTag, CopyTag, ExportAllUnicode},
               "device with tags");
    driver.select(QStringLiteral("RtuChannel/RtuDevice"));
    expectOnly({EditDevice, DeleteDevice, ExportDeviceTagsUnicode, ImportDeviceTagsAnsi, NewTag,
                NewTagGroup, CopyTag, ExportAllUnicode},
               "device without tags");
    driver.select(QStringLiteral("Channel1/Device1/Group1"));
    expectOnly({NewTag, NewTagGroup, EditTag, DeleteTag, EditTagGroup, DeleteTagGroup,
                ExportGroupTagsAnsi, ImportGroupTagsUnicode, CopyTag, ExportAllUnicode},
               "group");

    // File commands: Save only with unsaved changes.
    EXPECT_FALSE(driver.enabled(SaveProject));
    driver.state.project.markModified();
    EXPECT_TRUE(driver.enabled(SaveProject));
    EXPECT_TRUE(driver.window->statusPaneText(1).endsWith(QStringLiteral(" *")));

    // In run mode everything editing is off.
    driver.state.configurationMode = false;
    driver.state.running = true;
    driver.window->updateActions();
    for (Id id : all)
        EXPECT_FALSE(driver.enabled(id)) << "run mode: command " << int(id);
    for (Id id : {NewProject, OpenProject, SaveProject, NewTcpChannel})
        EXPECT_FALSE(driver.enabled(id)) << "run mode: command " << int(id);
    EXPECT_TRUE(driver.enabled(SwitchToConfiguration));
    EXPECT_TRUE(driver.enabled(WriteTag));
    EXPECT_TRUE(driver.enabled(Properties));
    driver.state.launchedByHost = true;
    driver.window->updateActions();
    EXPECT_FALSE(driver.enabled(SwitchToConfiguration)) << "the host ends a host-launched run";
}

TEST(MainWindowTest, EleventhChannelIsRefusedBeforeAnythingIsMade)
{
    Driver driver;
    while (driver.state.project.channels().size() < size_t(Project::MaxChannels))
        driver.window->treeModel()->appendChannel(std::make_shared<CModTCPChnl>());
    const int rows = driver.window->treeModel()->rowCount();
    driver.window->action(NewTcpChannel)->trigger();
    EXPECT_EQ(
        driver.notifier.messageTexts(),
        QStringList{QStringLiteral("Can't add channel, maximum channels are limited to 10.")});
    EXPECT_EQ(driver.window->treeModel()->rowCount(), rows);
    EXPECT_EQ(driver.state.project.channels().size(), size_t(Project::MaxChannels));
}

// Plays the user in the modal dialog the next command opens: presses Next
// until Finish shows, then Finish (or OK). The dialog is closed either way.
void acceptNextDialog()
{
    QTimer::singleShot(0, [] {
        QWidget *modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr) << "no dialog opened";
        if (auto *wizard = qobject_cast<QWizard *>(modal)) {
            for (int page = 0; page < 10 && !wizard->button(QWizard::FinishButton)->isVisible();
                 ++page)
                wizard->next();
            wizard->button(QWizard::FinishButton)->click();
        } else if (auto *dialog = qobject_cast<QDialog *>(modal)) {
            dialog->accept();
        }
        if (modal->isVisible()) {
            ADD_FAILURE() << "the dialog is still open";
            static_cast<QDialog *>(modal)->reject();
        }
    });
}

TEST(MainWindowTest, NewChannelAndDeviceThroughTheirWizards)
{
    Driver driver(false);
    acceptNextDialog();
    driver.window->action(NewTcpChannel)->trigger();
    ASSERT_EQ(driver.state.project.channels().size(), 1u);
    CModChnl *channel = driver.state.project.channels()[0].get();
    EXPECT_EQ(channel->name, QStringLiteral("TCP_Channel_1"));
    EXPECT_FALSE(channel->isNew);
    EXPECT_TRUE(driver.state.project.isModified());
    EXPECT_TRUE(driver.window->statusPaneText(1).endsWith(QStringLiteral(" *")));

    driver.select(QStringLiteral("TCP_Channel_1"));
    EXPECT_TRUE(driver.enabled(NewTcpDevice));
    acceptNextDialog();
    driver.window->action(NewTcpDevice)->trigger();
    ASSERT_EQ(channel->devices.size(), 1u);
    EXPECT_NE(dynamic_cast<CModTCPDev *>(channel->devices[0].get()), nullptr);
    EXPECT_TRUE(driver.find(QStringLiteral("TCP_Channel_1/TCP_Device_1")).isValid());

    // A second channel of the default name is refused until renamed: the
    // wizard stays open on 58066, and Cancel makes nothing.
    QTimer::singleShot(0, [&driver] {
        auto *wizard = qobject_cast<QWizard *>(QApplication::activeModalWidget());
        ASSERT_NE(wizard, nullptr);
        wizard->next();
        EXPECT_EQ(driver.notifier.messageTexts().value(0),
                  QStringLiteral("Channel name exists, please rename."));
        wizard->reject();
    });
    driver.window->action(NewTcpChannel)->trigger();
    EXPECT_EQ(driver.state.project.channels().size(), 1u);
}

TEST(MainWindowTest, DeletionAsksFirst)
{
    Driver driver;
    driver.select(QStringLiteral("Channel1/Device1/Group1"));
    driver.notifier.yesNoAnswers = {false};
    driver.window->action(DeleteTagGroup)->trigger();
    EXPECT_EQ(driver.notifier.questions,
              QStringList{QStringLiteral("Delete Tag Group \"Group1\" ?")});
    EXPECT_TRUE(driver.find(QStringLiteral("Channel1/Device1/Group1")).isValid());
    EXPECT_FALSE(driver.state.project.isModified());

    driver.notifier.yesNoAnswers = {true};
    driver.window->action(DeleteTagGroup)->trigger();
    EXPECT_EQ(driver.window->treeModel()->rowCount(driver.find(QStringLiteral("Channel1/Device1"))),
              0);
    EXPECT_TRUE(driver.state.project.channels()[0]->devices[0]->groups.empty());
    EXPECT_TRUE(driver.state.project.isModified());
    EXPECT_EQ(driver.window->statusPaneText(2), QStringLiteral("Project Tags = 2"));

    // A tag, with the Del key in the tag list.
    driver.select(QStringLiteral("Channel1/Device1"));
    driver.selectTagRow(0);
    driver.notifier.yesNoAnswers = {true};
    driver.window->tagList()->setFocus();
    QTest::keyClick(driver.window->tagList(), Qt::Key_Delete);
    EXPECT_EQ(driver.notifier.questions.last(), QStringLiteral("Delete Tag \"T2\" ?"));
    EXPECT_EQ(driver.window->tagListModel()->rowCount(), 1);
    EXPECT_EQ(driver.state.project.channels()[0]->devices[0]->tags.size(), 1);
    EXPECT_EQ(driver.window->statusPaneText(2), QStringLiteral("Project Tags = 1"));

    // A channel.
    driver.select(QStringLiteral("Channel1"));
    driver.notifier.yesNoAnswers = {true};
    driver.window->action(DeleteChannel)->trigger();
    EXPECT_EQ(driver.notifier.questions.last(), QStringLiteral("Delete channel \"Channel1\" ?"));
    EXPECT_EQ(driver.state.project.channels().size(), 1u);
    EXPECT_EQ(driver.window->treeModel()->rowCount(), 1);
}

TEST(MainWindowTest, CopyTagPutsTheQualifiedNameOnTheClipboard)
{
    Driver driver;
    driver.select(QStringLiteral("Channel1/Device1"));
    driver.window->action(CopyTag)->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("Channel1.Device1"));
    driver.selectTagRow(1);
    driver.window->action(CopyTag)->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("Channel1.Device1.T1"));
    driver.select(QStringLiteral("Channel1/Device1/Group1/Sub"));
    driver.selectTagRow(0);
    QTest::keyClick(driver.window.get(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              QStringLiteral("Channel1.Device1.Group1.Sub.S1"));
}

TEST(MainWindowTest, SortingTogglesOnTheSameColumnAndStartsDescendingOnNames)
{
    Driver driver;
    driver.select(QStringLiteral("Channel1/Device1"));
    TagListModel *model = driver.window->tagListModel();
    const auto names = [model] {
        QStringList list;
        for (int row = 0; row < model->rowCount(); ++row)
            list << model->tag(row)->TagName;
        return list;
    };
    EXPECT_EQ(names(), (QStringList{QStringLiteral("T2"), QStringLiteral("T1")}));
    model->sortByColumn(TagListModel::NameColumn); // first click on names: descending
    EXPECT_EQ(names(), (QStringList{QStringLiteral("T2"), QStringLiteral("T1")}));
    model->sortByColumn(TagListModel::NameColumn);
    EXPECT_EQ(names(), (QStringList{QStringLiteral("T1"), QStringLiteral("T2")}));
    model->sortByColumn(TagListModel::AddressColumn); // another column keeps the direction
    EXPECT_EQ(names(), (QStringList{QStringLiteral("T1"), QStringLiteral("T2")}));
    EXPECT_EQ(driver.state.project.channels()[0]->devices[0]->tags.at(0)->TagName,
              QStringLiteral("T2"))
        << "sorting reorders rows, never the project";
}

TEST(MainWindowTest, LayoutSurvivesARestart)
{
    QList<int> columnSizes;
    QList<int> rowSizes;
    QRect geometry;
    {
        Driver driver;
        driver.window->setGeometry(60, 40, 700, 500);
        QTest::qWait(20);
        const int width = driver.window->columnSplitter()->width();
        const int height = driver.window->rowSplitter()->height();
        driver.window->columnSplitter()->setSizes({width / 2, width - width / 2});
        driver.window->rowSplitter()->setSizes({height / 4, height - height / 4});
        driver.window->tagList()->setColumnWidth(4, 333);
        driver.window->messageList()->setColumnWidth(1, 222);
        columnSizes = driver.window->columnSplitter()->sizes();
        rowSizes = driver.window->rowSplitter()->sizes();
        geometry = driver.window->geometry();
        ASSERT_TRUE(driver.window->close());
    }
    QSettings store{QString(DriverSettingsOrganization), QString(DriverSettingsApplication)};
    EXPECT_EQ(store.value(QStringLiteral("ModTagList/4")).toInt(), 333);
    EXPECT_EQ(store.value(QStringLiteral("ModMsgList/1")).toInt(), 222);
    EXPECT_NEAR(SplitterPercentages::read(store).horizontal, 50.0, 0.5);
    EXPECT_NEAR(SplitterPercentages::read(store).vertical, 25.0, 0.5);

    Driver again;
    EXPECT_EQ(again.window->geometry(), geometry);
    EXPECT_EQ(again.window->tagList()->columnWidth(4), 333);
    EXPECT_EQ(again.window->messageList()->columnWidth(1), 222);
    const QList<int> columns = again.window->columnSplitter()->sizes();
    const QList<int> rows = again.window->rowSplitter()->sizes();
    EXPECT_NEAR(columns.value(0), columnSizes.value(0), 2);
    EXPECT_NEAR(rows.value(0), rowSizes.value(0), 2);
}

TEST(MainWindowTest, ClosingOffersToSaveAndKeepsWhatCouldNotBeSaved)
{
    Driver driver;
    driver.state.project.markModified();
    driver.notifier.yesNoAnswers = {true}; // save, then cancel the save dialog
    EXPECT_FALSE(driver.window->close());
    EXPECT_EQ(driver.notifier.questions, QStringList{QStringLiteral("Save existing project ?")});
    EXPECT_EQ(driver.state.project.channels().size(), 2u);

    driver.notifier.yesNoAnswers = {false};
    EXPECT_TRUE(driver.window->close());
    EXPECT_FALSE(driver.log.isOpen());
}

TEST(MainWindowTest, RecentFilesMenuDropsFilesThatAreGone)
{
    Driver driver;
    const QString kept = QDir(testsupport::tempRoot()).filePath(QStringLiteral("kept.drx"));
    const QString gone = QDir(testsupport::tempRoot()).filePath(QStringLiteral("gone.drx"));
    ASSERT_TRUE(driver.state.project.saveFile(kept));
    driver.state.recentFiles.add(gone);
    driver.state.recentFiles.add(kept);
    Q_EMIT driver.window->fileMenu()->aboutToShow();
    QStringList shown;
    for (QAction *action : driver.window->fileMenu()->actions()) {
        if (action->data().toInt() >= FirstRecentFile &&
            action->data().toInt() < FirstRecentFile + 10)
            shown << action->text();
    }
    EXPECT_EQ(shown, QStringList{kept});
    EXPECT_EQ(driver.state.recentFiles.entry(0), kept);
    EXPECT_TRUE(driver.state.recentFiles.entry(1).isEmpty());
}

TEST(MainWindowTest, DiagnosticsCommandsOnlyWithTheSetting)
{
    const auto menuHas = [](MainWindow &window, Id id) {
        for (QAction *menu : window.menuBar()->actions()) {
            if (menu->menu() && menu->menu()->actions().contains(window.action(id)))
                return true;
        }
        return false;
    };
    {
        Driver plain;
        EXPECT_FALSE(menuHas(*plain.window, WriteTag));
        EXPECT_FALSE(menuHas(*plain.window, ShowDiagnostics));
    }
    DriverSettings settings;
    settings.showDiagnostics = true;
    Driver diagnosing(true, settings);
    EXPECT_TRUE(menuHas(*diagnosing.window, WriteTag));
    EXPECT_TRUE(menuHas(*diagnosing.window, ShowDiagnostics));
}

TEST(MainWindowTest, SaveQuestionCanBeCancelledOnCloseNewAndOpen)
{
    Driver driver;
    driver.select(QStringLiteral("Channel1/Device1"));
    driver.state.project.markModified();
    const QString question = QStringLiteral("Save existing project ?");

    // Cancel keeps the project, the window and its unsaved mark.
    driver.notifier.yesNoCancelAnswers = {Notifier::Answer::Cancel};
    EXPECT_FALSE(driver.window->close());
    EXPECT_TRUE(driver.window->isVisible());
    driver.notifier.yesNoCancelAnswers = {Notifier::Answer::Cancel};
    driver.window->action(NewProject)->trigger();
    driver.notifier.yesNoCancelAnswers = {Notifier::Answer::Cancel};
    driver.window->action(OpenProject)->trigger();
    EXPECT_EQ(driver.notifier.questions, (QStringList{question, question, question}));
    EXPECT_TRUE(driver.notifier.dialogs.empty()) << "Open stops before its file dialog";
    EXPECT_EQ(driver.state.project.channels().size(), 2u);
    EXPECT_TRUE(driver.state.project.isModified());
    EXPECT_TRUE(driver.state.closePending == false);

    // No still discards.
    driver.notifier.yesNoCancelAnswers = {Notifier::Answer::No};
    driver.window->action(NewProject)->trigger();
    EXPECT_TRUE(driver.state.project.channels().empty());
}

TEST(MainWindowTest, EscapeOnTheSaveQuestionIsCancel)
{
    WidgetNotifier notifier;
    Notifier::Answer answer = Notifier::Answer::No;
    QTimer::singleShot(0, [] {
        QWidget *box = QApplication::activeModalWidget();
        ASSERT_NE(qobject_cast<QMessageBox *>(box), nullptr);
        QTest::keyClick(box, Qt::Key_Escape);
    });
    answer = notifier.askYesNoCancel(QStringLiteral("Save existing project ?"));
    EXPECT_EQ(answer, Notifier::Answer::Cancel);

    QTimer::singleShot(0, [] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        box->button(QMessageBox::No)->click();
    });
    EXPECT_EQ(notifier.askYesNoCancel(QStringLiteral("Save existing project ?")),
              Notifier::Answer::No);
}

TEST(MainWindowTest, TimedMessageClosesItself)
{
    WidgetNotifier notifier;
    bool shown = false;
    QTimer::singleShot(0, [&shown] {
        shown = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()) != nullptr;
    });
    // A guard, far beyond the one second asked for, so that a box that never
    // closes fails the test instead of hanging it.
    bool guardFired = false;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&guardFired] {
        guardFired = true;
        if (QWidget *modal = QApplication::activeModalWidget())
            modal->close();
    });
    guard.start(60000);
    notifier.showTimedMessage(QStringLiteral("RTU channels found"), 1);
    EXPECT_TRUE(shown);
    EXPECT_FALSE(guardFired);
}

TEST(MainWindowTest, OpenCloseAndRecentFilesReturnToConfigurationMode)
{
    Driver driver;
    const QString path = QDir(testsupport::tempRoot()).filePath(QStringLiteral("modes.drx"));
    ASSERT_TRUE(driver.state.project.saveFile(path));
    driver.state.recentFiles.add(path);
    // What a run that could not start leaves: neither mode.
    const auto neitherMode = [&driver] {
        driver.state.configurationMode = false;
        driver.window->updateActions();
        EXPECT_FALSE(driver.enabled(NewTcpChannel));
    };

    neitherMode();
    driver.notifier.fileAnswers = {path};
    driver.window->action(OpenProject)->trigger();
    EXPECT_TRUE(driver.state.configurationMode);
    EXPECT_TRUE(driver.enabled(NewTcpChannel));
    EXPECT_TRUE(driver.enabled(SwitchToRuntime));

    neitherMode();
    driver.window->action(CloseProject)->trigger();
    EXPECT_TRUE(driver.state.configurationMode);
    EXPECT_TRUE(driver.enabled(NewTcpChannel));

    neitherMode();
    Q_EMIT driver.window->fileMenu()->aboutToShow();
    QAction *recent = nullptr;
    for (QAction *action : driver.window->fileMenu()->actions()) {
        if (action->data().toInt() == FirstRecentFile)
            recent = action;
    }
    ASSERT_NE(recent, nullptr);
    recent->trigger();
    EXPECT_EQ(driver.state.project.path(), path);
    EXPECT_TRUE(driver.state.configurationMode);
    EXPECT_TRUE(driver.enabled(NewTcpChannel));
}

TEST(MainWindowTest, ResizingKeepsTheSplittersAndTheLastColumnsTakeTheSpareWidth)
{
    Driver driver;
    driver.window->setGeometry(60, 40, 700, 500);
    QTest::qWait(20);
    const int width = driver.window->columnSplitter()->width();
    const int height = driver.window->rowSplitter()->height();
    driver.window->columnSplitter()->setSizes({200, width - 200});
    driver.window->rowSplitter()->setSizes({250, height - 250});
    ASSERT_EQ(driver.window->columnSplitter()->sizes().value(0), 200);
    ASSERT_EQ(driver.window->rowSplitter()->sizes().value(0), 250);

    driver.window->resize(1000, 700);
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return driver.window->columnSplitter()->width() > width; }, 5000));
    QTest::qWait(20);
    EXPECT_EQ(driver.window->columnSplitter()->sizes().value(0), 200);
    EXPECT_EQ(driver.window->rowSplitter()->sizes().value(0), 250);

    EXPECT_TRUE(driver.window->tagList()->horizontalHeader()->stretchLastSection());
    EXPECT_TRUE(driver.window->messageList()->horizontalHeader()->stretchLastSection());
    QHeaderView *header = driver.window->tagList()->horizontalHeader();
    EXPECT_GE(header->sectionPosition(5) + header->sectionSize(5),
              driver.window->tagList()->viewport()->width() - 1);
}

TEST(MainWindowTest, FirstStartPlacesTheWindowOnTheScreen)
{
    {
        QSettings store{QString(DriverSettingsOrganization), QString(DriverSettingsApplication)};
        store.remove(QStringLiteral("ModMainWnd"));
        store.sync();
    }
    Driver driver;
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect placed = driver.window->geometry();
    EXPECT_GT(placed.top(), available.top()) << "room for a title bar";
    EXPECT_GE(placed.left(), available.left());
    EXPECT_TRUE(available.contains(placed.center()));
}

TEST(MainWindowTest, ContextMenusOfferTheCommandsThatApply)
{
    Driver driver;
    const auto ids = [&driver](const QList<QAction *> &actions) {
        std::set<int> found;
        for (QAction *action : actions)
            found.insert(action->data().toInt());
        return found;
    };
    EXPECT_EQ(ids(driver.window->treeContextActions()),
              (std::set<int>{NewTcpChannel, NewRtuChannel}));
    driver.select(QStringLiteral("Channel1"));
    EXPECT_EQ(ids(driver.window->treeContextActions()),
              (std::set<int>{NewDevice, EditChannel, DeleteChannel, CopyTag}));
    driver.select(QStringLiteral("Channel1/Device1/Group1"));
    const std::set<int> group = ids(driver.window->treeContextActions());
    EXPECT_TRUE(group.count(Command::EditTagGroup) && group.count(DeleteTagGroup) &&
                group.count(NewTag) && group.count(ImportGroupTagsUnicode));
    EXPECT_FALSE(group.count(EditDevice));

    driver.select(QStringLiteral("Channel1/Device1"));
    EXPECT_EQ(ids(driver.window->tagListContextActions()), (std::set<int>{NewTag}));
    driver.selectTagRow(0);
    EXPECT_EQ(ids(driver.window->tagListContextActions()),
              (std::set<int>{NewTag, Command::EditTag, DeleteTag, CopyTag}));

    // A right click on a tree item selects it and opens the menu.
    QTimer::singleShot(0, [] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        menu->close();
    });
    const QRect channelRect =
        driver.window->projectTree()->visualRect(driver.find(QStringLiteral("Channel1")));
    Q_EMIT driver.window->projectTree()->customContextMenuRequested(channelRect.center());
    EXPECT_EQ(driver.window->selectionPath(), QStringLiteral("Channel1"));
}

TEST(MainWindowTest, F4OnATagEditsTheTagAndFileCommandsHaveTheirKeys)
{
    Driver driver;
    EXPECT_EQ(driver.window->action(NewProject)->shortcut(), QKeySequence(QKeySequence::New));
    EXPECT_EQ(driver.window->action(OpenProject)->shortcut(), QKeySequence(QKeySequence::Open));
    EXPECT_EQ(driver.window->action(SaveProject)->shortcut(), QKeySequence(QKeySequence::Save));

    driver.select(QStringLiteral("Channel1/Device1"));
    driver.selectTagRow(0);
    driver.window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(driver.window.get()));
    driver.window->tagList()->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return driver.window->tagList()->hasFocus(); }, 5000));
    QString opened;
    QTimer::singleShot(0, [&opened] {
        QWidget *modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        opened = QString::fromLatin1(modal->metaObject()->className());
        modal->close();
    });
    QTest::keyClick(driver.window->tagList(), Qt::Key_F4);
    EXPECT_EQ(opened, QStringLiteral("TagDialog"));

    // Elsewhere F4 is still the properties of the tree item. The closed dialog
    // took the activation with it.
    driver.window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(driver.window.get()));
    driver.window->projectTree()->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return driver.window->projectTree()->hasFocus(); }, 5000));
    opened.clear();
    QTimer::singleShot(0, [&opened] {
        QWidget *modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        opened = QString::fromLatin1(modal->metaObject()->className());
        modal->close();
    });
    QTest::keyClick(driver.window->projectTree(), Qt::Key_F4);
    EXPECT_NE(opened, QStringLiteral("TagDialog"));
    EXPECT_FALSE(opened.isEmpty());
}

TEST(MainWindowTest, ATerminationSignalClosesSavingMessagesAndRecentFiles)
{
    Driver driver;
    const QString path = QDir(testsupport::tempRoot()).filePath(QStringLiteral("signal.drx"));
    ASSERT_TRUE(driver.state.project.saveFile(path));
    driver.state.recentFiles.add(path);
    driver.window->closeFromSignal(SIGTERM);
    EXPECT_FALSE(driver.window->isVisible());
    EXPECT_TRUE(driver.notifier.questions.isEmpty());
    EXPECT_FALSE(driver.log.isOpen()) << "the messages were saved";
    QSettings store{QString(DriverSettingsOrganization), QString(DriverSettingsApplication)};
    RecentFileList saved;
    saved.load(store);
    EXPECT_EQ(saved.entry(0), path);
}

// Renders the main window with a demo project. With ORVALA_SCREENSHOT set, the
// picture goes there (the README shows it); otherwise into the test's folder.
TEST(MainWindowTest, Screenshot)
{
    Driver driver;
    driver.window->resize(1000, 560);
    driver.window->tagList()->setColumnWidth(5, 220);
    driver.window->messageList()->setColumnWidth(2, 560);
    TagList &tags = driver.state.project.channels()[0]->devices[0]->tags;
    tags.at(0)->Description = QStringLiteral("Pump 2 discharge pressure, kPa");
    tags.at(0)->value.setWord(412);
    tags.at(1)->Description = QStringLiteral("Pump 1 discharge pressure, kPa");
    tags.at(1)->value.setWord(398);
    driver.select(QStringLiteral("Channel1/Device1"));
    driver.log.addMessage(QStringLiteral("Project opened : /plant/line1.drx"));
    QTest::qWait(50);
    const QString path = qEnvironmentVariableIsSet("ORVALA_SCREENSHOT")
                             ? qEnvironmentVariable("ORVALA_SCREENSHOT")
                             : QDir(testsupport::tempRoot()).filePath(QStringLiteral("main.png"));
    const QPixmap picture = driver.window->grab();
    ASSERT_FALSE(picture.isNull());
    EXPECT_TRUE(picture.save(path, "PNG"));
    EXPECT_GT(QFile(path).size(), 1000);
}

} // namespace
