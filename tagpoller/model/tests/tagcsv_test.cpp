#include "datatypes.h"
#include "driverstrings.h"
#include "recordingnotifier.h"
#include "tagcsv.h"
#include "taglist.h"
#include "testenvironment.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

using TagCsv::Encoding;

QString pathOf(const QString &name)
{
    return QDir(testsupport::tempRoot()).filePath(name);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray utf16(const QString &text)
{
    return QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
}

QString fromUtf16(const QByteArray &bytes)
{
    return QString::fromUtf16(reinterpret_cast<const char16_t *>(bytes.constData()),
                              bytes.size() / 2);
}

std::shared_ptr<CModTag> tag(const char *name, const char *address, int type, int access,
                             const QString &description = QString())
{
    auto t = std::make_shared<CModTag>();
    t->TagName = QString::fromLatin1(name);
    t->TagAddress = QString::fromLatin1(address);
    t->DataType = type;
    t->ClientAccess = access;
    t->Description = description;
    return t;
}

class TagCsvTest : public ::testing::Test
{
protected:
    RecordingNotifier notifier;
};

TEST_F(TagCsvTest, ExportWritesThePlainFormatByteForByte)
{
    TagList tags;
    tags.append(tag("Speed", "400001", DataTypeCode::Word, 1, QStringLiteral("rpm, motor 1")));
    tags.append(tag("Run", "000005", DataTypeCode::Boolean, 0));
    const QString path = pathOf(QStringLiteral("plain.csv"));

    ASSERT_TRUE(TagCsv::exportPlain(tags, path, Encoding::Ansi, notifier));
    EXPECT_EQ(readFile(path).toStdString(), "TagName,Address,DataType,ClientAccess,Description\r\n"
                                            "Speed,400001,WORD,Read/Write,\"rpm\\, motor 1\"\r\n"
                                            "Run,000005,BOOL,Read_Only,\"\"\r\n");

    ASSERT_TRUE(TagCsv::exportPlain(tags, path, Encoding::Unicode, notifier));
    const QByteArray unicode = readFile(path);
    EXPECT_TRUE(unicode.startsWith("\xFF\xFE"));
    EXPECT_EQ(fromUtf16(unicode.mid(2)),
              QStringLiteral("TagName,Address,DataType,ClientAccess,Description\r\n"
                             "Speed,400001,WORD,Read/Write,\"rpm\\, motor 1\"\r\n"
                             "Run,000005,BOOL,Read_Only,\"\"\r\n"));
    EXPECT_TRUE(notifier.messages.empty());
}

TEST_F(TagCsvTest, ExportThenImportRecreatesTheTags)
{
    TagList tags;
    tags.append(tag("Speed", "400001", DataTypeCode::Float, 1, QStringLiteral("a, b,, c \"q\"")));
    tags.append(tag("Temp", "300002", DataTypeCode::Short, 0, QStringLiteral("Température")));
    tags.append(tag("Alarm", "400010.3", DataTypeCode::Boolean, 1));
    tags.append(tag("Coil", "000005", DataTypeCode::Boolean, 1, QStringLiteral(" lead")));
    // Paths in descriptions, and a backslash right before a comma.
    tags.append(tag("Path", "400020", DataTypeCode::Word, 1, QStringLiteral("C:\\plc\\a")));
    tags.append(tag("Edge", "400021", DataTypeCode::Word, 1, QStringLiteral("a\\,b\\")));
    for (Encoding encoding : {Encoding::Unicode, Encoding::Ansi}) {
        const QString path = pathOf(QStringLiteral("roundtrip.csv"));
        ASSERT_TRUE(TagCsv::exportPlain(tags, path, encoding, notifier));
        TagList imported;
        ASSERT_TRUE(TagCsv::importPlain(imported, path, encoding, notifier));
        ASSERT_EQ(imported.size(), tags.size());
        for (qsizetype i = 0; i < tags.size(); ++i) {
            const CModTag &a = *tags.at(i);
            const CModTag &b = *imported.at(i);
            EXPECT_EQ(b.TagName, a.TagName);
            EXPECT_EQ(b.TagAddress, a.TagAddress);
            EXPECT_EQ(b.DataType, a.DataType);
            EXPECT_EQ(b.ClientAccess, a.ClientAccess);
            EXPECT_EQ(b.Description, a.Description) << b.Description.toStdString();
            EXPECT_EQ(b.AddressNumber, a.TagAddress.section(u'.', 0, 0).toInt());
        }
        EXPECT_EQ(imported.at(2)->BitNumber, 3);
        EXPECT_TRUE(notifier.messages.empty());
        EXPECT_EQ(readFile(pathOf(QStringLiteral("roundtrip.txt"))), QByteArray())
            << "the error file is made and left empty";
    }
}

TEST_F(TagCsvTest, WideRegisterTypesRoundTripByteForByte)
{
    TagList tags;
    tags.append(tag("Total", "465533", DataTypeCode::Double, 1, QStringLiteral("m3")));
    tags.append(tag("Count", "400010", DataTypeCode::BCD, 1));
    tags.append(tag("Hours", "300011", DataTypeCode::LBCD, 0));
    const QString path = pathOf(QStringLiteral("wide.csv"));
    const QString again = pathOf(QStringLiteral("wide2.csv"));
    for (Encoding encoding : {Encoding::Unicode, Encoding::Ansi}) {
        ASSERT_TRUE(TagCsv::exportPlain(tags, path, encoding, notifier));
        TagList imported;
        ASSERT_TRUE(TagCsv::importPlain(imported, path, encoding, notifier));
        ASSERT_EQ(imported.size(), tags.size());
        for (qsizetype i = 0; i < tags.size(); ++i)
            EXPECT_EQ(imported.at(i)->DataType, tags.at(i)->DataType) << i;
        ASSERT_TRUE(TagCsv::exportPlain(imported, again, encoding, notifier));
        EXPECT_EQ(readFile(again), readFile(path));
    }
    EXPECT_EQ(readFile(path).toStdString(), "TagName,Address,DataType,ClientAccess,Description\r\n"
                                            "Total,465533,DOUBLE,Read/Write,\"m3\"\r\n"
                                            "Count,400010,BCD,Read/Write,\"\"\r\n"
                                            "Hours,300011,LBCD,Read_Only,\"\"\r\n");
    EXPECT_TRUE(notifier.messages.empty());
}

TEST_F(TagCsvTest, RejectedRowsGoToTheErrorFileWithTheirLineNumbers)
{
    const QString rows =
        QStringLiteral("TagName,Address,DataType,ClientAccess,Description\r\n" // 1
                       "Good,400001,word,read/write,\"fine\"\r\n" // 2: lower case is fine
                       "Bad-Name,400002,WORD,Read/Write,x\r\n"    // 3
                       "Good,400003,WORD,Read/Write,x\r\n"        // 4
                       "Addr,40A001,WORD,Read/Write,x\r\n"        // 5
                       "Type,400004,WORDY,Read/Write,x\r\n"       // 6
                       "Access,400005,WORD,ReadWrite,x\r\n"       // 7
                       "Range,465536,LONG,Read/Write,x\r\n"       // 8: silent address failure
                       "Coil,5,BOOL,Read/Write,x\r\n"             // 9
                       "Short,400006,WORD\r\n"                    // 10: skipped, no line
                       "Blank,400007,WORD,Read_Only,   \r\n"      // 11: empty description
                       "Two,4.0.1,BOOL,Read/Write,x\r\n"          // 12
                       "\r\n"
                       "After,400008,WORD,Read/Write,x\r\n");
    const QString path = pathOf(QStringLiteral("rows.csv"));
    writeFile(path, QByteArray("\xFF\xFE", 2) + utf16(rows));

    TagList target;
    ASSERT_TRUE(TagCsv::importPlain(target, path, Encoding::Unicode, notifier));
    ASSERT_EQ(target.size(), 2);
    EXPECT_EQ(target.at(0)->TagName, QStringLiteral("Good"));
    EXPECT_EQ(target.at(0)->Description, QStringLiteral("fine"));
    EXPECT_EQ(target.at(1)->TagName, QStringLiteral("Blank"));
    EXPECT_EQ(target.at(1)->Description, QString());
    EXPECT_EQ(target.at(1)->ClientAccess, 0);

    const QString errorPath = pathOf(QStringLiteral("rows.txt"));
    const QByteArray errorBytes = readFile(errorPath);
    EXPECT_FALSE(errorBytes.startsWith("\xFF\xFE")) << "no byte order mark";
    EXPECT_EQ(fromUtf16(errorBytes).toStdString(),
              "[Error, Line 3], Tag name not valid. \r\n"
              "[Error, Line 4], Duplicate Tag name. \r\n"
              "[Error, Line 5], Address not valid. \r\n"
              "[Error, Line 6], Error in Data type field. \r\n"
              "[Error, Line 7], Error in Client Access field. \r\n"
              "[Error, Line 8],  \r\n"
              "[Error, Line 9], Invalid Address \r\n" // not zero-filled on import
              "[Error, Line 12], Error in Holding Register address \r\n");
    ASSERT_EQ(notifier.messages.size(), 1u);
    EXPECT_EQ(notifier.messages[0].text,
              DriverString::format(DriverString::CsvImportErrors, {errorPath}));
}

TEST_F(TagCsvTest, ImportingTheSameFileTwiceRejectsEveryRow)
{
    TagList tags;
    tags.append(tag("A", "400001", DataTypeCode::Word, 1));
    tags.append(tag("B", "400002", DataTypeCode::Word, 1));
    const QString path = pathOf(QStringLiteral("twice.csv"));
    ASSERT_TRUE(TagCsv::exportPlain(tags, path, Encoding::Ansi, notifier));
    TagList target;
    ASSERT_TRUE(TagCsv::importPlain(target, path, Encoding::Ansi, notifier));
    EXPECT_FALSE(TagCsv::importPlain(target, path, Encoding::Ansi, notifier));
    EXPECT_EQ(target.size(), 2);
    EXPECT_EQ(fromUtf16(readFile(pathOf(QStringLiteral("twice.txt"))))
                  .count(QStringLiteral("Duplicate Tag name.")),
              2);
    EXPECT_EQ(notifier.messages.size(), 1u);
}

TEST_F(TagCsvTest, FilesThatCannotBeImported)
{
    TagList target;
    const QString noBom = pathOf(QStringLiteral("nobom.csv"));
    writeFile(noBom, utf16(QStringLiteral("h\r\nA,400001,WORD,Read/Write,x\r\n")));
    EXPECT_FALSE(TagCsv::importPlain(target, noBom, Encoding::Unicode, notifier));
    EXPECT_EQ(notifier.messageTexts(),
              QStringList{DriverString::format(DriverString::CsvImportFailed,
                                               {noBom, pathOf(QStringLiteral("nobom.txt"))})});

    const QString tiny = pathOf(QStringLiteral("tiny.csv"));
    writeFile(tiny, QByteArray("\xFF\xFE", 2));
    EXPECT_FALSE(TagCsv::importPlain(target, tiny, Encoding::Unicode, notifier));
    const QString missing = pathOf(QStringLiteral("missing.csv"));
    EXPECT_FALSE(TagCsv::importPlain(target, missing, Encoding::Ansi, notifier));
    EXPECT_EQ(notifier.messages.size(), 3u);

    // A blank second line ends the import before any row.
    const QString blank = pathOf(QStringLiteral("blank.csv"));
    writeFile(blank, "h\r\n\r\nA,400001,WORD,Read/Write,x\r\n");
    EXPECT_FALSE(TagCsv::importPlain(target, blank, Encoding::Ansi, notifier));
    EXPECT_TRUE(target.isEmpty());

    TagList empty;
    EXPECT_FALSE(
        TagCsv::exportPlain(empty, pathOf(QStringLiteral("none.csv")), Encoding::Ansi, notifier));
    EXPECT_EQ(notifier.messages.back().text, QStringLiteral("No Tags to Export..."));
    EXPECT_FALSE(QFile::exists(pathOf(QStringLiteral("none.csv"))));
}

TEST_F(TagCsvTest, OverlongAnsiLineIsRefusedWholeAndTheNextLineImports)
{
    const QByteArray longDescription(5000, 'x');
    const QByteArray file = "h\r\nLong,400001,WORD,Read/Write," + longDescription +
                            ",Fake,400009,WORD,Read/Write,x\r\nNext,400002,WORD,Read/Write,y\r\n";
    const QString path = pathOf(QStringLiteral("long.csv"));
    writeFile(path, file);
    TagList target;
    ASSERT_TRUE(TagCsv::importPlain(target, path, Encoding::Ansi, notifier));
    ASSERT_EQ(target.size(), 1);
    EXPECT_EQ(target.at(0)->TagName, QStringLiteral("Next"));
    ASSERT_EQ(notifier.messages.size(), 2u);
    EXPECT_EQ(notifier.messages[0].text,
              QStringLiteral("Error: Line too long while importing Ansi Tags."));
    EXPECT_EQ(notifier.messages[0].icon, Notifier::Icon::None);
    EXPECT_EQ(fromUtf16(readFile(pathOf(QStringLiteral("long.txt")))),
              QStringLiteral("[Error, Line 2], Line too long while importing Ansi Tags. \r\n"));
}

TEST_F(TagCsvTest, ErrorFileSitsBesideTheImportedFile)
{
    EXPECT_EQ(TagCsv::importErrorFilePath(QStringLiteral("/a/tags.csv")),
              QStringLiteral("/a/tags.txt"));
    EXPECT_EQ(TagCsv::importErrorFilePath(QStringLiteral("/a/tags")), QString());
    EXPECT_EQ(TagCsv::importErrorFilePath(QStringLiteral("/a.b/tags")), QString());
    EXPECT_EQ(TagCsv::importErrorFilePath(QStringLiteral("/a/t.x.csv")),
              QStringLiteral("/a/t.x.txt"));

    // Importing a .txt file keeps it: its errors go elsewhere.
    const QString path = pathOf(QStringLiteral("import.txt"));
    const QByteArray content = "h\r\nA,400001,WORD,Read/Write,x\r\nB-,400001,WORD,Read/Write,x\r\n";
    writeFile(path, content);
    TagList target;
    ASSERT_TRUE(TagCsv::importPlain(target, path, Encoding::Ansi, notifier));
    EXPECT_EQ(readFile(path), content);
    EXPECT_TRUE(fromUtf16(readFile(path + QStringLiteral(".txt"))).contains(u"Line 3"));
}

TEST_F(TagCsvTest, MasterExportNamesAndQualifiesEveryTag)
{
    auto group = std::make_shared<CModTagGroup>();
    group->name = QStringLiteral("G");
    auto sub = std::make_shared<CModTagGroup>();
    sub->name = QStringLiteral("S");
    sub->tags.append(tag("Deep", "400020", DataTypeCode::Float, 1));
    group->groups.push_back(sub);
    for (int i = 0; i < 11; ++i)
        group->tags.append(tag(qPrintable(QStringLiteral("T%1").arg(i)), "400001", 5, 1));
    const QString longName(40, u'N');
    auto longTag = std::make_shared<CModTag>();
    longTag->TagName = longName;
    longTag->Description = QString(100, u'd') + QStringLiteral(",tail");
    group->tags.append(longTag);
    auto device = std::make_shared<CModTCPDev>();
    device->name = QStringLiteral("D");
    device->tags.append(tag("Own", "000001", DataTypeCode::Boolean, 1, QStringLiteral("x,y")));
    device->groups.push_back(group);
    auto channel = std::make_shared<CModTCPChnl>();
    channel->name = QStringLiteral("C");
    channel->devices.push_back(device);

    const QString path = pathOf(QStringLiteral("master.csv"));
    ASSERT_TRUE(TagCsv::exportMaster({channel}, path, Encoding::Ansi, notifier));
    const QStringList lines = QString::fromLatin1(readFile(path)).split(QStringLiteral("\r\n"));
    ASSERT_EQ(lines.size(), 1 + 14 + 1);
    EXPECT_EQ(lines[0].split(u',').size(), 41);
    EXPECT_TRUE(lines[0].contains(QStringLiteral("Deviation Alarm Min. %%,")));
    EXPECT_EQ(
        lines[1].toStdString(),
        "Tag_0_Own,\"x\\,y\",Discrete,,,C.D.Own,,R/W,RO,None,N,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,");
    EXPECT_TRUE(lines[2].startsWith(QStringLiteral("Tag_1_T0,\"\",Word,,,C.D.G.T0,")));
    EXPECT_TRUE(lines[12].startsWith(QStringLiteral("Tag_11_T10,")));
    const QStringList longRow = lines[13].split(u',');
    EXPECT_EQ(longRow[0], (QStringLiteral("Tag_12_") + longName).left(32));
    EXPECT_EQ(longRow[1], u'"' + QString(80, u'd') + u'"');
    EXPECT_TRUE(lines[14].startsWith(QStringLiteral("Tag_13_Deep,\"\",Real,,,C.D.G.S.Deep,")));
    EXPECT_EQ(lines[15], QString());
}

} // namespace

namespace {

// Reads the import's error file at the moment the message shows, as a user
// who opens it from the message would.
class ErrorFileReadingNotifier : public RecordingNotifier
{
public:
    explicit ErrorFileReadingNotifier(QString errorPath) : m_errorPath(std::move(errorPath)) {}

    void showMessage(const QString &text, Icon icon) override
    {
        errorFileWhenShown = fromUtf16(readFile(m_errorPath));
        RecordingNotifier::showMessage(text, icon);
    }

    QString errorFileWhenShown;

private:
    QString m_errorPath;
};

} // namespace

TEST_F(TagCsvTest, ErrorFileIsCompleteBeforeItsMessageShows)
{
    QByteArray file = "TagName,Address,DataType,ClientAccess,Description\r\n";
    QString expected;
    for (int i = 0; i < 2000; ++i) {
        file += QByteArray("Bad-") + QByteArray::number(i) + ",400001,WORD,Read/Write,x\r\n";
        expected += QStringLiteral("[Error, Line %1], Tag name not valid. \r\n").arg(i + 2);
    }
    file += "Good,400001,WORD,Read/Write,x\r\n";
    const QString path = pathOf(QStringLiteral("many.csv"));
    writeFile(path, file);

    ErrorFileReadingNotifier reading(pathOf(QStringLiteral("many.txt")));
    TagList target;
    ASSERT_TRUE(TagCsv::importPlain(target, path, Encoding::Ansi, reading));
    ASSERT_EQ(reading.messages.size(), 1u);
    EXPECT_EQ(reading.errorFileWhenShown, expected);
}

// A host reaches a tag by its names joined with ".", so a name holding one
// can never be reached: the import refuses it like any other broken name.
TEST_F(TagCsvTest, NamesHoldingADotAreRefused)
{
    const QString path = pathOf(QStringLiteral("dotted.csv"));
    writeFile(path, "h\r\nA.B,400001,WORD,Read/Write,x\r\n.,400002,WORD,Read/Write,x\r\n"
                    "AB,400003,WORD,Read/Write,x\r\n");
    TagList target;
    ASSERT_TRUE(TagCsv::importPlain(target, path, Encoding::Ansi, notifier));
    ASSERT_EQ(target.size(), 1);
    EXPECT_EQ(target.at(0)->TagName, QStringLiteral("AB"));
    EXPECT_EQ(fromUtf16(readFile(pathOf(QStringLiteral("dotted.txt")))),
              QStringLiteral("[Error, Line 2], Tag name not valid. \r\n"
                             "[Error, Line 3], Tag name not valid. \r\n"));
}

// Every import and export leaves one line for the event log, failures too.
TEST_F(TagCsvTest, ImportsAndExportsAreLogged)
{
    QStringList logged;
    const TagCsv::TransferLog log = [&logged](const QString &line) { logged << line; };

    TagList tags;
    tags.append(tag("Level", "400001", DataTypeCode::Word, 1));
    tags.append(tag("Flow", "400002", DataTypeCode::Word, 0));
    const QString path = pathOf(QStringLiteral("logged.csv"));
    ASSERT_TRUE(TagCsv::exportPlain(tags, path, Encoding::Unicode, notifier, log));
    ASSERT_EQ(logged.size(), 1);
    EXPECT_EQ(logged.last(), QStringLiteral("Exported 2 tags to %1 (Unicode)").arg(path));

    TagList target;
    target.append(tag("Flow", "400009", DataTypeCode::Word, 0));
    ASSERT_TRUE(TagCsv::importPlain(target, path, Encoding::Unicode, notifier, log));
    ASSERT_EQ(logged.size(), 2);
    EXPECT_EQ(logged.last(), QStringLiteral("Imported 1 tags from %1 (Unicode); 1 rows refused, "
                                            "listed in %2")
                                 .arg(path, pathOf(QStringLiteral("logged.txt"))));

    const QString missing = pathOf(QStringLiteral("missing.csv"));
    EXPECT_FALSE(TagCsv::importPlain(target, missing, Encoding::Ansi, notifier, log));
    ASSERT_EQ(logged.size(), 3);
    EXPECT_EQ(
        logged.last(),
        QStringLiteral("CSV import of %1 failed: no ANSI CSV file can be read there").arg(missing));

    const QString unwritable = pathOf(QStringLiteral("no-such-folder/all.csv"));
    auto channel = std::make_shared<CModTCPChnl>();
    auto device = std::make_shared<CModTCPDev>();
    device->tags.append(tag("Level", "400001", DataTypeCode::Word, 1));
    channel->devices.push_back(device);
    EXPECT_FALSE(TagCsv::exportMaster({channel}, unwritable, Encoding::Ansi, notifier, log));
    ASSERT_EQ(logged.size(), 4);
    EXPECT_EQ(logged.last(),
              QStringLiteral("CSV export of all tags to %1 failed: the file cannot be written")
                  .arg(unwritable));
    const QString all = pathOf(QStringLiteral("all.csv"));
    ASSERT_TRUE(TagCsv::exportMaster({channel}, all, Encoding::Ansi, notifier, log));
    EXPECT_EQ(logged.last(),
              QStringLiteral("Exported all 1 tags of the project to %1 (ANSI)").arg(all));
}
