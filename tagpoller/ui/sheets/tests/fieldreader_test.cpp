#include "fieldreader.h"

#include <QLineEdit>

#include <gtest/gtest.h>

namespace {

TEST(FieldReader, ParsesUnsignedNumbersAsTheCLibraryDid)
{
    EXPECT_EQ(FieldReader::parseUnsigned(u"0"), 0u);
    EXPECT_EQ(FieldReader::parseUnsigned(u"300"), 300u);
    EXPECT_EQ(FieldReader::parseUnsigned(u" \t42\t "), 42u);
    EXPECT_EQ(FieldReader::parseUnsigned(u"+7"), 7u);
    EXPECT_EQ(FieldReader::parseUnsigned(u"007"), 7u);
    EXPECT_EQ(FieldReader::parseUnsigned(u"4294967295"), 4294967295u);
    EXPECT_EQ(FieldReader::parseUnsigned(u"99999999999"), 4294967295u) << "saturates";
    EXPECT_EQ(FieldReader::parseUnsigned(u""), std::nullopt);
    EXPECT_EQ(FieldReader::parseUnsigned(u"  "), std::nullopt);
    EXPECT_EQ(FieldReader::parseUnsigned(u"-1"), std::nullopt);
    EXPECT_EQ(FieldReader::parseUnsigned(u"12a"), std::nullopt);
    EXPECT_EQ(FieldReader::parseUnsigned(u"1 2"), std::nullopt);
    EXPECT_EQ(FieldReader::parseUnsigned(u"+"), std::nullopt);
}

TEST(FieldReader, ParsesSignedNumbersAsTheCLibraryDid)
{
    EXPECT_EQ(FieldReader::parseSigned(u"-5"), -5);
    EXPECT_EQ(FieldReader::parseSigned(u" 65535 "), 65535);
    EXPECT_EQ(FieldReader::parseSigned(u"2147483647"), 2147483647);
    EXPECT_EQ(FieldReader::parseSigned(u"2147483648"), 2147483647) << "saturates";
    EXPECT_EQ(FieldReader::parseSigned(u"-2147483648"), -2147483647 - 1);
    EXPECT_EQ(FieldReader::parseSigned(u"-9999999999"), -2147483647 - 1) << "saturates";
    EXPECT_EQ(FieldReader::parseSigned(u""), std::nullopt);
    EXPECT_EQ(FieldReader::parseSigned(u"-"), std::nullopt);
    EXPECT_EQ(FieldReader::parseSigned(u"5-"), std::nullopt);
}

TEST(FieldReader, ReportsTheFirstFailureAndLeavesLaterFieldsAlone)
{
    QLineEdit good(QStringLiteral("12"));
    QLineEdit tooBig(QStringLiteral("1001"));
    QLineEdit empty;
    qint32 first = 0;
    qint32 second = 5;
    qint32 third = 6;

    FieldReader reader;
    reader.unsignedNumber(&good, first, 1, 1000);
    reader.unsignedNumber(&tooBig, second, 1, 1000);
    reader.unsignedNumber(&empty, third, 1, 1000);

    ASSERT_TRUE(reader.failed());
    EXPECT_EQ(reader.error()->message, QStringLiteral("Enter an integer between 1 and 1000."));
    EXPECT_EQ(reader.error()->control, &tooBig);
    EXPECT_EQ(first, 12);
    EXPECT_EQ(second, 5);
    EXPECT_EQ(third, 6);
}

TEST(FieldReader, NamesWhatDidNotParse)
{
    QLineEdit empty;
    qint32 value = 0;
    quint8 byte = 0;
    {
        FieldReader reader;
        reader.unsignedNumber(&empty, value);
        EXPECT_EQ(reader.error()->message, QStringLiteral("Enter a positive integer."));
    }
    {
        FieldReader reader;
        reader.signedNumber(&empty, value, 0, 255);
        EXPECT_EQ(reader.error()->message, QStringLiteral("Enter an integer."));
    }
    {
        FieldReader reader;
        reader.byteNumber(&empty, byte, 1, 10);
        EXPECT_EQ(reader.error()->message, QStringLiteral("Enter an integer between 0 and 255."));
    }
}

TEST(FieldReader, ByteFieldsRefuseAbove255BeforeTheirRange)
{
    QLineEdit edit(QStringLiteral("256"));
    quint8 byte = 3;
    FieldReader reader;
    reader.byteNumber(&edit, byte, 1, 30);
    EXPECT_EQ(reader.error()->message, QStringLiteral("Enter an integer between 0 and 255."));
    EXPECT_EQ(byte, 3);

    edit.setText(QStringLiteral("31"));
    FieldReader inRange;
    inRange.byteNumber(&edit, byte, 1, 30);
    EXPECT_EQ(inRange.error()->message, QStringLiteral("Enter an integer between 1 and 30."));
}

TEST(FieldReader, UnsignedFieldsKeepTheirBitPattern)
{
    QLineEdit edit(FieldReader::unsignedText(-1));
    EXPECT_EQ(edit.text(), QStringLiteral("4294967295"));
    qint32 value = 0;
    FieldReader reader;
    reader.unsignedNumber(&edit, value);
    EXPECT_FALSE(reader.failed());
    EXPECT_EQ(value, -1);
}

} // namespace
