#include "notifier.h"
#include "planfixtures.h"
#include "planningfiles.h"
#include "readplan.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

using namespace DataTypeCode;

class ShownMessages : public Notifier
{
public:
    QStringList texts;
    std::vector<Icon> icons;

    void showMessage(const QString &text, Icon icon) override
    {
        texts << text;
        icons.push_back(icon);
    }
    bool askYesNo(const QString &) override { return false; }
    QString getOpenFileName(const FileDialog &) override { return {}; }
    QString getSaveFileName(const FileDialog &) override { return {}; }
};

std::unique_ptr<CModTCPDev> sampleDevice()
{
    auto device = makeDevice(QStringLiteral("Boiler"));
    device->HoldingRegBlock = 10;
    addTag(device->tags, QStringLiteral("A"), "400001");
    addTag(device->tags, QStringLiteral("B"), "400005");
    addTag(device->tags, QStringLiteral("B2"), "400005", Long);
    addTag(device->tags, QStringLiteral("C"), "400012");
    addTag(device->tags, QStringLiteral("K"), "000003", Boolean);
    addTag(device->tags, QStringLiteral("Far"), "200001");
    addTag(device->tags, QStringLiteral("Tränk"), "300002", Float);
    return device;
}

const char16_t ExpectedAddressFile[] = u"Address: 2, Count 1 [ K,  ]\r\n"
                                       u"Address: 200000, Count 1 [ Far,  ]\r\n"
                                       u"Address: 300001, Count 2 [ Tränk,  ]\r\n"
                                       u"Address: 400000, Count 1 [ A,  ]\r\n"
                                       u"Address: 400004, Count 2 [ B, B2,  ]\r\n"
                                       u"Address: 400011, Count 1 [ C,  ]\r\n";

const char16_t ExpectedFrameFile[] =
    u"Type: Coils, Start: 2,  End: 33,  Count: 1 \r\n"
    u"SrNo: 0,  Address: 2, FrmIdx: 0\r\n"
    u"================================================ \r\n"
    u"================================================ \r\n"
    u"Type: Input Register, Start: 300001,  End: 300032,  Count: 2 \r\n"
    u"SrNo: 0,  Address: 300001, FrmIdx: 0\r\n"
    u"================================================ \r\n"
    u"Type: Hld Register, Start: 400000,  End: 400009,  Count: 6 \r\n"
    u"SrNo: 0,  Address: 400000, FrmIdx: 0\r\n"
    u"SrNo: 1,  Address: 400004, FrmIdx: 4\r\n"
    u"Type: Hld Register, Start: 400011,  End: 400020,  Count: 1 \r\n"
    u"SrNo: 0,  Address: 400011, FrmIdx: 0\r\n"
    u"================================================ \r\n";

TEST(PlanningFiles, AddressFileText)
{
    auto device = sampleDevice();
    EXPECT_EQ(PlanningFiles::addressFileText(planDevice(*device)).toStdString(),
              QString::fromUtf16(ExpectedAddressFile).toStdString());
}

TEST(PlanningFiles, FrameFileText)
{
    auto device = sampleDevice();
    EXPECT_EQ(PlanningFiles::frameFileText(planDevice(*device)).toStdString(),
              QString::fromUtf16(ExpectedFrameFile).toStdString());
}

TEST(PlanningFiles, EmptyPlanHasFourSeparators)
{
    const ReadPlan plan;
    EXPECT_TRUE(PlanningFiles::addressFileText(plan).isEmpty());
    EXPECT_EQ(PlanningFiles::frameFileText(plan),
              QString(QStringLiteral("%1 \r\n").arg(QString(48, u'='))).repeated(4));
}

TEST(PlanningFiles, EncodedAsUtf16LittleEndianWithoutMark)
{
    EXPECT_EQ(PlanningFiles::encode(QStringLiteral("A\u00e4\r\n")),
              QByteArray("A\0\xe4\0\r\0\n\0", 8));
}

TEST(PlanningFiles, WrittenIntoTheFolderAndCreatedAnew)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString addressPath = QDir(folder.path()).filePath(QStringLiteral("Boiler_AddrTags.txt"));
    const QString framePath = QDir(folder.path()).filePath(QStringLiteral("Boiler_Frames.txt"));
    {
        QFile old(framePath);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(100000, 'x'));
    }
    auto device = sampleDevice();
    ShownMessages shown;
    const PlanningFiles::Result result =
        PlanningFiles::write(planDevice(*device), device->name, folder.path(), &shown);
    EXPECT_TRUE(result.addressFileWritten);
    EXPECT_TRUE(result.frameFileWritten);
    EXPECT_TRUE(shown.texts.isEmpty());

    QFile addressFile(addressPath);
    ASSERT_TRUE(addressFile.open(QIODevice::ReadOnly));
    EXPECT_EQ(addressFile.readAll(),
              PlanningFiles::encode(QString::fromUtf16(ExpectedAddressFile)));
    QFile frameFile(framePath);
    ASSERT_TRUE(frameFile.open(QIODevice::ReadOnly));
    EXPECT_EQ(frameFile.readAll(), PlanningFiles::encode(QString::fromUtf16(ExpectedFrameFile)));
}

TEST(PlanningFiles, UnwritableFolderShowsBothMessages)
{
    QTemporaryDir folder;
    auto device = sampleDevice();
    ShownMessages shown;
    const PlanningFiles::Result result = PlanningFiles::write(
        planDevice(*device), device->name, folder.filePath(QStringLiteral("missing")), &shown);
    EXPECT_FALSE(result.addressFileWritten);
    EXPECT_FALSE(result.frameFileWritten);
    EXPECT_EQ(shown.texts,
              (QStringList{QStringLiteral("Failed to create AddrTag file for device Boiler"),
                           QStringLiteral("Failed to create Frame file for device Boiler")}));
    EXPECT_EQ(shown.icons,
              (std::vector<Notifier::Icon>{Notifier::Icon::Stop, Notifier::Icon::Stop}));
}

} // namespace
