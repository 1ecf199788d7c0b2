#include "devicetags.h"
#include "planfixtures.h"

#include <gtest/gtest.h>

namespace {

TEST(checkHasTags, DeviceWithOwnTags)
{
    auto device = makeDevice();
    addTag(device->tags, QStringLiteral("A"), "400001");
    addGroup(device->groups, QStringLiteral("Empty"));
    QStringList messages;
    EXPECT_TRUE(checkHasTags(*device, messages));
    EXPECT_TRUE(messages.isEmpty()) << "groups are not looked at";
}

TEST(checkHasTags, EmptyDeviceIsReported)
{
    auto device = makeDevice(QStringLiteral("Pump"));
    QStringList messages;
    EXPECT_FALSE(checkHasTags(*device, messages));
    EXPECT_EQ(messages, QStringList{QStringLiteral("Device Pump do not have any tags.")});
}

TEST(checkHasTags, EveryGroupIsExaminedAndEmptyOnesReported)
{
    auto device = makeDevice(QStringLiteral("Pump"));
    addGroup(device->groups, QStringLiteral("G1"));
    auto g2 = addGroup(device->groups, QStringLiteral("G2"));
    addGroup(g2->groups, QStringLiteral("G2a"));
    auto g2b = addGroup(g2->groups, QStringLiteral("G2b"));
    addTag(g2b->tags, QStringLiteral("T"), "400001");
    addGroup(g2->groups, QStringLiteral("G2c")); // not reached: G2b has tags
    addGroup(device->groups, QStringLiteral("G3"));
    QStringList messages;
    EXPECT_TRUE(checkHasTags(*device, messages));
    EXPECT_EQ(messages, (QStringList{QStringLiteral(" Tag group G1 do not have any tags."),
                                     QStringLiteral(" Tag group G2a do not have any tags."),
                                     QStringLiteral(" Tag group G3 do not have any tags.")}));
}

TEST(checkHasTags, OnlyEmptyGroups)
{
    auto device = makeDevice(QStringLiteral("Pump"));
    auto g1 = addGroup(device->groups, QStringLiteral("G1"));
    addGroup(g1->groups, QStringLiteral("G1a"));
    QStringList messages;
    EXPECT_FALSE(checkHasTags(*device, messages));
    EXPECT_EQ(messages, (QStringList{QStringLiteral(" Tag group G1a do not have any tags."),
                                     QStringLiteral(" Tag group G1 do not have any tags."),
                                     QStringLiteral("Device Pump do not have any tags.")}));
}

} // namespace
