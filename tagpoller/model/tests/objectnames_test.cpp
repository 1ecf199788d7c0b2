#include "objectnames.h"

#include <gtest/gtest.h>

namespace {

using ObjectNames::safeFileName;

TEST(SafeFileName, PlainNamesStayAsTheyAre)
{
    for (const QString &name :
         {QStringLiteral("Channel1.txt"), QStringLiteral("Pump_AddrTags.txt"),
          QStringLiteral("Größe_(2)!_Frames.txt"), QStringLiteral("a.b.txt")}) {
        EXPECT_EQ(safeFileName(name), name);
    }
}

// Names come from project files and the clipboard; no file made from one may
// leave its folder or hide itself.
TEST(SafeFileName, NoNameLeavesItsFolderOrHides)
{
    const std::pair<QString, QString> rows[] = {
        {QStringLiteral("../x.txt"), QStringLiteral("___x.txt")},
        {QStringLiteral("../../etc/passwd_Frames.txt"),
         QStringLiteral("___.._etc_passwd_Frames.txt")},
        {QStringLiteral("/abs.txt"), QStringLiteral("_abs.txt")},
        {QStringLiteral("a\\b.txt"), QStringLiteral("a_b.txt")},
        {QStringLiteral("..txt"), QStringLiteral("__txt")},
        {QStringLiteral(".hidden.txt"), QStringLiteral("_hidden.txt")},
        {QStringLiteral("line\nbreak\t.txt"), QStringLiteral("line_break_.txt")},
        {QStringLiteral(".."), QStringLiteral("__")},
        {QString(), QStringLiteral("_")},
    };
    for (const auto &[name, expected] : rows)
        EXPECT_EQ(safeFileName(name), expected) << name.toStdString();
}

TEST(SafeFileName, LongNamesAreShortenedBeforeTheirExtension)
{
    const QString longName = QString(300, u'ü') + QStringLiteral("_AddrTags.txt");
    const QString safe = safeFileName(longName);
    EXPECT_LE(safe.toUtf8().size(), ObjectNames::MaximumFileNameBytes);
    EXPECT_TRUE(safe.endsWith(QStringLiteral(".txt")));
    EXPECT_TRUE(safe.startsWith(QString(100, u'ü')));
}

TEST(NewNames, ADotIsRefusedWithTheKindsMessage)
{
    EXPECT_TRUE(ObjectNames::checkNewName(u"Pump_1", ObjectNames::Kind::Device).isEmpty());
    EXPECT_EQ(ObjectNames::checkNewName(u"Line.2", ObjectNames::Kind::Channel),
              QStringLiteral("Channel name can not contain \".\"."));
    EXPECT_EQ(ObjectNames::checkNewName(u".", ObjectNames::Kind::Device),
              QStringLiteral("Device name can not contain \".\"."));
    EXPECT_EQ(ObjectNames::checkNewName(u"G.", ObjectNames::Kind::TagGroup),
              QStringLiteral("Tag group name can not contain \".\"."));
    EXPECT_EQ(ObjectNames::checkNewName(u"T.1", ObjectNames::Kind::Tag),
              QStringLiteral("Tag name can not contain \".\"."));
}

} // namespace
