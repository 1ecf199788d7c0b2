#include "cmodtag.h"
#include "datatypes.h"
#include "dialogtesting.h"
#include "recordingnotifier.h"
#include "writevaluedialog.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>

namespace {

using namespace Qt::StringLiterals;
using dialogtesting::child;
using dialogtesting::showActive;
using dialogtesting::str;

class WriteValueDialogTest : public ::testing::Test
{
protected:
    WriteValueDialogTest() { tag.TagName = u"Pump_Speed"_s; }

    QPushButton *button(const WriteValueDialog &dialog, QDialogButtonBox::StandardButton which)
    {
        return child<QDialogButtonBox>(dialog, "buttonBox")->button(which);
    }

    CModTag tag;
    RecordingNotifier notifier;
};

TEST_F(WriteValueDialogTest, showsTheTagNameCentredInABorder)
{
    WriteValueDialog dialog(tag, notifier);
    EXPECT_EQ(str(dialog.windowTitle()), "Tag Value to Write");
    auto *name = child<QLabel>(dialog, "tagNameLabel");
    EXPECT_EQ(str(name->text()), "Pump_Speed");
    EXPECT_TRUE(name->alignment().testFlag(Qt::AlignHCenter));
    EXPECT_NE(name->frameShape(), QFrame::NoFrame);
    EXPECT_TRUE(child<QLineEdit>(dialog, "valueEdit")->text().isEmpty());
    EXPECT_TRUE(dialog.valueText().isEmpty());
    EXPECT_TRUE(button(dialog, QDialogButtonBox::Ok)->isDefault());
}

TEST_F(WriteValueDialogTest, okHandsOverTheTypedText)
{
    tag.DataType = DataTypeCode::Float;
    WriteValueDialog dialog(tag, notifier);
    ASSERT_TRUE(showActive(dialog));
    QTest::keyClicks(child<QLineEdit>(dialog, "valueEdit"), u" 1.5e3"_s);
    EXPECT_TRUE(dialog.valueText().isEmpty()) << "taken only when the dialog closes";
    QSignalSpy finished(&dialog, &QDialog::finished);
    QTest::mouseClick(button(dialog, QDialogButtonBox::Ok), Qt::LeftButton);
    ASSERT_EQ(finished.count(), 1);
    EXPECT_EQ(finished.at(0).at(0).toInt(), int(QDialog::Accepted));
    EXPECT_EQ(str(dialog.valueText()), " 1.5e3");
}

TEST_F(WriteValueDialogTest, enterInTheValueIsOk)
{
    WriteValueDialog dialog(tag, notifier);
    ASSERT_TRUE(showActive(dialog));
    auto *value = child<QLineEdit>(dialog, "valueEdit");
    EXPECT_TRUE(value->hasFocus()) << "the value is typed at once";
    QTest::keyClicks(value, u"42"_s);
    QSignalSpy finished(&dialog, &QDialog::finished);
    QTest::keyClick(value, Qt::Key_Return);
    ASSERT_EQ(finished.count(), 1);
    EXPECT_EQ(finished.at(0).at(0).toInt(), int(QDialog::Accepted));
    EXPECT_EQ(str(dialog.valueText()), "42");
}

TEST_F(WriteValueDialogTest, cancelHandsOverNothing)
{
    WriteValueDialog dialog(tag, notifier);
    ASSERT_TRUE(showActive(dialog));
    QTest::keyClicks(child<QLineEdit>(dialog, "valueEdit"), u"42"_s);
    QSignalSpy finished(&dialog, &QDialog::finished);
    QTest::mouseClick(button(dialog, QDialogButtonBox::Cancel), Qt::LeftButton);
    ASSERT_EQ(finished.count(), 1);
    EXPECT_EQ(finished.at(0).at(0).toInt(), int(QDialog::Rejected));
    EXPECT_TRUE(dialog.valueText().isEmpty());
}

TEST_F(WriteValueDialogTest, textThatIsNotWhollyANumberOfTheTypeIsRefusedAndTheDialogStays)
{
    // A Word tag: "abc" used to write 0, "12abc" 12.
    WriteValueDialog dialog(tag, notifier);
    ASSERT_TRUE(showActive(dialog));
    auto *value = child<QLineEdit>(dialog, "valueEdit");
    QSignalSpy finished(&dialog, &QDialog::finished);
    const QStringList refused = {u"abc"_s, u"12abc"_s, u"1.5"_s, u"70000"_s, u"-1"_s,
                                 u""_s,    u"0x10"_s,  u"1e3"_s, u"- 5"_s};
    for (const QString &text : refused) {
        SCOPED_TRACE(str(text));
        notifier.messages.clear();
        value->setText(text);
        QTest::mouseClick(button(dialog, QDialogButtonBox::Ok), Qt::LeftButton);
        EXPECT_EQ(finished.count(), 0);
        EXPECT_TRUE(dialog.isVisible());
        ASSERT_EQ(notifier.messages.size(), 1u);
        EXPECT_EQ(notifier.messages[0].icon, Notifier::Icon::Stop);
        EXPECT_TRUE(notifier.messages[0].text.contains(u"Word"_s))
            << str(notifier.messages[0].text);
    }
    EXPECT_TRUE(dialog.valueText().isEmpty());

    value->setText(u" 65535 "_s);
    QTest::mouseClick(button(dialog, QDialogButtonBox::Ok), Qt::LeftButton);
    ASSERT_EQ(finished.count(), 1);
    EXPECT_EQ(str(dialog.valueText()), " 65535 ");
}

} // namespace
