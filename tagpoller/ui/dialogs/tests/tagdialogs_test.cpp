// The entry points the main window calls, each through its modal exec().
#include "aboutdialog.h"
#include "dialogtesting.h"
#include "tagdialog.h"
#include "tagdialogs.h"
#include "taggroupdialog.h"
#include "timedmessagedialog.h"

#include <QDialogButtonBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>

namespace {

using namespace Qt::StringLiterals;
using dialogtesting::child;
using dialogtesting::onModalDialog;
using dialogtesting::retype;
using dialogtesting::str;

QPushButton *button(const QDialog &dialog, QDialogButtonBox::StandardButton which)
{
    return child<QDialogButtonBox>(dialog, "buttonBox")->button(which);
}

TEST(TagDialogsTest, AddTagsCountsTagsAddedBeforeCancel)
{
    TagList tags;
    RecordingNotifier notifier;
    onModalDialog<TagDialog>([](TagDialog &dialog) {
        QTest::keyClicks(child<QLineEdit>(dialog, "nameEdit"), u"Tag_1"_s);
        QTest::mouseClick(child<QToolButton>(dialog, "addNextButton"), Qt::LeftButton);
        QTest::mouseClick(child<QToolButton>(dialog, "addNextButton"), Qt::LeftButton);
        QTest::mouseClick(button(dialog, QDialogButtonBox::Cancel), Qt::LeftButton);
    });
    EXPECT_EQ(addTagsInDialog(nullptr, tags, notifier), 2);
    ASSERT_EQ(tags.size(), 2);
    EXPECT_EQ(str(tags.at(1)->TagName), "Tag_2");
    EXPECT_EQ(str(tags.at(1)->TagAddress), "400002");
}

TEST(TagDialogsTest, EditTagTellsWhetherTheUserAccepted)
{
    TagList tags;
    auto tag = std::make_shared<CModTag>();
    tag->TagName = u"Old"_s;
    tags.append(tag);
    RecordingNotifier notifier;

    onModalDialog<TagDialog>([](TagDialog &dialog) {
        retype(child<QLineEdit>(dialog, "nameEdit"), u"Dropped"_s);
        QTest::mouseClick(button(dialog, QDialogButtonBox::Cancel), Qt::LeftButton);
    });
    EXPECT_FALSE(editTagInDialog(nullptr, *tag, tags, notifier));
    EXPECT_EQ(str(tag->TagName), "Old");

    onModalDialog<TagDialog>([](TagDialog &dialog) {
        retype(child<QLineEdit>(dialog, "nameEdit"), u"New"_s);
        QTest::mouseClick(button(dialog, QDialogButtonBox::Ok), Qt::LeftButton);
    });
    EXPECT_TRUE(editTagInDialog(nullptr, *tag, tags, notifier));
    EXPECT_EQ(tags.find(u"New"_s), tag.get());
    EXPECT_EQ(tags.find(u"Old"_s), nullptr);
}

TEST(TagDialogsTest, EditTagGroupTakesTheNameOnOk)
{
    TagGroups siblings;
    CModTagGroup group;
    RecordingNotifier notifier;
    onModalDialog<TagGroupDialog>([](TagGroupDialog &dialog) {
        QTest::keyClicks(child<QLineEdit>(dialog, "nameEdit"), u"Boilers"_s);
        QTest::mouseClick(button(dialog, QDialogButtonBox::Ok), Qt::LeftButton);
    });
    EXPECT_TRUE(editTagGroupInDialog(nullptr, group, siblings, notifier));
    EXPECT_EQ(str(group.name), "Boilers");
}

TEST(TagDialogsTest, ShowTimedMessageShowsTheTextUntilOk)
{
    QString shown;
    onModalDialog<TimedMessageDialog>([&shown](TimedMessageDialog &dialog) {
        shown = child<QPlainTextEdit>(dialog, "messageEdit")->toPlainText();
        QTest::mouseClick(child<QPushButton>(dialog, "okButton"), Qt::LeftButton);
    });
    showTimedMessage(nullptr, u"Channel lost"_s);
    EXPECT_EQ(str(shown), "Channel lost");
}

TEST(TagDialogsTest, ShowAboutBoxEndsWithOk)
{
    bool seen = false;
    onModalDialog<AboutDialog>([&seen](AboutDialog &dialog) {
        seen = true;
        QTest::mouseClick(button(dialog, QDialogButtonBox::Ok), Qt::LeftButton);
    });
    showAboutBox(nullptr);
    EXPECT_TRUE(seen);
}

} // namespace
