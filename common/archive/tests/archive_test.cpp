#include "goldenvectors.h"
#include "testrecords.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <limits>

using namespace archivetest;

namespace {

const RecordRegistry &registry()
{
    static const RecordRegistry r = makeRegistry();
    return r;
}

std::string hexOf(const QByteArray &bytes)
{
    return bytes.left(96).toHex(' ').toStdString() + (bytes.size() > 96 ? " ..." : "");
}

} // namespace

namespace archivetest {
void PrintTo(const GoldenVector &v, std::ostream *os)
{
    *os << v.name;
}
} // namespace archivetest

namespace {

class GoldenVectorTest : public ::testing::TestWithParam<GoldenVector>
{};

TEST_P(GoldenVectorTest, WriterProducesTheExactBytes)
{
    const GoldenVector &v = GetParam();
    ArchiveWriter writer;
    v.write(writer);
    EXPECT_EQ(writer.data().size(), v.canonical().size());
    EXPECT_EQ(hexOf(writer.data()), hexOf(v.canonical()));
    EXPECT_TRUE(writer.data() == v.canonical());
}

TEST_P(GoldenVectorTest, ReaderDecodesTheBytes)
{
    const GoldenVector &v = GetParam();
    for (const QByteArray &bytes : {v.bytes, v.canonical()}) {
        ArchiveReader reader(bytes, registry());
        const QString value = v.read(reader);
        ASSERT_TRUE(reader.ok()) << reader.status().message.toStdString();
        EXPECT_TRUE(reader.atEnd()) << reader.remaining() << " bytes left unread";
        EXPECT_EQ(value.size(), v.expected.size());
        EXPECT_TRUE(value == v.expected) << value.left(200).toStdString();
    }
}

TEST_P(GoldenVectorTest, EveryTruncationIsEndOfData)
{
    const GoldenVector &v = GetParam();
    for (qsizetype length = 0; length < v.bytes.size(); ++length) {
        ArchiveReader reader(QByteArrayView(v.bytes).first(length), registry());
        v.read(reader);
        ASSERT_EQ(reader.status().error, ArchiveError::EndOfData)
            << "truncated to " << length << " of " << v.bytes.size()
            << " bytes: " << reader.status().message.toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(Archive, GoldenVectorTest, ::testing::ValuesIn(goldenVectors()),
                         [](const auto &info) {
                             std::string name = info.param.name;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

PrimitivesRecord roundTrip(PrimitivesRecord &in)
{
    const QByteArray bytes = writePayload(in);
    PrimitivesRecord out;
    const ArchiveStatus status = readPayload(bytes, out, registry(), TrailingBytes::Rejected);
    EXPECT_TRUE(status.ok()) << status.message.toStdString();
    return out;
}

TEST(ArchivePrimitives, RoundTripAtTheirLimits)
{
    for (int side = 0; side < 2; ++side) {
        const bool low = side == 0;
        PrimitivesRecord in;
        in.u8 = low ? 0 : 0xFF;
        in.i8 = low ? std::numeric_limits<qint8>::min() : std::numeric_limits<qint8>::max();
        in.u16 = low ? 0 : 0xFFFF;
        in.i16 = low ? std::numeric_limits<qint16>::min() : std::numeric_limits<qint16>::max();
        in.u32 = low ? 0 : 0xFFFFFFFF;
        in.i32 = low ? std::numeric_limits<qint32>::min() : std::numeric_limits<qint32>::max();
        in.i64 = low ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max();
        in.b32 = !low;
        in.f32 = low ? std::numeric_limits<float>::denorm_min() : std::numeric_limits<float>::max();
        in.f64 =
            low ? -std::numeric_limits<double>::infinity() : std::numeric_limits<double>::max();
        in.time = std::chrono::sys_seconds(std::chrono::seconds(
            low ? std::numeric_limits<qint64>::min() : std::numeric_limits<qint64>::max()));
        in.text = low ? QString() : patternString(0x10000);
        in.count = low ? 0 : 0xFFFFFFFF;
        in.value.type = low ? 0 : 9;
        in.value.value = low ? -0.0 : 1e308;

        const PrimitivesRecord out = roundTrip(in);
        EXPECT_EQ(out.u8, in.u8);
        EXPECT_EQ(out.i8, in.i8);
        EXPECT_EQ(out.u16, in.u16);
        EXPECT_EQ(out.i16, in.i16);
        EXPECT_EQ(out.u32, in.u32);
        EXPECT_EQ(out.i32, in.i32);
        EXPECT_EQ(out.i64, in.i64);
        EXPECT_EQ(out.b32, in.b32);
        EXPECT_EQ(std::bit_cast<quint32>(out.f32), std::bit_cast<quint32>(in.f32));
        EXPECT_EQ(std::bit_cast<quint64>(out.f64), std::bit_cast<quint64>(in.f64));
        EXPECT_EQ(out.time, in.time);
        EXPECT_TRUE(out.text == in.text);
        EXPECT_EQ(out.count, in.count);
        EXPECT_EQ(std::bit_cast<quint64>(out.value.value), std::bit_cast<quint64>(in.value.value));
        EXPECT_EQ(out.value.type, in.value.type);
    }
}

TEST(ArchivePrimitives, FloatsKeepEveryBitIncludingNanPayloads)
{
    PrimitivesRecord in;
    in.f32 = std::bit_cast<float>(quint32(0x7FC12345));
    in.f64 = std::bit_cast<double>(quint64(0xFFF8000000000ABCull));
    const PrimitivesRecord out = roundTrip(in);
    EXPECT_EQ(std::bit_cast<quint32>(out.f32), 0x7FC12345u);
    EXPECT_EQ(std::bit_cast<quint64>(out.f64), 0xFFF8000000000ABCull);
}

TEST(ArchivePrimitives, MultiByteValuesAreLittleEndian)
{
    ArchiveWriter w;
    w.writeUInt16(0x1234);
    w.writeInt32(-2);
    w.writeInt64(0x0102030405060708);
    w.writeFloat32(1.0f);
    w.writeFloat64(1.0);
    w.writeBool32(true);
    EXPECT_EQ(hexOf(w.data()),
              hexOf(fromHex("34 12  FE FF FF FF  08 07 06 05 04 03 02 01"
                            "  00 00 80 3F  00 00 00 00 00 00 F0 3F  01 00 00 00")));
}

TEST(ArchivePrimitives, Bool32ReadsAnyNonZeroAsTrueAndWritesOne)
{
    const QByteArray bytes = fromHex("02 00 00 00  00 00 00 80  00 00 00 00");
    ArchiveReader r(bytes, registry());
    EXPECT_TRUE(r.readBool32());
    EXPECT_TRUE(r.readBool32());
    EXPECT_FALSE(r.readBool32());
    EXPECT_TRUE(r.ok());
}

TEST(ArchiveStrings, LongestLengthFormIsReadAndBoundedToInt32)
{
    // FF FFFF FFFFFFFF then an int64 length: accepted up to 0x7FFFFFFF.
    const QByteArray prefix = fromHex("FF FE FF FF FF FF FF FF FF FF");
    const QByteArray ok = prefix + fromHex("02 00 00 00 00 00 00 00 41 00 42 00");
    ArchiveReader reader(ok, registry());
    EXPECT_EQ(reader.readString(), QStringLiteral("AB"));
    EXPECT_TRUE(reader.ok());

    for (const char *length : {"00 00 00 80 00 00 00 00", "FF FF FF FF FF FF FF FF"}) {
        const QByteArray bytes = prefix + fromHex(length) + QByteArray(16, 'x');
        ArchiveReader bad(bytes, registry());
        EXPECT_TRUE(bad.readString().isEmpty());
        EXPECT_EQ(bad.status().error, ArchiveError::Generic) << length;
        EXPECT_EQ(bad.status().offset, prefix.size());
    }
}

TEST(ArchiveStrings, HostileLengthsFailWithoutAllocating)
{
    // A wide length of 0x7FFFFFFF characters with three bytes behind it.
    const QByteArray bytes =
        fromHex("FF FE FF FF FF FF FF FF FF FF FF FF FF 7F 00 00 00 00 41 00 42");
    ArchiveReader reader(bytes, registry());
    reader.readString();
    EXPECT_EQ(reader.status().error, ArchiveError::EndOfData);
}

TEST(ArchiveReaderState, FirstFailureIsStickyAndLaterReadsAreZero)
{
    const QByteArray bytes = fromHex("01 02");
    ArchiveReader reader(bytes, registry());
    EXPECT_EQ(reader.readUInt8(), 1);
    EXPECT_EQ(reader.readInt32(), 0);
    const ArchiveStatus first = reader.status();
    EXPECT_EQ(first.error, ArchiveError::EndOfData);
    EXPECT_EQ(first.offset, 1);
    EXPECT_EQ(reader.readUInt8(), 0);
    EXPECT_TRUE(reader.readString().isEmpty());
    EXPECT_EQ(reader.readObject(), nullptr);
    EXPECT_EQ(reader.status().message, first.message);
}

// One row per failure of the error table other than end of data.
struct ErrorRow
{
    const char *name;
    const char *hex; // a document payload
    ArchiveError error;
    qsizetype offset;
};

void PrintTo(const ErrorRow &row, std::ostream *os)
{
    *os << row.name;
}

class ArchiveErrorTest : public ::testing::TestWithParam<ErrorRow>
{};

TEST_P(ArchiveErrorTest, PayloadFailsWithItsErrorKind)
{
    const ErrorRow &row = GetParam();
    DocumentRecord doc;
    const ArchiveStatus status = readPayload(fromHex(row.hex), doc, registry());
    EXPECT_EQ(status.error, row.error)
        << archiveErrorName(status.error).toStdString() << ": " << status.message.toStdString();
    EXPECT_EQ(status.offset, row.offset);
    EXPECT_FALSE(status.message.isEmpty());
    EXPECT_TRUE(doc.items.empty()) << "a failed array keeps no partial elements";
}

// "CModTag" in ASCII, and the fields of a tag named "a" with number 1.
#define TAG_CLASS "07 00 43 4D 6F 64 54 61 67"
#define TAG_FIELDS "00 00 FF FE FF 01 61 00 01 00 00 00"

INSTANTIATE_TEST_SUITE_P(
    Archive, ArchiveErrorTest,
    ::testing::Values(
        ErrorRow{"unknown_class_name", "00 00 01 00 FF FF 01 00 07 00 43 4D 6F 64 54 61 58",
                 ArchiveError::BadClass, 4},
        ErrorRow{"class_name_of_64_bytes",
                 "00 00 01 00 FF FF 01 00 40 00 "
                 "4141414141414141414141414141414141414141414141414141414141414141"
                 "4141414141414141414141414141414141414141414141414141414141414141",
                 ArchiveError::BadClass, 4},
        ErrorRow{"schema_2", "00 00 01 00 FF FF 02 00 " TAG_CLASS " " TAG_FIELDS,
                 ArchiveError::BadSchema, 4},
        ErrorRow{"class_index_0", "00 00 01 00 00 80 " TAG_FIELDS, ArchiveError::BadIndex, 4},
        ErrorRow{"class_index_not_yet_defined", "00 00 01 00 05 80 " TAG_FIELDS,
                 ArchiveError::BadIndex, 4},
        ErrorRow{"object_index_not_yet_defined", "00 00 01 00 03 00", ArchiveError::BadIndex, 4},
        ErrorRow{"long_form_class_index_not_defined", "00 00 01 00 FF 7F 01 00 01 80",
                 ArchiveError::BadIndex, 4},
        ErrorRow{"object_index_where_class_expected",
                 "00 00 02 00 FF FF 01 00 " TAG_CLASS " " TAG_FIELDS " 02 80 " TAG_FIELDS,
                 ArchiveError::BadIndex, 29},
        ErrorRow{"class_index_where_object_expected",
                 "00 00 02 00 FF FF 01 00 " TAG_CLASS " " TAG_FIELDS " 01 00",
                 ArchiveError::BadIndex, 29},
        ErrorRow{"group_containing_itself",
                 "00 00 01 00 FF FF 01 00 06 00 54 47 72 6F 75 70 FF FE FF 00 01 00 02 00",
                 ArchiveError::BadIndex, 22},
        ErrorRow{"null_element_in_array", "00 00 01 00 00 00", ArchiveError::BadIndex, 4}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ArchiveObjects, TypedReadRefusesARecordOfAnotherClass)
{
    // A group where a tag is required.
    const QByteArray bytes = fromHex("FF FF 01 00 06 00 54 47 72 6F 75 70 FF FE FF 00 00 00");
    ArchiveReader reader(bytes, registry());
    EXPECT_EQ(reader.readObject<TagRecord>(), nullptr);
    EXPECT_EQ(reader.status().error, ArchiveError::BadClass);
}

TEST(ArchiveObjects, NullReferenceReadsAsNullWithoutError)
{
    const QByteArray bytes = fromHex("00 00");
    ArchiveReader reader(bytes, registry());
    EXPECT_EQ(reader.readObject(), nullptr);
    EXPECT_TRUE(reader.ok());
    EXPECT_TRUE(reader.atEnd());

    ArchiveWriter writer;
    writer.writeObject(nullptr);
    EXPECT_EQ(writer.data(), bytes);
}

TEST(ArchiveObjects, IndexesBeyond7FFEUseTheLongForms)
{
    // 0x7FFE tags take indexes 2 to 0x7FFF; the next class (a group) is then
    // described at index 0x8000, so references to it and to the late objects
    // need the 32-bit forms.
    DocumentRecord doc;
    for (int i = 0; i < 0x7FFE; ++i)
        doc.items.push_back(std::make_shared<TagRecord>());
    auto first = std::make_shared<GroupRecord>();
    auto second = std::make_shared<GroupRecord>();
    doc.items.push_back(first);  // class 0x8000, object 0x8001
    doc.items.push_back(second); // class reference 0x8000, object 0x8002
    doc.again = {second, doc.items[0]};

    const QByteArray bytes = writePayload(doc);
    const QByteArray tail = bytes.right(2 + 6 + 2);
    // count 2, object 0x8002 in the long form, object 2 in the short form
    EXPECT_EQ(hexOf(tail), hexOf(fromHex("02 00  FF 7F 02 80 00 00  02 00")));
    EXPECT_TRUE(bytes.contains(fromHex("FF 7F 00 80 00 80 FF FE FF 00 00 00")))
        << "the second group is a long-form class reference to 0x8000";

    DocumentRecord back;
    const ArchiveStatus status = readPayload(bytes, back, registry(), TrailingBytes::Rejected);
    ASSERT_TRUE(status.ok()) << status.message.toStdString();
    ASSERT_EQ(back.items.size(), doc.items.size());
    ASSERT_EQ(back.again.size(), 2u);
    EXPECT_EQ(back.again[0], back.items.back());
    EXPECT_EQ(back.again[1], back.items.front());
    EXPECT_EQ(writePayload(back), bytes);
}

TEST(ArchiveObjects, DeepNestingIsRefusedInsteadOfExhaustingTheStack)
{
    // Each level: new or referenced group class, empty name, one child.
    QByteArray bytes = fromHex("00 00 01 00 FF FF 01 00 06 00 54 47 72 6F 75 70 FF FE FF 00 01 00");
    for (int level = 0; level < 100000; ++level)
        bytes += fromHex("01 80 FF FE FF 00 01 00");
    DocumentRecord doc;
    const ArchiveStatus status = readPayload(bytes, doc, registry());
    EXPECT_EQ(status.error, ArchiveError::Generic) << status.message.toStdString();
}

TEST(ArchiveObjects, HostileCountFailsWithoutSizingTheArray)
{
    DocumentRecord doc;
    const ArchiveStatus status = readPayload(fromHex("00 00 FF FF FF FF FF FF"), doc, registry());
    EXPECT_EQ(status.error, ArchiveError::EndOfData);
}

TEST(ArchivePayload, StartsWithTheOuterRecordsFieldsAndNumbersAfresh)
{
    DocumentRecord doc;
    doc.format = 0x0102;
    doc.items = {std::make_shared<TagRecord>()};
    ArchiveWriter writer;
    writer.writeRecord(doc);
    const QByteArray first = writer.takeData();
    writer.writeRecord(doc);
    EXPECT_TRUE(first.startsWith(fromHex("02 01 01 00 FF FF")));
    EXPECT_EQ(writer.data(), first) << "the second payload must describe its classes again";
}

TEST(ArchivePayload, TrailingBytesAreAnErrorOnlyWhenAskedFor)
{
    const QByteArray bytes = fromHex("00 00 00 00 00 00 99");
    DocumentRecord doc;
    EXPECT_TRUE(readPayload(bytes, doc, registry()).ok());
    const ArchiveStatus status = readPayload(bytes, doc, registry(), TrailingBytes::Rejected);
    EXPECT_EQ(status.error, ArchiveError::Generic);
    EXPECT_EQ(status.offset, 6);
}

TEST(RecordRegistryTest, RefusesASecondClassOfTheSameName)
{
    RecordRegistry registry;
    EXPECT_TRUE(registry.add<TagRecord>());
    EXPECT_FALSE(registry.add<TagRecord>());
    EXPECT_FALSE(registry.add("", 1, [] { return std::make_shared<TagRecord>(); }));
    EXPECT_EQ(registry.size(), 1);
    ASSERT_NE(registry.find("CModTag"), nullptr);
    EXPECT_EQ(registry.find("CModTag")->schema, 1);
    EXPECT_EQ(registry.find("CModTa"), nullptr);
}

} // namespace
