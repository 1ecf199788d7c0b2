// The diagnostics window over the rows of a real run: which rows, in which
// order, which cells stay empty, the stored column widths, the refresh and
// the close.
#include "../../../modbus/tests/runtimefixture.h"
#include "diagnosticsmodel.h"
#include "diagnosticswindow.h"

#include <QHeaderView>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>

namespace {

using namespace Qt::StringLiterals;

constexpr int BoundMs = 10000; // far beyond two refreshes, well within the test's time

std::string str(const QString &text)
{
    return text.toStdString();
}

class DiagnosticsWindowTest : public RuntimeTest
{
protected:
    DiagnosticsWindowTest()
        : windowSettings(testsupport::tempRoot() + u"/window.ini"_s, QSettings::IniFormat)
    {
        // Cases run in one process share the temporary home.
        windowSettings.clear();
    }

    // A device with one coil, one input and one holding register: three frames.
    void addThreeFrameDevice(CModChnl &channel, int id, const QString &name)
    {
        CModTCPDev &device = addDevice(channel, id, name);
        addTag(device, u"Coil"_s, u"000001"_s, DataTypeCode::Boolean);
        addTag(device, u"Input"_s, u"100001"_s, DataTypeCode::Boolean);
        addTag(device, u"Holding"_s, u"400001"_s, DataTypeCode::Word);
    }

    // Started but never made active: the rows exist, nothing communicates.
    void startQuietly()
    {
        runtime = std::make_unique<ModbusRuntime>(services());
        std::vector<CModChnl *> list;
        for (const auto &channel : channels)
            list.push_back(channel.get());
        ASSERT_EQ(runtime->start(list), ModbusRuntime::StartResult::Started);
    }

    QString cell(const DiagnosticsWindow &window, int row, int column) const
    {
        const QAbstractItemModel *model = window.list()->model();
        return model->data(model->index(row, column)).toString();
    }

    QStringList names(const DiagnosticsWindow &window) const
    {
        QStringList texts;
        for (int row = 0; row < window.list()->model()->rowCount(); ++row)
            texts << cell(window, row, 0);
        return texts;
    }

    // A channel on a port where nothing listens, with two devices of three
    // frames each.
    void startTwoDevices()
    {
        CModTCPChnl &channel = addChannel(1, u"Line_A"_s);
        addThreeFrameDevice(channel, 1, u"Dev1"_s);
        addThreeFrameDevice(channel, 2, u"Dev2"_s);
        startQuietly();
    }

    QSettings windowSettings;
};

TEST_F(DiagnosticsWindowTest, isAModelessStatusListWithThirteenTitledColumns)
{
    startTwoDevices();
    DiagnosticsWindow window(runtime->diagnosticRows(), windowSettings);
    EXPECT_EQ(str(window.windowTitle()), "Status");
    EXPECT_FALSE(window.isModal());
    QTableView *list = window.list();
    ASSERT_EQ(list, window.findChild<QTableView *>(u"diagnosticsList"_s));
    EXPECT_EQ(list->selectionBehavior(), QAbstractItemView::SelectRows);
    EXPECT_TRUE(list->showGrid());

    const QStringList expected = {
        u"Name"_s,     u"D_CurFrm"_s,    u"D_LstSent"_s,  u"D_Wait"_s, u"D_TimeOuts"_s,
        u"F_TxnID"_s,  u"F_Sent"_s,      u"F_Recv"_s,     u"F_TD"_s,   u"F_ReadsOk"_s,
        u"F_Errors"_s, u"F_LstExCode"_s, u"F_Disabled"_s,
    };
    ASSERT_EQ(list->model()->columnCount(), 13);
    for (int column = 0; column < 13; ++column)
        EXPECT_EQ(str(list->model()->headerData(column, Qt::Horizontal).toString()),
                  str(expected[column]));
    EXPECT_TRUE(list->horizontalHeader()->defaultAlignment().testFlag(Qt::AlignLeft));
    ASSERT_NE(window.findChild<QPushButton *>(u"closeButton"_s), nullptr);
    EXPECT_EQ(str(window.findChild<QPushButton *>(u"closeButton"_s)->text()), "Close");
}

TEST_F(DiagnosticsWindowTest, twoDevicesOfThreeFramesGiveNineRowsInOrder)
{
    startTwoDevices();
    const DeviceRuntime &first = deviceRuntime(0, 0);
    const DeviceRuntime &second = deviceRuntime(0, 1);
    ASSERT_EQ(first.frames().size(), 3u);
    ASSERT_EQ(second.frames().size(), 3u);

    DiagnosticsWindow window(runtime->diagnosticRows(), windowSettings);
    const QStringList expected = {
        u"Chnl [Line_A]"_s,         u"Devc [Dev1]"_s,           first.frames()[0].label(),
        first.frames()[1].label(),  first.frames()[2].label(),  u"Devc [Dev2]"_s,
        second.frames()[0].label(), second.frames()[1].label(), second.frames()[2].label(),
    };
    EXPECT_EQ(names(window), expected);
    for (int row : {2, 3, 4, 6, 7, 8})
        EXPECT_TRUE(cell(window, row, 0).startsWith(u"Frm: "_s)) << str(cell(window, row, 0));

    // The rows are the run's own objects, not copies.
    const DiagnosticsModel *model = window.model();
    EXPECT_EQ(model->row(0).channel, &channelRuntime(0));
    EXPECT_EQ(model->row(1).device, &first);
    EXPECT_EQ(model->row(4).frame, &first.frames()[2]);
    EXPECT_EQ(model->row(5).device, &second);
}

TEST_F(DiagnosticsWindowTest, anRtuChannelGivesNoRows)
{
    auto rtu = std::make_shared<CModRTUChnl>();
    rtu->name = u"Serial"_s;
    auto rtuDevice = std::make_shared<CModRTUDev>();
    rtuDevice->name = u"Meter"_s;
    rtu->devices.push_back(rtuDevice);
    addTag(*rtuDevice, u"Level"_s, u"400001"_s);
    channels.push_back(rtu);
    startQuietly();

    DiagnosticsWindow alone(runtime->diagnosticRows(), windowSettings);
    EXPECT_EQ(alone.list()->model()->rowCount(), 0);

    // Beside a TCP channel only the TCP channel shows.
    CModTCPChnl &tcp = addChannel(1, u"Line_A"_s);
    addTag(addDevice(tcp), u"T"_s, u"400001"_s);
    startQuietly();
    DiagnosticsWindow mixed(runtime->diagnosticRows(), windowSettings);
    EXPECT_EQ(names(mixed), QStringList({u"Chnl [Line_A]"_s, u"Devc [Dev1]"_s,
                                         deviceRuntime(1, 0).frames()[0].label()}));
}

TEST_F(DiagnosticsWindowTest, eachKindOfRowFillsOnlyItsOwnColumns)
{
    startTwoDevices();
    DiagnosticsWindow window(runtime->diagnosticRows(), windowSettings);
    constexpr int channelRow = 0, deviceRow = 1, frameRow = 2;

    for (int column = 1; column < 13; ++column)
        EXPECT_TRUE(cell(window, channelRow, column).isEmpty()) << "channel column " << column;
    for (int column = 1; column <= 4; ++column) {
        EXPECT_FALSE(cell(window, deviceRow, column).isEmpty()) << "device column " << column;
        EXPECT_TRUE(cell(window, frameRow, column).isEmpty()) << "frame column " << column;
    }
    for (int column = 5; column < 13; ++column) {
        EXPECT_TRUE(cell(window, deviceRow, column).isEmpty()) << "device column " << column;
        EXPECT_FALSE(cell(window, frameRow, column).isEmpty()) << "frame column " << column;
    }
    // Planning leaves every counter of a frame at 0.
    EXPECT_EQ(str(cell(window, frameRow, 5)), "0");
    EXPECT_EQ(str(cell(window, frameRow, 9)), "0");
    EXPECT_EQ(str(cell(window, frameRow, 12)), "No");
    EXPECT_EQ(str(cell(window, deviceRow, 4)), "0");
}

TEST_F(DiagnosticsWindowTest, storedWidthsOpenTheColumnsAndBadOnesCountAs100)
{
    windowSettings.setValue(u"DiagnoList/3"_s, -1);
    windowSettings.setValue(u"DiagnoList/5"_s, 150);
    windowSettings.setValue(u"DiagnoList/7"_s, u"wide"_s);
    windowSettings.setValue(u"DiagnoList/12"_s, 0);
    startTwoDevices();
    DiagnosticsWindow window(runtime->diagnosticRows(), windowSettings);

    EXPECT_EQ(window.list()->columnWidth(3), 100);
    EXPECT_EQ(window.list()->columnWidth(5), 150);
    EXPECT_EQ(window.list()->columnWidth(7), 100);
    EXPECT_EQ(window.list()->columnWidth(12), 0) << "a hidden column stays hidden";
    for (int column : {0, 1, 2, 4, 6, 8, 9, 10, 11})
        EXPECT_EQ(window.list()->columnWidth(column), 100) << "column " << column;
}

TEST_F(DiagnosticsWindowTest, closeStoresTheWidthsStopsAndAnnouncesClosing)
{
    startTwoDevices();
    DiagnosticsWindow window(runtime->diagnosticRows(), windowSettings);
    window.show();
    window.list()->setColumnWidth(2, 77);
    window.list()->setColumnWidth(12, 240);
    EXPECT_TRUE(window.isRefreshing());
    QSignalSpy closing(&window, &DiagnosticsWindow::closing);

    QTest::mouseClick(window.findChild<QPushButton *>(u"closeButton"_s), Qt::LeftButton);
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(window.isRefreshing());
    EXPECT_EQ(window.list()->model()->rowCount(), 0) << "the rows are let go at once";
    ASSERT_TRUE(closing.count() == 1 || closing.wait(BoundMs));
    EXPECT_EQ(closing.count(), 1);

    for (int column = 0; column < 13; ++column) {
        const QVariant stored = windowSettings.value(u"DiagnoList/"_s + QString::number(column));
        const int expected = column == 2 ? 77 : column == 12 ? 240 : 100;
        EXPECT_EQ(stored.toInt(), expected) << "column " << column;
    }
}

TEST_F(DiagnosticsWindowTest, escapeClosesAsTheCloseButtonDoes)
{
    startTwoDevices();
    DiagnosticsWindow window(runtime->diagnosticRows(), windowSettings);
    window.show();
    window.list()->setColumnWidth(0, 180);
    QSignalSpy closing(&window, &DiagnosticsWindow::closing);

    QTest::keyClick(&window, Qt::Key_Escape);
    EXPECT_FALSE(window.isVisible());
    EXPECT_FALSE(window.isRefreshing());
    ASSERT_TRUE(closing.count() == 1 || closing.wait(BoundMs));
    EXPECT_EQ(windowSettings.value(u"DiagnoList/0"_s).toInt(), 180);

    // A second close request finds nothing left to do.
    window.reject();
    QCoreApplication::processEvents();
    EXPECT_EQ(closing.count(), 1);
}

TEST_F(DiagnosticsWindowTest, refreshAsksEveryCellAgainOnlyWhileVisible)
{
    startTwoDevices();
    DiagnosticsWindow window(runtime->diagnosticRows(), windowSettings);
    QSignalSpy changed(window.model(), &QAbstractItemModel::dataChanged);

    window.refreshIfVisible();
    EXPECT_EQ(changed.count(), 0) << "a hidden window asks nothing";

    window.show();
    window.refreshIfVisible();
    ASSERT_EQ(changed.count(), 1);
    const auto topLeft = changed.at(0).at(0).value<QModelIndex>();
    const auto bottomRight = changed.at(0).at(1).value<QModelIndex>();
    EXPECT_EQ(topLeft.row(), 0);
    EXPECT_EQ(topLeft.column(), 0);
    EXPECT_EQ(bottomRight.row(), 8);
    EXPECT_EQ(bottomRight.column(), 12);

    // The timer does the same by itself.
    EXPECT_EQ(DiagnosticsWindow::RefreshInterval, std::chrono::milliseconds(500));
    EXPECT_TRUE(changed.wait(BoundMs));
}

TEST_F(DiagnosticsWindowTest, aDisabledFrameShowsYesFromTheNextRefresh)
{
    mbsim::Simulator &sim = startSimulator();
    CModTCPChnl &channel = addChannel(sim.port());
    addTag(addDevice(channel), u"Bad"_s, u"400001"_s, DataTypeCode::Word, 1);
    mbsim::FaultRule illegal;
    illegal.start = 0;
    illegal.count = 10;
    illegal.exceptionCode = 2;
    sim.addFault(illegal);
    startRuntime();

    DiagnosticsWindow window(runtime->diagnosticRows(), windowSettings);
    constexpr int frameRow = 2;
    ASSERT_EQ(window.model()->row(frameRow).frame, &deviceRuntime().frames()[0]);
    EXPECT_EQ(str(cell(window, frameRow, 12)), "No");
    window.show();

    ASSERT_TRUE(waitFor([&] { return deviceRuntime().frames()[0].isDisabled(); }));
    QSignalSpy changed(window.model(), &QAbstractItemModel::dataChanged);
    ASSERT_TRUE(changed.wait(BoundMs));
    EXPECT_EQ(str(cell(window, frameRow, 12)), "Yes");
    EXPECT_EQ(str(cell(window, frameRow, 11)), "2");
    EXPECT_EQ(str(cell(window, frameRow, 10)), "4");
    window.reject();
}

} // namespace
