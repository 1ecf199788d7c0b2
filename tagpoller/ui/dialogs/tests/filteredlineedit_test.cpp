#include "dialogtesting.h"
#include "tagaddressedit.h"
#include "tagnameedit.h"

#include <QClipboard>
#include <QInputMethodEvent>
#include <QSignalSpy>

namespace {

using dialogtesting::str;

QString rejectedCharacters(const QSignalSpy &spy)
{
    QString characters;
    for (const QList<QVariant> &arguments : spy)
        characters += arguments.at(0).value<QChar>();
    return characters;
}

TEST(TagNameEditTest, DropsTypedBlankAndMinusWithABeep)
{
    TagNameEdit edit;
    QSignalSpy rejected(&edit, &FilteredLineEdit::characterRejected);
    QTest::keyClicks(&edit, QStringLiteral("ab c-d_1"));
    EXPECT_EQ(str(edit.text()), "abcd_1");
    EXPECT_EQ(str(rejectedCharacters(rejected)), " -");
}

TEST(TagNameEditTest, TakesLettersOfAnyScript)
{
    TagNameEdit edit;
    QSignalSpy rejected(&edit, &FilteredLineEdit::characterRejected);
    // QTest::keyClicks() knows ASCII only.
    for (const QString &letter : {QStringLiteral("Ж"), QStringLiteral("é")})
        QTest::sendKeyEvent(QTest::Click, &edit, Qt::Key_unknown, letter, Qt::NoModifier);
    QTest::keyClick(&edit, Qt::Key_9);
    EXPECT_EQ(str(edit.text()), "Жé9");
    EXPECT_EQ(rejected.count(), 0);
}

TEST(TagNameEditTest, ControlKeysStillEdit)
{
    TagNameEdit edit;
    QSignalSpy rejected(&edit, &FilteredLineEdit::characterRejected);
    QTest::keyClicks(&edit, QStringLiteral("abc"));
    QTest::keyClick(&edit, Qt::Key_Backspace);
    EXPECT_EQ(str(edit.text()), "ab");
    QTest::keyClick(&edit, Qt::Key_A, Qt::ControlModifier); // select all
    QTest::keyClick(&edit, Qt::Key_Delete);
    EXPECT_TRUE(edit.text().isEmpty());
    EXPECT_EQ(rejected.count(), 0);
}

TEST(TagNameEditTest, PastedTextIsNotFiltered)
{
    TagNameEdit edit;
    QSignalSpy rejected(&edit, &FilteredLineEdit::characterRejected);
    QApplication::clipboard()->setText(QStringLiteral("a b-c"));
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(str(edit.text()), "a b-c");
    EXPECT_EQ(rejected.count(), 0);
}

TEST(TagNameEditTest, FiltersTextFromAnInputMethod)
{
    TagNameEdit edit;
    QSignalSpy rejected(&edit, &FilteredLineEdit::characterRejected);
    QInputMethodEvent event;
    event.setCommitString(QStringLiteral("x y"));
    QApplication::sendEvent(&edit, &event);
    EXPECT_EQ(str(edit.text()), "xy");
    EXPECT_EQ(rejected.count(), 1);
}

TEST(TagAddressEditTest, TakesDigitsAndDots)
{
    TagAddressEdit edit;
    QSignalSpy rejected(&edit, &FilteredLineEdit::characterRejected);
    QTest::keyClicks(&edit, QStringLiteral("12.5"));
    EXPECT_EQ(str(edit.text()), "12.5");
    EXPECT_EQ(rejected.count(), 0);
}

TEST(TagAddressEditTest, DropsTypedLettersAndSigns)
{
    TagAddressEdit edit;
    QSignalSpy rejected(&edit, &FilteredLineEdit::characterRejected);
    QTest::keyClicks(&edit, QStringLiteral("4a0-1 "));
    EXPECT_EQ(str(edit.text()), "401");
    EXPECT_EQ(str(rejectedCharacters(rejected)), "a- ");
}

TEST(TagAddressEditTest, PastedMinusSevenIsTaken)
{
    TagAddressEdit edit;
    QApplication::clipboard()->setText(QStringLiteral("-7"));
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(str(edit.text()), "-7");
}

TEST(FilteredLineEditTest, AcceptsNoTypedCharacterOfItsOwn)
{
    FilteredLineEdit edit;
    QSignalSpy rejected(&edit, &FilteredLineEdit::characterRejected);
    QTest::keyClicks(&edit, QStringLiteral("a1._"));
    EXPECT_TRUE(edit.text().isEmpty());
    EXPECT_EQ(rejected.count(), 4);
}

TEST(FilteredLineEditTest, TypingStopsAtTheInputLimit)
{
    TagNameEdit edit;
    edit.setInputLimit(5);
    QTest::keyClicks(&edit, QStringLiteral("abcdefg"));
    EXPECT_EQ(str(edit.text()), "abcde");
}

TEST(FilteredLineEditTest, PasteIsCutAtTheInputLimit)
{
    TagAddressEdit edit;
    edit.setInputLimit(9);
    QTest::keyClicks(&edit, QStringLiteral("12"));
    QApplication::clipboard()->setText(QStringLiteral("3456789012"));
    QTest::keyClick(&edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(str(edit.text()), "123456789");
}

TEST(FilteredLineEditTest, StoredTextBeyondTheLimitIsShownWhole)
{
    TagNameEdit edit;
    edit.setInputLimit(5);
    edit.setStoredText(QStringLiteral("abcdefgh"));
    EXPECT_EQ(str(edit.text()), "abcdefgh");

    // It can be shortened but not lengthened, until it is within the limit.
    edit.setCursorPosition(8);
    QTest::keyClick(&edit, Qt::Key_X);
    EXPECT_EQ(str(edit.text()), "abcdefgh");
    edit.setCursorPosition(2);
    QTest::keyClick(&edit, Qt::Key_Delete);
    EXPECT_EQ(str(edit.text()), "abdefgh");
    EXPECT_EQ(edit.cursorPosition(), 2) << "the cursor stays where the user edits";
    QTest::keyClick(&edit, Qt::Key_X);
    EXPECT_EQ(str(edit.text()), "abdefgh");
    QTest::keyClick(&edit, Qt::Key_Delete);
    QTest::keyClick(&edit, Qt::Key_Delete);
    QTest::keyClick(&edit, Qt::Key_Delete);
    EXPECT_EQ(str(edit.text()), "abgh");
    QTest::keyClick(&edit, Qt::Key_X);
    QTest::keyClick(&edit, Qt::Key_Y);
    EXPECT_EQ(str(edit.text()), "abxgh");
}

TEST(FilteredLineEditTest, ShorterStoredTextBringsBackTheLimit)
{
    TagNameEdit edit;
    edit.setInputLimit(5);
    edit.setStoredText(QStringLiteral("abcdefgh"));
    edit.setStoredText(QStringLiteral("ab"));
    QTest::keyClicks(&edit, QStringLiteral("cdefg"));
    EXPECT_EQ(str(edit.text()), "abcde");
}

} // namespace
