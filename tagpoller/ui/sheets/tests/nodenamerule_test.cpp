// The name rule of channels and devices, alone and through the first page of
// each sheet.
#include "sheettesting.h"

#include "channeleditor.h"
#include "deviceeditor.h"
#include "nodenamerule.h"
#include "tabbedsheet.h"
#include "wizardsheet.h"

#include <QLineEdit>

using namespace sheettesting;

namespace {

const QString Taken = QStringLiteral("Taken_1");
const QString LongTaken = QString(41, u'L');

struct NameCase
{
    const char *what;
    QString name;
    std::optional<int> ruleBroken; // 0 empty, 1 blank, 2 too long, 3 exists
};

// Each rule is tested before the next: a name breaking two reports the first.
const std::vector<NameCase> &nameCases()
{
    static const std::vector<NameCase> cases{
        {"empty", QString(), 0},
        {"blank", QStringLiteral("Tank 1"), 1},
        {"blank only", QStringLiteral(" "), 1},
        {"blank and too long", QString(40, u'a') + u' ', 1},
        {"41 characters", QString(41, u'a'), 2},
        {"too long and taken", LongTaken, 2},
        {"taken", Taken, 3},
        {"40 characters", QString(40, u'a'), std::nullopt},
        {"taken in other case", QStringLiteral("taken_1"), std::nullopt},
        {"taken with a suffix", QStringLiteral("Taken_10"), std::nullopt},
    };
    return cases;
}

std::optional<DriverString::Id> expectedMessage(const NodeNameRule::Messages &messages,
                                                std::optional<int> ruleBroken)
{
    if (!ruleBroken)
        return std::nullopt;
    const DriverString::Id ids[] = {messages.empty, messages.hasBlank, messages.tooLong,
                                    messages.exists};
    return ids[*ruleBroken];
}

TEST(NodeNameRule, MessagesAreTheNumberedTexts)
{
    const auto rtu = NodeNameRule::rtuChannelMessages();
    const auto tcp = NodeNameRule::tcpChannelMessages();
    const auto device = NodeNameRule::deviceMessages();
    EXPECT_EQ(int(rtu.empty), 58063);
    EXPECT_EQ(int(tcp.empty), 58067);
    EXPECT_EQ(int(tcp.hasBlank), 58064);
    EXPECT_EQ(int(tcp.tooLong), 58065);
    EXPECT_EQ(int(tcp.exists), 58066);
    EXPECT_EQ(int(device.empty), 58059);
    EXPECT_EQ(int(device.hasBlank), 58060);
    EXPECT_EQ(int(device.tooLong), 58061);
    EXPECT_EQ(int(device.exists), 58062);
    EXPECT_EQ(DriverString::text(rtu.empty), QStringLiteral("Please enter Channel name."));
    EXPECT_EQ(DriverString::text(tcp.empty), QStringLiteral("Please enter Channel name."));
    EXPECT_EQ(DriverString::text(tcp.hasBlank),
              QStringLiteral("Channel name can not contain space."));
    EXPECT_EQ(DriverString::text(tcp.tooLong),
              QStringLiteral("Channel name length more than limit of 40 Characters."));
    EXPECT_EQ(DriverString::text(tcp.exists),
              QStringLiteral("Channel name exists, please rename."));
    EXPECT_EQ(DriverString::text(device.empty), QStringLiteral("Please enter Device name."));
    EXPECT_EQ(DriverString::text(device.hasBlank),
              QStringLiteral("Device name can not contain space."));
    EXPECT_EQ(DriverString::text(device.tooLong),
              QStringLiteral("Device name length more than limit of 40 Characters."));
    EXPECT_EQ(DriverString::text(device.exists),
              QStringLiteral("Device name exists, please rename."));
}

TEST(NodeNameRule, RulesAreTestedInOrder)
{
    const NodeNameRule rule(NodeNameRule::deviceMessages(), {Taken, LongTaken});
    for (const NameCase &c : nameCases()) {
        EXPECT_EQ(rule.check(c.name), expectedMessage(NodeNameRule::deviceMessages(), c.ruleBroken))
            << c.what;
    }
}

TEST(NodeNameRule, TheNodeItselfDoesNotTakeItsName)
{
    auto self = std::make_shared<CModTCPDev>();
    auto other = std::make_shared<CModTCPDev>();
    other->name = Taken;
    const Devices siblings{self, other};
    EXPECT_EQ(NodeNameRule::namesOfOthers(siblings, self.get()), QStringList{Taken});
}

// Through the sheets: the name comes from the node (a stored name longer than
// 40 characters included) and OK takes it.
template<class Node, class Editor, class Siblings>
void expectRulesInOrderThroughTheSheet(const char *nameEdit,
                                       const NodeNameRule::Messages &ruleMessages)
{
    for (const NameCase &c : nameCases()) {
        SCOPED_TRACE(c.what);
        auto node = std::make_shared<Node>();
        node->isNew = false;
        node->name = c.name;
        auto taken = std::make_shared<Node>();
        taken->name = Taken;
        auto longTaken = std::make_shared<Node>();
        longTaken->name = LongTaken;
        const Siblings siblings{taken, node, longTaken};
        RecordingNotifier notifier;
        Editor editor(*node, siblings);
        TabbedSheet sheet(editor, notifier);
        sheet.show();
        auto *edit = control<QLineEdit>(&sheet, nameEdit);
        EXPECT_EQ(edit->text(), c.name);
        clickOk(sheet);
        if (const auto expected = expectedMessage(ruleMessages, c.ruleBroken)) {
            EXPECT_EQ(messages(notifier),
                      std::vector<Message>{stop(DriverString::text(*expected))});
            EXPECT_EQ(sheet.focusWidget(), edit);
            EXPECT_EQ(sheet.result(), QDialog::Rejected);
        } else {
            EXPECT_TRUE(notifier.messages.empty());
            EXPECT_EQ(sheet.result(), QDialog::Accepted);
        }
        EXPECT_EQ(node->name, c.name);
    }
}

TEST(NodeNameRule, TcpChannelRulesInOrderThroughTheSheet)
{
    expectRulesInOrderThroughTheSheet<CModTCPChnl, ChannelEditor, Channels>(
        "channelName", NodeNameRule::tcpChannelMessages());
}

TEST(NodeNameRule, RtuChannelRulesInOrderThroughTheSheet)
{
    expectRulesInOrderThroughTheSheet<CModRTUChnl, ChannelEditor, Channels>(
        "channelName", NodeNameRule::rtuChannelMessages());
}

TEST(NodeNameRule, DeviceRulesInOrderThroughTheSheet)
{
    expectRulesInOrderThroughTheSheet<CModRTUDev, DeviceEditor, Devices>(
        "deviceName", NodeNameRule::deviceMessages());
}

TEST(NodeNameRule, TypedAndPastedNamesInTheWizard)
{
    auto taken = std::make_shared<CModTCPDev>();
    taken->name = Taken;
    auto device = std::make_shared<CModTCPDev>();
    RecordingNotifier notifier;
    DeviceEditor editor(*device, {taken, device});
    WizardSheet sheet(editor, notifier);
    sheet.show();
    auto *name = control<QLineEdit>(&sheet, "deviceName");

    typeText(name, QString());
    clickNext(sheet);
    pasteText(name, QStringLiteral("Pump 1"));
    clickNext(sheet);
    typeText(name, Taken);
    clickNext(sheet);
    EXPECT_EQ(messages(notifier),
              (std::vector<Message>{stop(QStringLiteral("Please enter Device name.")),
                                    stop(QStringLiteral("Device name can not contain space.")),
                                    stop(QStringLiteral("Device name exists, please rename."))}));
    EXPECT_EQ(sheet.currentId(), 0);

    typeText(name, QStringLiteral("Pump_1"));
    clickNext(sheet);
    EXPECT_EQ(sheet.currentId(), 1);
    EXPECT_EQ(notifier.messages.size(), 3u);
}

// A dot would split the host's item path: new names with one are refused, a
// stored one keeps loading and can be kept.
TEST(NodeNameRule, NewNamesWithADotAreRefusedStoredOnesKept)
{
    auto channel = std::make_shared<CModTCPChnl>();
    channel->isNew = false;
    channel->name = QStringLiteral("Line.1");
    RecordingNotifier notifier;
    {
        ChannelEditor editor(*channel, Channels{channel});
        TabbedSheet sheet(editor, notifier);
        sheet.show();
        clickOk(sheet);
        EXPECT_TRUE(notifier.messages.empty());
        EXPECT_EQ(sheet.result(), QDialog::Accepted);
    }
    auto device = std::make_shared<CModTCPDev>();
    DeviceEditor editor(*device, {device});
    WizardSheet sheet(editor, notifier);
    sheet.show();
    auto *name = control<QLineEdit>(&sheet, "deviceName");
    pasteText(name, QStringLiteral("Pump.1"));
    clickNext(sheet);
    EXPECT_EQ(messages(notifier),
              std::vector<Message>{stop(QStringLiteral("Device name can not contain \".\"."))});
    EXPECT_EQ(sheet.currentId(), 0);
    EXPECT_FALSE(device->name.contains(u'.'));
}

} // namespace
