#include "blocksizespinbox.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

TEST(BlockSizeSpinBox, StepsClampToTheRange)
{
    BlockSizeSpinBox spin(8, 2000, {{0, 8}, {2, 16}});
    QSignalSpy stepped(&spin, &BlockSizeSpinBox::stepped);
    spin.showNumber(13);
    EXPECT_EQ(stepped.count(), 0);

    spin.stepBy(1);
    EXPECT_EQ(spin.text(), QStringLiteral("21"));
    spin.stepBy(-2);
    EXPECT_EQ(spin.text(), QStringLiteral("8")) << "5 is clamped";
    EXPECT_EQ(stepped.count(), 2);
    spin.stepBy(-1);
    EXPECT_EQ(spin.text(), QStringLiteral("8"));
    EXPECT_EQ(stepped.count(), 2) << "nothing changed";

    spin.showNumber(1996);
    spin.stepBy(1);
    EXPECT_EQ(spin.text(), QStringLiteral("2000"));
}

TEST(BlockSizeSpinBox, ArrowsFollowTheNumber)
{
    BlockSizeSpinBox spin(1, 125, {{0, 1}});
    spin.showNumber(1);
    QTest::keyClick(&spin, Qt::Key_Down);
    EXPECT_EQ(spin.text(), QStringLiteral("1"));
    QTest::keyClick(&spin, Qt::Key_Up);
    EXPECT_EQ(spin.text(), QStringLiteral("2"));
    spin.showNumber(125);
    QTest::keyClick(&spin, Qt::Key_Up);
    EXPECT_EQ(spin.text(), QStringLiteral("125"));
    QTest::keyClick(&spin, Qt::Key_Down);
    EXPECT_EQ(spin.text(), QStringLiteral("124"));
}

TEST(BlockSizeSpinBox, ANumberOutsideTheRangeIsShownAsItIs)
{
    BlockSizeSpinBox spin(8, 2000, {{0, 8}});
    spin.showNumber(7);
    EXPECT_EQ(spin.text(), QStringLiteral("7"));
    spin.stepBy(-1);
    EXPECT_EQ(spin.text(), QStringLiteral("8"));
    spin.showNumber(4294967295u);
    EXPECT_EQ(spin.text(), QStringLiteral("4294967295"));
    spin.stepBy(-1);
    EXPECT_EQ(spin.text(), QStringLiteral("2000"));
}

} // namespace
