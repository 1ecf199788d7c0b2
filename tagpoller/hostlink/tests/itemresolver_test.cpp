// Resolving fully qualified item names to tags: which names find which tag,
// how request ids are bound, and the lines each request leaves in the log.
#include "driverstrings.h"
#include "eventlog.h"
#include "hostlinktestsupport.h"
#include "itemresolver.h"
#include "testenvironment.h"

#include <QSettings>

#include <gtest/gtest.h>

using namespace hostlinktest;

namespace {

// Channel1 (TCP)
//   Device1: Tag1, Tag2, Tag1 (a second tag of the same name)
//     G1: InGroup, Tag1
//       Sub: Deep
//     G1 (a second group of the same name): Hidden
//   Device1 (a second device of the same name): Unreached
// Serial (RTU)
//   RDev: R1
// Dup (TCP): no devices
// Dup (TCP): Dev: T
class ItemResolverTest : public ::testing::Test
{
public:
    ItemResolverTest()
        : settings(testsupport::tempRoot() + QStringLiteral("/resolver.ini"), QSettings::IniFormat)
        , log(EventLog::Config{EventLog::VerboseEventMessageLevel, QString()})
    {
        settings.setValue(QStringLiteral("MsgsToKeep"), EventLog::MaximumMessagesToKeep);
        log.open(settings);
        logMark = log.count();

        auto channel1 = std::make_shared<CModTCPChnl>();
        channel1->name = QStringLiteral("Channel1");
        CModTCPDev &device1 = addDevice(*channel1, QStringLiteral("Device1"), 1);
        tag1 = &addTag(device1.tags, QStringLiteral("Tag1"));
        tag2 = &addTag(device1.tags, QStringLiteral("Tag2"));
        secondTag1 = &addTag(device1.tags, QStringLiteral("Tag1"));
        CModTagGroup &g1 = addGroup(device1.groups, QStringLiteral("G1"));
        inGroup = &addTag(g1.tags, QStringLiteral("InGroup"));
        groupTag1 = &addTag(g1.tags, QStringLiteral("Tag1"));
        deep = &addTag(addGroup(g1.groups, QStringLiteral("Sub")).tags, QStringLiteral("Deep"));
        hidden =
            &addTag(addGroup(device1.groups, QStringLiteral("G1")).tags, QStringLiteral("Hidden"));
        unreached = &addTag(addDevice(*channel1, QStringLiteral("Device1"), 2).tags,
                            QStringLiteral("Unreached"));
        channels.push_back(channel1);

        auto serial = std::make_shared<CModRTUChnl>();
        serial->name = QStringLiteral("Serial");
        r1 = &addTag(addDevice<CModRTUDev>(*serial, QStringLiteral("RDev"), 1).tags,
                     QStringLiteral("R1"));
        channels.push_back(serial);

        auto emptyDup = std::make_shared<CModTCPChnl>();
        emptyDup->name = QStringLiteral("Dup");
        channels.push_back(emptyDup);
        auto dup = std::make_shared<CModTCPChnl>();
        dup->name = QStringLiteral("Dup");
        dupTag = &addTag(addDevice(*dup, QStringLiteral("Dev"), 1).tags, QStringLiteral("T"));
        channels.push_back(dup);
    }

    // Lines the resolver wrote.
    QStringList logTexts() const
    {
        QStringList texts;
        for (int row = logMark; row < log.count(); ++row)
            texts << log.message(row).text();
        return texts;
    }

    static CAryReqTags request(std::vector<std::shared_ptr<CReqTag>> items)
    {
        CAryReqTags result;
        result.items = std::move(items);
        return result;
    }

    QSettings settings;
    EventLog log;
    int logMark = 0; // the lines of opening the log are not the resolver's
    Channels channels;
    CModTag *tag1 = nullptr;
    CModTag *tag2 = nullptr;
    CModTag *secondTag1 = nullptr;
    CModTag *inGroup = nullptr;
    CModTag *groupTag1 = nullptr;
    CModTag *deep = nullptr;
    CModTag *hidden = nullptr;
    CModTag *unreached = nullptr;
    CModTag *r1 = nullptr;
    CModTag *dupTag = nullptr;
};

struct NameRow
{
    const char16_t *name;
    CModTag *ItemResolverTest::*expected; // nullptr: not found
};

const NameRow nameRows[] = {
    {u"Channel1.Device1.Tag1", &ItemResolverTest::tag1},
    {u"Channel1.Device1.Tag2", &ItemResolverTest::tag2},
    {u"Channel1.Device1.G1.InGroup", &ItemResolverTest::inGroup},
    {u"Channel1.Device1.G1.Tag1", &ItemResolverTest::groupTag1},
    {u"Channel1.Device1.G1.Sub.Deep", &ItemResolverTest::deep},
    {u"Serial.RDev.R1", &ItemResolverTest::r1},
    // No dot, or nothing at all.
    {u"", nullptr},
    {u"Channel1", nullptr},
    // A channel and device, but no tag.
    {u"Channel1.Device1", nullptr},
    {u"Channel1.Device1.", nullptr},
    {u"Channel1.", nullptr},
    {u".Device1.Tag1", nullptr},
    {u"Channel1..Tag1", nullptr},
    // A group is not a tag, and a group is never skipped.
    {u"Channel1.Device1.G1", nullptr},
    {u"Channel1.Device1.InGroup", nullptr},
    {u"Channel1.Device1.Deep", nullptr},
    {u"Channel1.Device1.G1.Deep", nullptr},
    {u"Channel1.Device1.G1.Sub.Deep.More", nullptr},
    {u"Channel1.Device1.G1.", nullptr},
    // Names compare exactly.
    {u"channel1.Device1.Tag1", nullptr},
    {u"Channel1.device1.Tag1", nullptr},
    {u"Channel1.Device1.tag1", nullptr},
    {u"Channel1.Device1.g1.InGroup", nullptr},
    {u"Channel1.Device1.Tag1 ", nullptr},
    {u" Channel1.Device1.Tag1", nullptr},
    // Only the first of several of a name is asked.
    {u"Channel1.Device1.G1.Hidden", nullptr},
    {u"Channel1.Device1.Unreached", nullptr},
    {u"Dup.Dev.T", nullptr},
    {u"Nowhere.Device1.Tag1", nullptr},
};

} // namespace

TEST_F(ItemResolverTest, NamesFindTheirTagsOnly)
{
    for (const NameRow &row : nameRows) {
        const QString name = QString::fromUtf16(row.name);
        SCOPED_TRACE(name.toStdString());
        CModTag *found = ItemResolver::findTag(channels, name);
        CModTag *expected = row.expected ? this->*row.expected : nullptr;
        EXPECT_EQ(found, expected) << (found ? found->TagName.toStdString() : "nothing");
    }
    EXPECT_EQ(tag1->requestId, 0) << "looking up binds nothing";
}

TEST_F(ItemResolverTest, SecondTagOfANameIsNeverFound)
{
    EXPECT_EQ(ItemResolver::findTag(channels, u"Channel1.Device1.Tag1"), tag1);
    EXPECT_NE(ItemResolver::findTag(channels, u"Channel1.Device1.Tag1"), secondTag1);
}

TEST_F(ItemResolverTest, NameWithManyDotsEndsWithoutATag)
{
    const QString name = QStringLiteral("Channel1.Device1.G1") + QString(100000, u'.');
    EXPECT_EQ(ItemResolver::findTag(channels, name), nullptr);
}

TEST_F(ItemResolverTest, EmptyRequestFailsWith58043Only)
{
    const ItemResolver::Result result = ItemResolver::resolveItems(channels, request({}), &log);
    EXPECT_FALSE(result.succeeded());
    EXPECT_EQ(result.found, 0);
    EXPECT_EQ(result.notFound, 0);
    EXPECT_EQ(logTexts(), QStringList{DriverString::text(DriverString::NoItemsRequested)});
}

TEST_F(ItemResolverTest, AllFoundBindsIdsAndLogs58045)
{
    const ItemResolver::Result result = ItemResolver::resolveItems(
        channels,
        request({item(7, QStringLiteral("Channel1.Device1.Tag1")),
                 item(8, QStringLiteral("Channel1.Device1.G1.Sub.Deep"))}),
        &log);
    EXPECT_TRUE(result.succeeded());
    EXPECT_EQ(result.found, 2);
    EXPECT_EQ(result.notFound, 0);
    EXPECT_EQ(tag1->requestId, 7);
    EXPECT_EQ(deep->requestId, 8);
    EXPECT_EQ(logTexts(),
              QStringList{QStringLiteral(
                  "Requested all items [Total: 2] found, driver ready to send tag data.")});
}

TEST_F(ItemResolverTest, TwoOfThreeFoundLogsTheMissAnd58046)
{
    const ItemResolver::Result result = ItemResolver::resolveItems(
        channels,
        request({item(1, QStringLiteral("Channel1.Device1.Tag1")),
                 item(2, QStringLiteral("Channel1.Device1.InGroup")),
                 item(3, QStringLiteral("Channel1.Device1.G1.InGroup"))}),
        &log);
    EXPECT_TRUE(result.succeeded());
    EXPECT_EQ(result.found, 2);
    EXPECT_EQ(result.notFound, 1);
    EXPECT_EQ(tag1->requestId, 1);
    EXPECT_EQ(inGroup->requestId, 3);
    EXPECT_EQ(logTexts(),
              (QStringList{QStringLiteral("Requested item NOT found: Channel1.Device1.InGroup"),
                           QStringLiteral("Request items found: 2. Not found 1. driver ready to "
                                          "send tag data.")}));
}

TEST_F(ItemResolverTest, NoneFoundLogsEveryMissAnd58047)
{
    const ItemResolver::Result result = ItemResolver::resolveItems(
        channels, request({item(1, QStringLiteral("Channel1")), item(2, QString())}), &log);
    EXPECT_FALSE(result.succeeded());
    EXPECT_EQ(result.found, 0);
    EXPECT_EQ(result.notFound, 2);
    EXPECT_EQ(logTexts(),
              (QStringList{QStringLiteral("Requested item NOT found: Channel1"),
                           QStringLiteral("Requested item NOT found: "),
                           QStringLiteral("None of the requested items found, driver will not "
                                          "run.")}));
}

TEST_F(ItemResolverTest, SameTagRequestedTwiceKeepsTheLaterId)
{
    const ItemResolver::Result result =
        ItemResolver::resolveItems(channels,
                                   request({item(5, QStringLiteral("Channel1.Device1.Tag2")),
                                            item(9, QStringLiteral("Channel1.Device1.Tag2"))}),
                                   &log);
    EXPECT_EQ(result.found, 2);
    EXPECT_EQ(result.notFound, 0);
    EXPECT_EQ(tag2->requestId, 9);
    EXPECT_EQ(logTexts(),
              QStringList{QStringLiteral(
                  "Requested all items [Total: 2] found, driver ready to send tag data.")});
}

TEST_F(ItemResolverTest, LaterRequestRebindsOnlyTheTagsItNames)
{
    ItemResolver::resolveItems(channels,
                               request({item(1, QStringLiteral("Channel1.Device1.Tag1")),
                                        item(2, QStringLiteral("Channel1.Device1.Tag2"))}),
                               &log);
    ItemResolver::resolveItems(channels,
                               request({item(20, QStringLiteral("Channel1.Device1.Tag2")),
                                        item(30, QStringLiteral("Channel1.Device1.Tag9"))}),
                               &log);
    EXPECT_EQ(tag1->requestId, 1);
    EXPECT_EQ(tag2->requestId, 20);
}

TEST_F(ItemResolverTest, WorksWithoutALog)
{
    const ItemResolver::Result result = ItemResolver::resolveItems(
        channels, request({item(4, QStringLiteral("Serial.RDev.R1"))}), nullptr);
    EXPECT_EQ(result.found, 1);
    EXPECT_EQ(r1->requestId, 4);
}
