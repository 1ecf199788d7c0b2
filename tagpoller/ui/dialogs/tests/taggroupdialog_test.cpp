#include "dialogtesting.h"
#include "taggroupdialog.h"
#include "tagnameedit.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>

namespace {

using namespace Qt::StringLiterals;
using dialogtesting::child;
using dialogtesting::retype;
using dialogtesting::showActive;
using dialogtesting::str;

std::shared_ptr<CModTagGroup> makeGroup(const QString &name)
{
    auto group = std::make_shared<CModTagGroup>();
    group->name = name;
    return group;
}

class TagGroupDialogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        siblings.push_back(makeGroup(u"Pumps"_s));
        siblings.push_back(makeGroup(u"Valves"_s));
    }

    // Presses OK with `name` typed or pasted in; the texts shown.
    std::vector<std::string> pressOkWith(TagGroupDialog &dialog, const QString &name)
    {
        auto *edit = child<TagNameEdit>(dialog, "nameEdit");
        edit->clear();
        edit->insert(name); // as pasted: not filtered
        notifier.messages.clear();
        QTest::mouseClick(okButton(dialog), Qt::LeftButton);
        std::vector<std::string> texts;
        for (const auto &shown : notifier.messages) {
            EXPECT_EQ(shown.icon, Notifier::Icon::Stop);
            texts.push_back(str(shown.text));
        }
        return texts;
    }

    static QPushButton *okButton(const TagGroupDialog &dialog)
    {
        return child<QDialogButtonBox>(dialog, "buttonBox")->button(QDialogButtonBox::Ok);
    }

    TagGroups siblings;
    RecordingNotifier notifier;
};

using Messages = std::vector<std::string>;

TEST_F(TagGroupDialogTest, ShowsTheCaptionNameAndNote)
{
    CModTagGroup group;
    group.name = u"Tanks"_s;
    TagGroupDialog dialog(group, siblings, notifier);
    EXPECT_EQ(str(dialog.windowTitle()), "Tag Group");
    EXPECT_EQ(str(child<TagNameEdit>(dialog, "nameEdit")->text()), "Tanks");
    EXPECT_EQ(child<TagNameEdit>(dialog, "nameEdit")->inputLimit(), 40);
    EXPECT_EQ(str(child<QLabel>(dialog, "noteLabel")->text()),
              "A Tag group name can be from 1 to 40 characters in length. \r\n Names can not "
              "contain spaces.");
}

TEST_F(TagGroupDialogTest, RulesAreCheckedInOrder)
{
    auto group = makeGroup(QString());
    TagGroupDialog dialog(*group, siblings, notifier);
    ASSERT_TRUE(showActive(dialog));
    auto *edit = child<TagNameEdit>(dialog, "nameEdit");

    EXPECT_EQ(pressOkWith(dialog, QString()), Messages{"Please enter tag group name."});
    EXPECT_EQ(QApplication::focusWidget(), edit);
    EXPECT_EQ(pressOkWith(dialog, u" "_s), Messages{"Tag group name can not contain space."});
    // A blank is reported before the length.
    EXPECT_EQ(pressOkWith(dialog, u"a "_s + QString(45, u'b')),
              Messages{"Tag group name can not contain space."});
    EXPECT_EQ(pressOkWith(dialog, u"Pumps"_s), Messages{"Group name exists, please rename."});
    EXPECT_EQ(QApplication::focusWidget(), edit);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(group->name.isEmpty()) << "a refused name is not taken";

    EXPECT_TRUE(pressOkWith(dialog, u"pumps"_s).empty()) << "names compare exactly";
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(str(group->name), "pumps");
}

TEST_F(TagGroupDialogTest, NameLongerThan40FromAFileIsRefused)
{
    auto group = makeGroup(QString(41, u'g'));
    siblings.push_back(group);
    TagGroupDialog dialog(*group, siblings, notifier);
    auto *edit = child<TagNameEdit>(dialog, "nameEdit");
    EXPECT_EQ(edit->text().size(), 41) << "shown whole";
    QTest::mouseClick(okButton(dialog), Qt::LeftButton);
    ASSERT_EQ(notifier.messages.size(), 1u);
    EXPECT_EQ(str(notifier.messages[0].text),
              "Tag group name length more than limit of 40 characters.");
    EXPECT_EQ(group->name.size(), 41);

    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::mouseClick(okButton(dialog), Qt::LeftButton);
    EXPECT_EQ(notifier.messages.size(), 1u);
    EXPECT_EQ(group->name, QString(40, u'g'));
}

TEST_F(TagGroupDialogTest, NewNamesWithADotAreRefusedStoredOnesKept)
{
    auto group = makeGroup(u"Old.Name"_s);
    siblings.push_back(group);
    TagGroupDialog dialog(*group, siblings, notifier);
    ASSERT_TRUE(showActive(dialog));
    EXPECT_EQ(pressOkWith(dialog, u"New.Name"_s),
              Messages{"Tag group name can not contain \".\"."});
    EXPECT_EQ(str(group->name), "Old.Name");
    EXPECT_TRUE(pressOkWith(dialog, u"Old.Name"_s).empty()) << "a stored name can be kept";
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST_F(TagGroupDialogTest, KeepingItsOwnNameIsAccepted)
{
    CModTagGroup &pumps = *siblings[0];
    TagGroupDialog dialog(pumps, siblings, notifier);
    QTest::mouseClick(okButton(dialog), Qt::LeftButton);
    EXPECT_TRUE(notifier.messages.empty());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(str(pumps.name), "Pumps");
}

TEST_F(TagGroupDialogTest, CancelLeavesTheNameAlone)
{
    CModTagGroup &pumps = *siblings[0];
    TagGroupDialog dialog(pumps, siblings, notifier);
    retype(child<TagNameEdit>(dialog, "nameEdit"), u"Motors"_s);
    QTest::mouseClick(
        child<QDialogButtonBox>(dialog, "buttonBox")->button(QDialogButtonBox::Cancel),
        Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(str(pumps.name), "Pumps");
}

TEST_F(TagGroupDialogTest, TypedBlanksAreDroppedAndTypingStopsAt40)
{
    CModTagGroup group;
    TagGroupDialog dialog(group, siblings, notifier);
    auto *edit = child<TagNameEdit>(dialog, "nameEdit");
    QTest::keyClicks(edit, u"Line 2"_s);
    EXPECT_EQ(str(edit->text()), "Line2");
    QTest::keyClicks(edit, QString(50, u'x'));
    EXPECT_EQ(edit->text().size(), 40);
}

} // namespace
