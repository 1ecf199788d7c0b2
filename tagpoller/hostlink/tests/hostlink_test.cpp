// The host link end to end inside one process: a fake host window on the same
// message desktop sends item and write requests to the driver's window and
// records the value deliveries it receives; the Modbus runtime is started on a
// port nobody listens on, so writes stay in the devices' queues.
#include "desktop.h"
#include "driverstrings.h"
#include "eventlog.h"
#include "hostlink.h"
#include "hostlinktestsupport.h"
#include "hostpayload.h"
#include "itemresolver.h"
#include "modbusruntime.h"
#include "testenvironment.h"

#include <QSettings>
#include <QTcpServer>

#include <gtest/gtest.h>

#include <functional>
#include <utility>

using namespace hostlinktest;

namespace {

quint16 closedPort()
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0))
        return 1;
    return server.serverPort();
}

CAryReqTags itemRequest(std::vector<std::shared_ptr<CReqTag>> items)
{
    CAryReqTags request;
    request.items = std::move(items);
    return request;
}

CAryTxnTags writeRequest(std::vector<std::shared_ptr<CTxnTag>> entries)
{
    CAryTxnTags request;
    request.entries = std::move(entries);
    return request;
}

// Channel1 (TCP, closed port)
//   Device1: Tag1 (400001), Tag2 (400002), ReadOnly (400003, read only),
//            Unrequested (400005)
//     G1: GTag (400004)
class HostLinkTest : public ::testing::Test
{
protected:
    HostLinkTest()
        : settings(testsupport::tempRoot() + QStringLiteral("/hostlink.ini"), QSettings::IniFormat)
        , log(EventLog::Config{EventLog::VerboseEventMessageLevel, QString()})
        , link(HostLinkState{launchedByHost, running, hostWindow, linkState, refreshAll}, channels,
               desktop, &log)
    {
        settings.setValue(QStringLiteral("MsgsToKeep"), EventLog::MaximumMessagesToKeep);
        log.open(settings);

        auto channel = std::make_shared<CModTCPChnl>();
        channel->name = QStringLiteral("Channel1");
        channel->IpAddress = {127, 0, 0, 1};
        channel->PortNumber = closedPort();
        CModTCPDev &device = addDevice(*channel, QStringLiteral("Device1"), 1);
        tag1 = &addTag(device.tags, QStringLiteral("Tag1"));
        tag2 = &addTag(device.tags, QStringLiteral("Tag2"), ClientAccessCode::ReadWrite,
                       QStringLiteral("400002"));
        readOnly = &addTag(device.tags, QStringLiteral("ReadOnly"), ClientAccessCode::ReadOnly,
                           QStringLiteral("400003"));
        unrequested = &addTag(device.tags, QStringLiteral("Unrequested"),
                              ClientAccessCode::ReadWrite, QStringLiteral("400005"));
        gTag = &addTag(addGroup(device.groups, QStringLiteral("G1")).tags, QStringLiteral("GTag"),
                       ClientAccessCode::ReadWrite, QStringLiteral("400004"));
        channels.push_back(channel);
    }

    void SetUp() override
    {
        ASSERT_TRUE(desktop.open()) << desktop.errorString().toStdString();
        driverWindow = desktop.createWindow(QStringLiteral("Orvala Modbus Driver"));
        hostEndpoint = desktop.createWindow(QStringLiteral("hostrun"));
        ASSERT_TRUE(driverWindow && hostEndpoint) << desktop.errorString().toStdString();
        driverWindow->setHandler(
            [this](const hostmsg::Message &m) { return link.handleCopyData(m); });
        hostEndpoint->setHandler([this](const hostmsg::Message &m) { return onHostMessage(m); });
        link.setOwnWindow(driverWindow->handle());

        RuntimeServices services;
        services.eventLog = &log;
        services.valueSink = &link;
        services.projectFolder = testsupport::tempRoot();
        runtime = std::make_unique<ModbusRuntime>(services);
        std::vector<CModChnl *> list;
        for (const auto &channel : channels)
            list.push_back(channel.get());
        ASSERT_EQ(runtime->start(list), ModbusRuntime::StartResult::Started);
        link.setRuntime(runtime.get());
        logMark = log.count();
    }

    void TearDown() override
    {
        link.setRuntime(nullptr);
        runtime.reset();
    }

    qint64 onHostMessage(const hostmsg::Message &message)
    {
        if (message.msg == hostmsg::WM_COPYDATA && message.dwData == HostLink::ValueDeliveryCode)
            deliveries.push_back(message);
        // Once only: the hook may send, and so be re-entered.
        if (auto hook = std::exchange(duringDelivery, nullptr))
            hook();
        return hostReply;
    }

    hostmsg::Handle host() const { return hostEndpoint->handle(); }

    qint64 sendToDriver(quint64 code, const QByteArray &payload, hostmsg::Handle from)
    {
        return desktop.sendMessage(driverWindow->handle(), hostmsg::WM_COPYDATA, from, 0, code,
                                   payload);
    }
    qint64 sendItemRequest(const CAryReqTags &request, hostmsg::Handle from)
    {
        return sendToDriver(HostLink::ItemRequestCode, HostPayload::encodeItemRequest(request),
                            from);
    }
    qint64 sendWriteRequest(const CAryTxnTags &request, hostmsg::Handle from)
    {
        return sendToDriver(HostLink::WriteRequestCode, HostPayload::encodeTagValues(request),
                            from);
    }

    // The run as the host runtime starts it: launched, running, items bound
    // (Tag1 7, Tag2 5, ReadOnly 6, GTag 8) and the link delivering to the fake
    // host window.
    void acceptItems()
    {
        launchedByHost = true;
        running = true;
        ASSERT_EQ(
            sendItemRequest(itemRequest({item(7, QStringLiteral("Channel1.Device1.Tag1")),
                                         item(5, QStringLiteral("Channel1.Device1.Tag2")),
                                         item(6, QStringLiteral("Channel1.Device1.ReadOnly")),
                                         item(8, QStringLiteral("Channel1.Device1.G1.GTag"))}),
                            host()),
            HostLink::ItemRequestAccepted);
        ASSERT_EQ(linkState, LinkState::Delivering);
        logMark = log.count();
    }

    CAryTxnTags delivered(size_t index) const
    {
        CAryTxnTags values;
        const ArchiveStatus status =
            HostPayload::decodeTagValues(deliveries.at(index).payload, values);
        EXPECT_TRUE(status.ok()) << status.message.toStdString();
        return values;
    }

    bool channelsActive() const { return runtime->channels().front()->isActive(); }
    const DeviceRuntime &device() const { return *runtime->channels().front()->devices().front(); }

    // Messages logged since the fixture was ready (or since acceptItems).
    QStringList newLogTexts() const
    {
        QStringList texts;
        for (int row = logMark; row < log.count(); ++row)
            texts << log.message(row).text();
        return texts;
    }

    bool launchedByHost = false;
    bool running = false;
    hostmsg::Handle hostWindow = 0;
    LinkState linkState = LinkState::Idle;
    bool refreshAll = false;

    QSettings settings;
    EventLog log;
    Channels channels;
    hostmsg::Desktop desktop;
    HostLink link;
    std::unique_ptr<ModbusRuntime> runtime;
    std::unique_ptr<hostmsg::Window> driverWindow;
    std::unique_ptr<hostmsg::Window> hostEndpoint;

    std::vector<hostmsg::Message> deliveries;
    qint64 hostReply = HostLink::DeliveryAcknowledged;
    std::function<void()> duringDelivery; // runs at the next message to the host
    int logMark = 0;

    CModTag *tag1 = nullptr;
    CModTag *tag2 = nullptr;
    CModTag *readOnly = nullptr;
    CModTag *unrequested = nullptr;
    CModTag *gTag = nullptr;
};

const QString received = QStringLiteral("Received Copy Data from Parent...");

} // namespace

// Item requests

TEST_F(HostLinkTest, ItemRequestWithoutHostLaunchIsRefusedWith520And58016)
{
    running = true;
    EXPECT_EQ(
        sendItemRequest(itemRequest({item(7, QStringLiteral("Channel1.Device1.Tag1"))}), host()),
        HostLink::ItemRequestRefused);
    EXPECT_EQ(newLogTexts(),
              (QStringList{received,
                           DriverString::text(DriverString::NotLaunchedByParentRequestDeclined)}));
    EXPECT_EQ(tag1->requestId, 0);
    EXPECT_EQ(linkState, LinkState::Idle);
    EXPECT_EQ(hostWindow, 0u);
    EXPECT_FALSE(refreshAll);
    EXPECT_FALSE(channelsActive());
}

TEST_F(HostLinkTest, ItemRequestWhileNotRunningIsRefusedWith520And58015)
{
    launchedByHost = true;
    EXPECT_EQ(
        sendItemRequest(itemRequest({item(7, QStringLiteral("Channel1.Device1.Tag1"))}), host()),
        HostLink::ItemRequestRefused);
    EXPECT_EQ(newLogTexts(),
              (QStringList{received,
                           DriverString::text(DriverString::ProjectNotRunningRequestDeclined)}));
    EXPECT_EQ(tag1->requestId, 0);
    EXPECT_EQ(linkState, LinkState::Idle);
    EXPECT_EQ(hostWindow, 0u);
    EXPECT_FALSE(channelsActive());
}

TEST_F(HostLinkTest, ItemRequestWhileTheRunEndsDoesNotReviveIt)
{
    launchedByHost = true;
    running = true;
    for (LinkState ending : {LinkState::Stopping, LinkState::Releasing}) {
        SCOPED_TRACE(int(ending));
        linkState = ending;
        logMark = log.count();
        EXPECT_EQ(sendItemRequest(itemRequest({item(7, QStringLiteral("Channel1.Device1.Tag1"))}),
                                  host()),
                  HostLink::ItemRequestRefused);
        EXPECT_EQ(newLogTexts(),
                  (QStringList{received, DriverString::text(
                                             DriverString::ProjectNotRunningRequestDeclined)}));
        EXPECT_EQ(linkState, ending);
        EXPECT_EQ(hostWindow, 0u);
        EXPECT_FALSE(refreshAll);
        EXPECT_EQ(tag1->requestId, 0);
        EXPECT_FALSE(channelsActive());
    }
}

TEST_F(HostLinkTest, TwoOfThreeItemsFoundIsAcceptedWith500And58046)
{
    launchedByHost = true;
    running = true;
    EXPECT_EQ(sendItemRequest(itemRequest({item(7, QStringLiteral("Channel1.Device1.Tag1")),
                                           item(8, QStringLiteral("Channel1.Device1.GTag")),
                                           item(9, QStringLiteral("Channel1.Device1.G1.GTag"))}),
                              host()),
              HostLink::ItemRequestAccepted);
    EXPECT_EQ(
        newLogTexts(),
        (QStringList{received, QStringLiteral("Requested item NOT found: Channel1.Device1.GTag"),
                     QStringLiteral("Request items found: 2. Not found 1. driver ready to "
                                    "send tag data.")}));
    EXPECT_EQ(tag1->requestId, 7);
    EXPECT_EQ(gTag->requestId, 9);
    EXPECT_TRUE(channelsActive());
    EXPECT_EQ(linkState, LinkState::Delivering);
    EXPECT_EQ(hostWindow, host());
    EXPECT_TRUE(refreshAll);
}

TEST_F(HostLinkTest, LaterAcceptedRequestReplacesTheHostWindow)
{
    acceptItems();
    auto other = desktop.createWindow(QStringLiteral("another host"));
    ASSERT_TRUE(other);
    refreshAll = false;
    EXPECT_EQ(sendItemRequest(itemRequest({item(11, QStringLiteral("Channel1.Device1.Tag1"))}),
                              other->handle()),
              HostLink::ItemRequestAccepted);
    EXPECT_EQ(hostWindow, other->handle());
    EXPECT_TRUE(refreshAll);
    EXPECT_EQ(tag1->requestId, 11);
    EXPECT_EQ(tag2->requestId, 5) << "a tag the request does not name keeps its id";
}

TEST_F(HostLinkTest, NothingResolvedAnswers510AndStopsPollingButKeepsTheLink)
{
    acceptItems();
    refreshAll = false;
    EXPECT_EQ(sendItemRequest(itemRequest({item(3, QStringLiteral("Channel1"))}), 12345),
              HostLink::NoItemResolved);
    EXPECT_EQ(newLogTexts(),
              (QStringList{received, QStringLiteral("Requested item NOT found: Channel1"),
                           DriverString::text(DriverString::NoRequestedItemsFound)}));
    EXPECT_FALSE(channelsActive());
    EXPECT_EQ(linkState, LinkState::Delivering);
    EXPECT_EQ(hostWindow, host());
    EXPECT_FALSE(refreshAll);
}

TEST_F(HostLinkTest, EmptyItemRequestAnswers510With58043)
{
    launchedByHost = true;
    running = true;
    EXPECT_EQ(sendItemRequest(itemRequest({}), host()), HostLink::NoItemResolved);
    EXPECT_EQ(newLogTexts(),
              (QStringList{received, DriverString::text(DriverString::NoItemsRequested)}));
    EXPECT_EQ(linkState, LinkState::Idle);
    EXPECT_EQ(hostWindow, 0u);
    EXPECT_FALSE(channelsActive());
}

TEST_F(HostLinkTest, ItemRequestWithAnAbsurdCountIsRefusedWithOneLine)
{
    launchedByHost = true;
    running = true;
    std::vector<std::shared_ptr<CReqTag>> items;
    items.reserve(HostLink::MaxRequestedItems + 1);
    for (size_t i = 0; i <= HostLink::MaxRequestedItems; ++i)
        items.push_back(item(qint32(i + 1), QStringLiteral("x")));
    EXPECT_EQ(sendItemRequest(itemRequest(std::move(items)), host()), HostLink::NoItemResolved);
    EXPECT_EQ(
        newLogTexts(),
        (QStringList{received, QStringLiteral("Item request with 250001 items refused, at most "
                                              "250000 are taken.")}));
    EXPECT_EQ(linkState, LinkState::Idle);
    EXPECT_EQ(tag1->requestId, 0);
}

TEST_F(HostLinkTest, ItemsNotFoundAreNamedUpToALimitThenCounted)
{
    launchedByHost = true;
    running = true;
    std::vector<std::shared_ptr<CReqTag>> items;
    for (int i = 0; i < ItemResolver::MaxNamedNotFound + 3; ++i)
        items.push_back(item(i + 1, QStringLiteral("Channel1.Device1.Nothing%1").arg(i)));
    items.push_back(item(9999, QStringLiteral("Channel1.Device1.Tag1")));
    EXPECT_EQ(sendItemRequest(itemRequest(std::move(items)), host()),
              HostLink::ItemRequestAccepted);
    const QStringList lines = newLogTexts();
    ASSERT_EQ(lines.size(), 1 + ItemResolver::MaxNamedNotFound + 2);
    EXPECT_EQ(lines[ItemResolver::MaxNamedNotFound + 1],
              QStringLiteral("3 more requested items NOT found."));
}

TEST_F(HostLinkTest, ARequestIdGivenToAnotherTagIsTakenFromTheFirst)
{
    acceptItems();
    ASSERT_EQ(
        sendItemRequest(itemRequest({item(7, QStringLiteral("Channel1.Device1.Tag2"))}), host()),
        HostLink::ItemRequestAccepted);
    EXPECT_EQ(tag1->requestId, 0);
    ASSERT_EQ(sendWriteRequest(writeRequest({entry(7, wordValue(42))}), host()),
              HostLink::WriteRequestTaken);
    const auto &queue = device().writeQueue();
    ASSERT_EQ(queue.size(), 1u);
    EXPECT_EQ(queue[0].tagName, QStringLiteral("Tag2"));
}

TEST_F(HostLinkTest, TruncatedItemRequestIsAnswered0AndChangesNothing)
{
    launchedByHost = true;
    running = true;
    const QByteArray payload = HostPayload::encodeItemRequest(
        itemRequest({item(7, QStringLiteral("Channel1.Device1.Tag1")),
                     item(5, QStringLiteral("Channel1.Device1.Tag2"))}));
    for (qsizetype length = 0; length < payload.size(); ++length) {
        SCOPED_TRACE(length);
        logMark = log.count();
        EXPECT_EQ(sendToDriver(HostLink::ItemRequestCode, payload.first(length), host()),
                  HostLink::NotHandled);
        const QStringList lines = newLogTexts();
        ASSERT_EQ(lines.size(), 2);
        EXPECT_EQ(lines[0], received);
        EXPECT_TRUE(lines[1].startsWith(
            QStringLiteral("Copy Data 200 from Parent ignored, its data could not be read: end "
                           "of data at byte ")))
            << lines[1].toStdString();
        EXPECT_EQ(tag1->requestId, 0);
        EXPECT_EQ(tag2->requestId, 0);
        EXPECT_EQ(linkState, LinkState::Idle);
        EXPECT_EQ(hostWindow, 0u);
        EXPECT_FALSE(refreshAll);
        EXPECT_FALSE(channelsActive());
    }
}

TEST_F(HostLinkTest, ItemRequestWithForeignElementClassIsAnswered0)
{
    acceptItems();
    refreshAll = false;
    // A write request's payload sent as an item request.
    EXPECT_EQ(sendToDriver(HostLink::ItemRequestCode,
                           HostPayload::encodeTagValues(writeRequest({entry(7, wordValue(1))})),
                           host()),
              HostLink::NotHandled);
    const QStringList lines = newLogTexts();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[1].contains(QStringLiteral("could not be read: ")));
    EXPECT_TRUE(channelsActive());
    EXPECT_EQ(linkState, LinkState::Delivering);
    EXPECT_FALSE(refreshAll);
}

// Every received message, and the ones that are not the link's

TEST_F(HostLinkTest, EveryCopyDataIsLoggedAtLevel3AndUnknownCodesAnswer0)
{
    launchedByHost = true;
    running = true;
    for (quint64 code : {0ull, 100ull, 300ull, 500ull, 701ull, 0x1'0000'00C8ull}) {
        SCOPED_TRACE(code);
        logMark = log.count();
        EXPECT_EQ(sendToDriver(code, QByteArray("\x01\x02", 2), host()), HostLink::NotHandled);
        EXPECT_EQ(newLogTexts(), QStringList{received});
    }
    EXPECT_EQ(linkState, LinkState::Idle);
}

TEST_F(HostLinkTest, OtherWindowMessagesAreNotTheLinks)
{
    hostmsg::Message message;
    message.msg = hostmsg::WM_USER + 102;
    message.dwData = HostLink::ItemRequestCode;
    EXPECT_EQ(link.handleCopyData(message), HostLink::NotHandled);
    EXPECT_EQ(newLogTexts(), QStringList());
}

TEST(HostLinkQuiet, Level3MessagesStayOutOfALogBelowLevel3)
{
    QSettings settings(testsupport::tempRoot() + QStringLiteral("/quiet.ini"),
                       QSettings::IniFormat);
    EventLog log(EventLog::Config{0, QString()});
    log.open(settings);
    bool launchedByHost = true;
    bool running = true;
    hostmsg::Handle hostWindow = 77;
    LinkState linkState = LinkState::Delivering;
    bool refreshAll = false;
    Channels channels;
    hostmsg::Desktop desktop;
    HostLink link(HostLinkState{launchedByHost, running, hostWindow, linkState, refreshAll},
                  channels, desktop, &log);

    hostmsg::Message message;
    message.msg = hostmsg::WM_COPYDATA;
    message.wParam = 77;
    message.dwData = HostLink::WriteRequestCode;
    message.payload = HostPayload::encodeTagValues(writeRequest({entry(7, wordValue(1))}));
    EXPECT_EQ(link.handleCopyData(message), HostLink::WriteRequestTaken);
    EXPECT_EQ(log.count(), 0);
}

// Value queue and deliveries

TEST_F(HostLinkTest, ThreeChangesBeforeAFlushAreThreeEntriesInOrder)
{
    acceptItems();
    link.queueTagValue(7, wordValue(1), false);
    link.queueTagValue(7, wordValue(2), true);
    link.queueTagValue(7, wordValue(3), false);
    EXPECT_EQ(link.pendingValues().entries.size(), 3u);
    EXPECT_TRUE(deliveries.empty()) << "queueing sends nothing";

    link.flushTagValues();
    ASSERT_EQ(deliveries.size(), 1u);
    EXPECT_EQ(deliveries[0].msg, hostmsg::WM_COPYDATA);
    EXPECT_EQ(deliveries[0].dwData, HostLink::ValueDeliveryCode);
    EXPECT_EQ(deliveries[0].wParam, driverWindow->handle());
    EXPECT_EQ(describe(delivered(0)),
              "reserved=0 [7 type 5 value 1] [7 error type 5 value 2] [7 type 5 value 3]");
    EXPECT_TRUE(link.pendingValues().entries.empty());
    EXPECT_EQ(linkState, LinkState::Delivering);
    EXPECT_EQ(hostWindow, host());

    link.flushTagValues();
    EXPECT_EQ(deliveries.size(), 1u) << "nothing queued, nothing sent";
}

TEST_F(HostLinkTest, DeliveryIsExactlyTheValueRecord)
{
    acceptItems();
    link.queueTagValue(7, wordValue(0x1234), false);
    link.queueTagValue(-3, booleanValue(true), true);
    link.flushTagValues();
    ASSERT_EQ(deliveries.size(), 1u);
    EXPECT_EQ(toHex(deliveries[0].payload),
              toHex(hexBytes("00 00 02 00 FF FF 01 00 07 00 43 54 78 6E 54 61 67"
                             " 07 00 00 00 00 00 00 00 05 34 12"
                             " 01 80 FD FF FF FF 01 00 00 00 01 01 00 00 00")));
}

TEST_F(HostLinkTest, QueuedValueIsACopy)
{
    acceptItems();
    CModData value = wordValue(10);
    link.queueTagValue(7, value, false);
    value.setWord(11);
    link.flushTagValues();
    ASSERT_EQ(deliveries.size(), 1u);
    EXPECT_EQ(describe(delivered(0)), "reserved=0 [7 type 5 value 10]");
}

namespace {

struct QueueRow
{
    const char *name;
    LinkState linkState;
    bool hostWindowKnown;
    qint32 requestId;
    bool queued;
};

const QueueRow queueRows[] = {
    {"delivering", LinkState::Delivering, true, 7, true},
    {"negative_id", LinkState::Delivering, true, -7, true},
    {"id_0", LinkState::Delivering, true, 0, false},
    {"no_host_window", LinkState::Delivering, false, 7, false},
    {"idle", LinkState::Idle, true, 7, false},
    {"stopping", LinkState::Stopping, true, 7, false},
    {"releasing", LinkState::Releasing, true, 7, false},
};

} // namespace

TEST_F(HostLinkTest, ValuesAreQueuedOnlyWhileDeliveringToAHostWindow)
{
    launchedByHost = true;
    running = true;
    for (const QueueRow &row : queueRows) {
        SCOPED_TRACE(row.name);
        linkState = row.linkState;
        hostWindow = row.hostWindowKnown ? host() : 0;
        link.queueTagValue(row.requestId, wordValue(1), false);
        EXPECT_EQ(link.pendingValues().entries.size(), row.queued ? 1u : 0u);

        link.flushTagValues();
        EXPECT_EQ(deliveries.size(), row.queued ? 1u : 0u);
        EXPECT_TRUE(link.pendingValues().entries.empty());
        deliveries.clear();
    }
    EXPECT_EQ(newLogTexts(), QStringList());
}

TEST_F(HostLinkTest, FlushWaitsWhileTheLinkIsNotDeliveringAndDiscardEmptiesIt)
{
    acceptItems();
    link.queueTagValue(7, wordValue(1), false);
    linkState = LinkState::Stopping;
    link.flushTagValues();
    EXPECT_TRUE(deliveries.empty());
    EXPECT_EQ(link.pendingValues().entries.size(), 1u);

    link.discardPending();
    EXPECT_TRUE(link.pendingValues().entries.empty());
    linkState = LinkState::Delivering;
    link.flushTagValues();
    EXPECT_TRUE(deliveries.empty());
}

namespace {

struct RefusedDeliveryRow
{
    const char *name;
    qint64 reply;
};

const RefusedDeliveryRow refusedDeliveryRows[] = {
    {"reply_0", 0},
    {"reply_1", 1},
    {"reply_500", 500},
    {"reply_minus_100", -100},
};

} // namespace

TEST_F(HostLinkTest, DeliveryNotAnsweredWith100EndsTheLink)
{
    for (const RefusedDeliveryRow &row : refusedDeliveryRows) {
        SCOPED_TRACE(row.name);
        linkState = LinkState::Idle; // the previous row's run was released
        acceptItems();
        deliveries.clear();
        hostReply = row.reply;
        link.queueTagValue(7, wordValue(1), false);
        link.flushTagValues();

        EXPECT_EQ(deliveries.size(), 1u);
        EXPECT_EQ(hostWindow, 0u);
        EXPECT_EQ(linkState, LinkState::Stopping);
        EXPECT_EQ(newLogTexts(),
                  QStringList{QStringLiteral("Client window not found while transmitting data.")});
        EXPECT_TRUE(link.pendingValues().entries.empty());

        link.queueTagValue(7, wordValue(2), false);
        link.flushTagValues();
        EXPECT_TRUE(link.pendingValues().entries.empty());
        EXPECT_EQ(deliveries.size(), 1u);
        hostReply = HostLink::DeliveryAcknowledged;
    }
}

TEST_F(HostLinkTest, ClosedHostWindowIsNoticedAtTheNextDelivery)
{
    acceptItems();
    hostEndpoint.reset();
    link.flushTagValues();
    EXPECT_EQ(linkState, LinkState::Delivering) << "while nothing changes, nothing is sent";

    link.queueTagValue(7, wordValue(1), false);
    link.flushTagValues();
    EXPECT_EQ(hostWindow, 0u);
    EXPECT_EQ(linkState, LinkState::Stopping);
    EXPECT_EQ(newLogTexts(), QStringList{DriverString::text(DriverString::ClientWindowNotFound)});
    EXPECT_TRUE(link.pendingValues().entries.empty());
}

TEST_F(HostLinkTest, HostMayRequestAndWriteWhileADeliveryWaits)
{
    acceptItems();
    qint64 writeReply = -1;
    qint64 requestReply = -1;
    duringDelivery = [&] {
        writeReply = sendWriteRequest(writeRequest({entry(7, wordValue(42))}), host());
        requestReply = sendItemRequest(
            itemRequest({item(21, QStringLiteral("Channel1.Device1.Tag2"))}), host());
        // A value that reaches the link meanwhile goes out with the next delivery.
        link.queueTagValue(21, wordValue(99), false);
    };
    link.queueTagValue(7, wordValue(1), false);
    link.flushTagValues();

    EXPECT_EQ(writeReply, HostLink::WriteRequestTaken);
    EXPECT_EQ(requestReply, HostLink::ItemRequestAccepted);
    ASSERT_EQ(device().writeQueue().size(), 1u);
    EXPECT_EQ(device().writeQueue().front().value, wordValue(42));
    EXPECT_EQ(tag2->requestId, 21);
    ASSERT_EQ(deliveries.size(), 1u);
    EXPECT_EQ(describe(delivered(0)), "reserved=0 [7 type 5 value 1]");
    ASSERT_EQ(link.pendingValues().entries.size(), 1u);

    link.flushTagValues();
    ASSERT_EQ(deliveries.size(), 2u);
    EXPECT_EQ(describe(delivered(1)), "reserved=0 [21 type 5 value 99]");
}

TEST_F(HostLinkTest, HundredThousandChangesLeaveInOneDelivery)
{
    acceptItems();
    constexpr qint32 Changes = 100000;
    for (qint32 i = 0; i < Changes; ++i)
        link.queueTagValue(1 + i % 1000, wordValue(quint16(i)), (i % 7) == 0);
    link.flushTagValues();

    ASSERT_EQ(deliveries.size(), 1u);
    const CAryTxnTags values = delivered(0);
    ASSERT_EQ(values.entries.size(), size_t(Changes));
    for (qint32 i = 0; i < Changes; ++i) {
        const CTxnTag &value = *values.entries[size_t(i)];
        ASSERT_EQ(value.requestId, 1 + i % 1000) << i;
        ASSERT_EQ(value.value, wordValue(quint16(i))) << i;
        ASSERT_EQ(value.inError, (i % 7) == 0) << i;
    }
    EXPECT_TRUE(link.pendingValues().entries.empty());
    EXPECT_GE(link.pendingValues().entries.capacity(), size_t(Changes))
        << "the queue keeps its room for the next batch";
}

// Full refresh

TEST_F(HostLinkTest, SendAllDeliversEveryRequestedTagThatHasAValue)
{
    acceptItems();
    tag1->value = wordValue(11);
    tag1->flags |= CModTag::ValuePresent;
    // Tag2 is requested but has never received a value.
    readOnly->value = wordValue(33);
    readOnly->flags |= CModTag::ValuePresent | CModTag::ErrorState;
    unrequested->value = wordValue(44);
    unrequested->flags |= CModTag::ValuePresent;
    gTag->value = wordValue(55);
    gTag->flags |= CModTag::ValuePresent;

    link.sendAllTagValues();
    ASSERT_EQ(deliveries.size(), 1u);
    EXPECT_EQ(describe(delivered(0)),
              "reserved=0 [7 type 5 value 11] [6 error type 5 value 33] [8 type 5 value 55]");
    EXPECT_TRUE(link.pendingValues().entries.empty());
}

TEST_F(HostLinkTest, SendAllDoesNothingWithoutADeliveringLink)
{
    tag1->requestId = 7;
    tag1->value = wordValue(11);
    tag1->flags |= CModTag::ValuePresent;
    linkState = LinkState::Delivering; // but no host window
    link.sendAllTagValues();
    hostWindow = host();
    linkState = LinkState::Idle;
    link.sendAllTagValues();
    EXPECT_TRUE(deliveries.empty());
    EXPECT_TRUE(link.pendingValues().entries.empty());
}

// Write requests

TEST_F(HostLinkTest, WritesFromTheHostReachTheirDevices)
{
    acceptItems();
    EXPECT_EQ(sendWriteRequest(writeRequest({entry(7, wordValue(42)), entry(0, wordValue(1)),
                                             entry(6, wordValue(5)), entry(999, wordValue(3)),
                                             entry(8, wordValue(9), true)}),
                               host()),
              HostLink::WriteRequestTaken);

    const auto &queue = device().writeQueue();
    ASSERT_EQ(queue.size(), 2u);
    EXPECT_EQ(queue[0].tagName, QStringLiteral("Tag1"));
    EXPECT_EQ(queue[0].value, wordValue(42));
    EXPECT_EQ(queue[1].tagName, QStringLiteral("GTag"));
    EXPECT_EQ(queue[1].value, wordValue(9));
    EXPECT_EQ(newLogTexts(),
              (QStringList{received, QStringLiteral("Processing tag write request for 5 tags."),
                           QStringLiteral("Can not write to Read only tag [ReadOnly]."),
                           DriverString::text(DriverString::WriteTagNotFound)}));
}

TEST_F(HostLinkTest, EmptyWriteRequestIsTakenWithoutALine)
{
    acceptItems();
    EXPECT_EQ(sendWriteRequest(writeRequest({}), host()), HostLink::WriteRequestTaken);
    EXPECT_EQ(newLogTexts(), QStringList{received});
}

TEST_F(HostLinkTest, WritesFromAnotherWindowAreAnswered600AndDropped)
{
    acceptItems();
    auto other = desktop.createWindow(QStringLiteral("another host"));
    ASSERT_TRUE(other);
    for (hostmsg::Handle from : {other->handle(), hostmsg::Handle(0)}) {
        SCOPED_TRACE(from);
        logMark = log.count();
        EXPECT_EQ(sendWriteRequest(writeRequest({entry(7, wordValue(42))}), from),
                  HostLink::WriteRequestTaken);
        EXPECT_TRUE(device().writeQueue().empty());
        EXPECT_EQ(newLogTexts(), QStringList{received});
    }
}

TEST_F(HostLinkTest, WritesBeforeAnyHostWindowAreDropped)
{
    // Launched and running, but no item request accepted yet: no sender can
    // match a window that was never registered, not even one that names none.
    launchedByHost = true;
    running = true;
    tag1->requestId = 7;
    EXPECT_EQ(sendWriteRequest(writeRequest({entry(7, wordValue(42))}), 0),
              HostLink::WriteRequestTaken);
    EXPECT_TRUE(device().writeQueue().empty());
}

TEST_F(HostLinkTest, WritesWithoutHostLaunchOrRunAreAnswered0WithoutALine)
{
    acceptItems();
    for (bool launched : {false, true}) {
        SCOPED_TRACE(launched);
        launchedByHost = launched;
        running = !launched;
        logMark = log.count();
        EXPECT_EQ(sendWriteRequest(writeRequest({entry(7, wordValue(42))}), host()),
                  HostLink::NotHandled);
        EXPECT_TRUE(device().writeQueue().empty());
        EXPECT_EQ(newLogTexts(), QStringList{received});
    }
}

TEST_F(HostLinkTest, TruncatedWriteRequestIsAnswered0AndWritesNothing)
{
    acceptItems();
    const QByteArray payload = HostPayload::encodeTagValues(
        writeRequest({entry(7, wordValue(42)), entry(8, doubleValue(2.5))}));
    for (qsizetype length = 0; length < payload.size(); ++length) {
        SCOPED_TRACE(length);
        logMark = log.count();
        EXPECT_EQ(sendToDriver(HostLink::WriteRequestCode, payload.first(length), host()),
                  HostLink::NotHandled);
        EXPECT_TRUE(device().writeQueue().empty());
        const QStringList lines = newLogTexts();
        ASSERT_EQ(lines.size(), 2);
        EXPECT_TRUE(lines[1].startsWith(
            QStringLiteral("Copy Data 700 from Parent ignored, its data could not be read: ")))
            << lines[1].toStdString();
    }
    EXPECT_EQ(linkState, LinkState::Delivering);
    EXPECT_EQ(hostWindow, host());
}

TEST_F(HostLinkTest, WriteRequestWithAHugeCountIsAnswered0)
{
    acceptItems();
    EXPECT_EQ(sendToDriver(HostLink::WriteRequestCode,
                           hexBytes("00 00 FF FF FF FF FF FF FF FF 01 00 07 00 43 54 78 6E 54 61 "
                                    "67 07 00 00 00 00 00 00 00 05 2A 00"),
                           host()),
              HostLink::NotHandled);
    EXPECT_TRUE(device().writeQueue().empty()) << "not even the complete first entry is written";
}
