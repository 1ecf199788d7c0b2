#include "sheettesting.h"

#include "nodesettings.h"

using namespace sheettesting;

namespace {

// The working copy carries every stored value of the node: the bytes each
// writes are the same (neither has children here).
template<class Node> void expectWorkingCopyEqualsNode()
{
    Node node;
    changeEverySetting(node);
    auto copy = NodeSettings::workingCopy(node);
    ASSERT_NE(dynamic_cast<Node *>(copy.get()), nullptr);
    EXPECT_EQ(recordBytes(*copy), recordBytes(node));
}

TEST(NodeSettings, WorkingCopyOfATcpChannel)
{
    expectWorkingCopyEqualsNode<CModTCPChnl>();
}

TEST(NodeSettings, WorkingCopyOfAnRtuChannel)
{
    expectWorkingCopyEqualsNode<CModRTUChnl>();
}

TEST(NodeSettings, WorkingCopyOfATcpDevice)
{
    expectWorkingCopyEqualsNode<CModTCPDev>();
}

TEST(NodeSettings, WorkingCopyOfAnRtuDevice)
{
    expectWorkingCopyEqualsNode<CModRTUDev>();
}

TEST(NodeSettings, CopyLeavesChildrenAndIsNewAlone)
{
    CModTCPChnl channel;
    channel.devices.push_back(channel.newDevice());
    channel.isNew = false;
    CModTCPChnl edited;
    changeEverySetting(edited);
    NodeSettings::copy(edited, channel);
    EXPECT_EQ(channel.name, QStringLiteral("Line_7"));
    EXPECT_EQ(channel.devices.size(), 1u);
    EXPECT_FALSE(channel.isNew);
    EXPECT_TRUE(NodeSettings::workingCopy(channel)->devices.empty());
}

} // namespace
