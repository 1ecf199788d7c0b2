#include "sheettesting.h"

#include "nameedit.h"

#include <QTest>

using namespace sheettesting;

namespace {

TEST(NameEdit, TypingTakesLettersDigitsAndUnderscoreOnly)
{
    NameEdit edit;
    QTest::keyClicks(&edit, QStringLiteral("Tank 1-a_b.c"));
    EXPECT_EQ(edit.text(), QStringLiteral("Tank1a_bc"));
    QTest::keyClick(&edit, Qt::Key_Backspace);
    EXPECT_EQ(edit.text(), QStringLiteral("Tank1a_b"));
    QTest::sendKeyEvent(QTest::Click, &edit, Qt::Key_Eacute, QStringLiteral("\u00e9"),
                        Qt::NoModifier);
    EXPECT_EQ(edit.text(), QStringLiteral("Tank1a_b\u00e9")) << "letters of any script";
}

TEST(NameEdit, PastedTextIsNotFiltered)
{
    NameEdit edit;
    pasteText(&edit, QStringLiteral("Tank 1"));
    EXPECT_EQ(edit.text(), QStringLiteral("Tank 1"));
}

TEST(NameEdit, TypingStopsAt40Characters)
{
    NameEdit edit;
    QTest::keyClicks(&edit, QString(45, u'a'));
    EXPECT_EQ(edit.text(), QString(40, u'a'));
}

TEST(NameEdit, LongerStoredNameIsShownWhole)
{
    NameEdit edit;
    edit.setName(QString(45, u'a'));
    EXPECT_EQ(edit.text().size(), 45);
    QTest::keyClick(&edit, Qt::Key_End);
    QTest::keyClick(&edit, Qt::Key_Backspace);
    QTest::keyClicks(&edit, QStringLiteral("bb"));
    EXPECT_EQ(edit.text(), QString(44, u'a')) << "shortened, never lengthened again";
}

} // namespace
