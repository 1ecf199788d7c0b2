// The payload records byte for byte: what the driver writes, what it reads
// back, and how every malformed payload is refused without touching the
// record it was to fill.
#include "hostlinktestsupport.h"
#include "hostpayload.h"

#include <gtest/gtest.h>

#include <functional>

using namespace hostlinktest;

namespace {

struct ItemRequestRow
{
    const char *name;
    std::function<CAryReqTags()> build;
    const char *bytes;
};

struct TagValuesRow
{
    const char *name;
    std::function<CAryTxnTags()> build;
    const char *bytes;
};

CAryReqTags request(quint16 header, quint16 reserved,
                    std::vector<std::shared_ptr<CReqTag>> items = {})
{
    CAryReqTags result;
    result.header = header;
    result.reserved = reserved;
    result.items = std::move(items);
    return result;
}

CAryTxnTags values(std::vector<std::shared_ptr<CTxnTag>> entries, quint16 reserved = 0)
{
    CAryTxnTags result;
    result.reserved = reserved;
    result.entries = std::move(entries);
    return result;
}

CModData withoutValue(quint8 type)
{
    CModData data;
    data.setFromInteger(0, type);
    return data;
}

const ItemRequestRow itemRequestRows[] = {
    {"no_items", [] { return request(0, 0); }, "00 00 00 00 00 00"},
    {"header_words_carried", [] { return request(0x1234, 0xABCD); }, "34 12 CD AB 00 00"},
    {"one_item", [] { return request(0, 0, {item(7, QStringLiteral("A.B.C"))}); },
     "00 00 00 00 01 00"
     " FF FF 01 00 07 00 43 52 65 71 54 61 67" // new class, schema 1, "CReqTag"
     " 07 00 00 00 FF FE FF 05 41 00 2E 00 42 00 2E 00 43 00"},
    {"second_item_refers_to_the_class",
     [] {
         return request(1, 0, {item(7, QStringLiteral("A.B.C")), item(-1, QString())});
     },
     "01 00 00 00 02 00"
     " FF FF 01 00 07 00 43 52 65 71 54 61 67 07 00 00 00 FF FE FF 05 41 00 2E 00 42 00 2E 00 43 00"
     " 01 80 FF FF FF FF FF FE FF 00"},
    {"name_outside_latin1",
     [] { return request(0, 0, {item(0x01020304, QStringLiteral(u"\u00C4.\u20AC"))}); },
     "00 00 00 00 01 00 FF FF 01 00 07 00 43 52 65 71 54 61 67"
     " 04 03 02 01 FF FE FF 03 C4 00 2E 00 AC 20"},
};

const TagValuesRow tagValuesRows[] = {
    {"no_entries", [] { return values({}); }, "00 00 00 00"},
    {"reserved_word_carried", [] { return values({}, 0xBEEF); }, "EF BE 00 00"},
    {"one_word", [] { return values({entry(7, wordValue(0x1234))}); },
     "00 00 01 00"
     " FF FF 01 00 07 00 43 54 78 6E 54 61 67" // new class, schema 1, "CTxnTag"
     " 07 00 00 00 00 00 00 00 05 34 12"},
    {"error_flag_and_class_references",
     [] {
         return values({entry(7, booleanValue(true), true), entry(8, doubleValue(1.5)),
                        entry(-5, longValue(-2))});
     },
     "00 00 03 00"
     " FF FF 01 00 07 00 43 54 78 6E 54 61 67 07 00 00 00 01 00 00 00 01 01 00 00 00"
     " 01 80 08 00 00 00 00 00 00 00 09 00 00 00 00 00 00 F8 3F"
     " 01 80 FB FF FF FF 00 00 00 00 06 FE FF FF FF"},
    {"types_that_carry_no_value",
     [] {
         return values({entry(1, withoutValue(0)), entry(2, withoutValue(12), true)});
     },
     "00 00 02 00"
     " FF FF 01 00 07 00 43 54 78 6E 54 61 67 01 00 00 00 00 00 00 00 00"
     " 01 80 02 00 00 00 01 00 00 00 0C"},
};

// A record that a failed decode must leave exactly as it was.
CAryReqTags untouchedRequest()
{
    return request(0x5555, 0x6666, {item(42, QStringLiteral("Untouched.Item.Name"))});
}

CAryTxnTags untouchedValues()
{
    return values({entry(42, wordValue(4242), true)}, 0x7777);
}

class ItemRequestBytes : public ::testing::TestWithParam<ItemRequestRow>
{};

class TagValuesBytes : public ::testing::TestWithParam<TagValuesRow>
{};

} // namespace

TEST_P(ItemRequestBytes, EncodesExactly)
{
    const ItemRequestRow &row = GetParam();
    EXPECT_EQ(toHex(HostPayload::encodeItemRequest(row.build())), toHex(hexBytes(row.bytes)));
}

TEST_P(ItemRequestBytes, DecodesToTheSameRecord)
{
    const ItemRequestRow &row = GetParam();
    CAryReqTags decoded = untouchedRequest();
    const ArchiveStatus status = HostPayload::decodeItemRequest(hexBytes(row.bytes), decoded);
    ASSERT_TRUE(status.ok()) << status.message.toStdString();
    EXPECT_EQ(describe(decoded), describe(row.build()));
    EXPECT_EQ(toHex(HostPayload::encodeItemRequest(decoded)), toHex(hexBytes(row.bytes)));
}

TEST_P(ItemRequestBytes, EveryTruncationEndsInEndOfDataAndChangesNothing)
{
    const QByteArray bytes = hexBytes(GetParam().bytes);
    for (qsizetype length = 0; length < bytes.size(); ++length) {
        SCOPED_TRACE(length);
        CAryReqTags decoded = untouchedRequest();
        const ArchiveStatus status = HostPayload::decodeItemRequest(bytes.first(length), decoded);
        EXPECT_EQ(status.error, ArchiveError::EndOfData) << status.message.toStdString();
        EXPECT_FALSE(status.message.isEmpty());
        EXPECT_LE(status.offset, length);
        EXPECT_EQ(describe(decoded), describe(untouchedRequest()));
    }
}

INSTANTIATE_TEST_SUITE_P(Golden, ItemRequestBytes, ::testing::ValuesIn(itemRequestRows),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_P(TagValuesBytes, EncodesExactly)
{
    const TagValuesRow &row = GetParam();
    EXPECT_EQ(toHex(HostPayload::encodeTagValues(row.build())), toHex(hexBytes(row.bytes)));
}

TEST_P(TagValuesBytes, DecodesToTheSameRecord)
{
    const TagValuesRow &row = GetParam();
    CAryTxnTags decoded = untouchedValues();
    const ArchiveStatus status = HostPayload::decodeTagValues(hexBytes(row.bytes), decoded);
    ASSERT_TRUE(status.ok()) << status.message.toStdString();
    EXPECT_EQ(describe(decoded), describe(row.build()));
    EXPECT_EQ(toHex(HostPayload::encodeTagValues(decoded)), toHex(hexBytes(row.bytes)));
}

TEST_P(TagValuesBytes, EveryTruncationEndsInEndOfDataAndChangesNothing)
{
    const QByteArray bytes = hexBytes(GetParam().bytes);
    for (qsizetype length = 0; length < bytes.size(); ++length) {
        SCOPED_TRACE(length);
        CAryTxnTags decoded = untouchedValues();
        const ArchiveStatus status = HostPayload::decodeTagValues(bytes.first(length), decoded);
        EXPECT_EQ(status.error, ArchiveError::EndOfData) << status.message.toStdString();
        EXPECT_FALSE(status.message.isEmpty());
        EXPECT_LE(status.offset, length);
        EXPECT_EQ(describe(decoded), describe(untouchedValues()));
    }
}

INSTANTIATE_TEST_SUITE_P(Golden, TagValuesBytes, ::testing::ValuesIn(tagValuesRows),
                         [](const auto &info) { return std::string(info.param.name); });

namespace {

enum class Payload { ItemRequest, TagValues };

struct BadPayloadRow
{
    const char *name;
    Payload payload;
    const char *bytes;
    ArchiveError error;
};

const BadPayloadRow badPayloadRows[] = {
    {"project_class_in_item_request", Payload::ItemRequest,
     "00 00 00 00 01 00 FF FF 01 00 07 00 43 4D 6F 64 54 61 67", // "CModTag"
     ArchiveError::BadClass},
    {"class_name_in_other_case", Payload::ItemRequest,
     "00 00 00 00 01 00 FF FF 01 00 07 00 43 72 65 71 54 61 67 07 00 00 00 FF FE FF 00", // "CreqTag"
     ArchiveError::BadClass},
    {"value_entry_in_item_request", Payload::ItemRequest,
     "00 00 00 00 01 00 FF FF 01 00 07 00 43 54 78 6E 54 61 67 07 00 00 00 00 00 00 00 05 34 12",
     ArchiveError::BadClass},
    {"item_in_value_delivery", Payload::TagValues,
     "00 00 01 00 FF FF 01 00 07 00 43 52 65 71 54 61 67 07 00 00 00 FF FE FF 00",
     ArchiveError::BadClass},
    {"value_array_record_as_element", Payload::TagValues,
     "00 00 01 00 FF FF 01 00 0B 00 43 41 72 79 54 78 6E 54 61 67 73 00 00 00 00", // "CAryTxnTags"
     ArchiveError::BadClass},
    {"class_name_of_64_bytes", Payload::TagValues, "00 00 01 00 FF FF 01 00 40 00",
     ArchiveError::BadClass},
    {"schema_2", Payload::ItemRequest,
     "00 00 00 00 01 00 FF FF 02 00 07 00 43 52 65 71 54 61 67 07 00 00 00 FF FE FF 00",
     ArchiveError::BadSchema},
    {"schema_0", Payload::TagValues,
     "00 00 01 00 FF FF 00 00 07 00 43 54 78 6E 54 61 67 07 00 00 00 00 00 00 00 05 34 12",
     ArchiveError::BadSchema},
    {"null_element", Payload::ItemRequest, "00 00 00 00 01 00 00 00", ArchiveError::BadIndex},
    {"class_reference_before_any_class", Payload::TagValues,
     "00 00 01 00 01 80 07 00 00 00 00 00 00 00 05 34 12", ArchiveError::BadIndex},
    {"object_reference_before_any_object", Payload::TagValues, "00 00 01 00 02 00",
     ArchiveError::BadIndex},
    {"object_index_where_a_class_is_expected", Payload::TagValues,
     "00 00 02 00 FF FF 01 00 07 00 43 54 78 6E 54 61 67 07 00 00 00 00 00 00 00 05 34 12"
     " 02 80", // class tag naming index 2, which is the first entry
     ArchiveError::BadIndex},
    {"huge_count_without_elements", Payload::ItemRequest, "00 00 00 00 FF FF FF FF FF FF",
     ArchiveError::EndOfData},
    {"huge_count_with_one_element", Payload::TagValues,
     "00 00 FF FF FE FF FF 7F FF FF 01 00 07 00 43 54 78 6E 54 61 67 07 00 00 00 00 00 00 00 05 34 "
     "12",
     ArchiveError::EndOfData},
    {"name_longer_than_the_payload", Payload::ItemRequest,
     "00 00 00 00 01 00 FF FF 01 00 07 00 43 52 65 71 54 61 67 07 00 00 00"
     " FF FE FF FF FF FF FF FF FF 7F 41 00", // 0x7FFFFFFF characters announced
     ArchiveError::EndOfData},
    {"name_length_negative", Payload::ItemRequest,
     "00 00 00 00 01 00 FF FF 01 00 07 00 43 52 65 71 54 61 67 07 00 00 00"
     " FF FE FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF FF",
     ArchiveError::Generic},
};

class BadPayload : public ::testing::TestWithParam<BadPayloadRow>
{};

} // namespace

TEST_P(BadPayload, IsRefusedWithItsErrorAndChangesNothing)
{
    const BadPayloadRow &row = GetParam();
    const QByteArray bytes = hexBytes(row.bytes);
    ArchiveStatus status;
    if (row.payload == Payload::ItemRequest) {
        CAryReqTags decoded = untouchedRequest();
        status = HostPayload::decodeItemRequest(bytes, decoded);
        EXPECT_EQ(describe(decoded), describe(untouchedRequest()));
    } else {
        CAryTxnTags decoded = untouchedValues();
        status = HostPayload::decodeTagValues(bytes, decoded);
        EXPECT_EQ(describe(decoded), describe(untouchedValues()));
    }
    EXPECT_EQ(archiveErrorName(status.error), archiveErrorName(row.error))
        << status.message.toStdString();
    EXPECT_FALSE(status.message.isEmpty());
    EXPECT_GE(status.offset, 0);
    EXPECT_LE(status.offset, bytes.size());
    EXPECT_FALSE(describeArchiveStatus(status).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Refused, BadPayload, ::testing::ValuesIn(badPayloadRows),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(HostPayload, BytesAfterTheRecordAreTolerated)
{
    // Readers of these payloads have always stopped at the end of the record.
    CAryReqTags decoded;
    const ArchiveStatus status = HostPayload::decodeItemRequest(
        hexBytes("00 00 00 00 01 00 FF FF 01 00 07 00 43 52 65 71 54 61 67 07 00 00 00"
                 " FF FE FF 00 EE EE"),
        decoded);
    ASSERT_TRUE(status.ok()) << status.message.toStdString();
    EXPECT_EQ(describe(decoded), "header=0 reserved=0 [7 '']");
}

TEST(HostPayload, NarrowNameIsReadAsWindows1252AndWrittenBackWide)
{
    CAryReqTags decoded;
    const ArchiveStatus status = HostPayload::decodeItemRequest(
        hexBytes("00 00 00 00 01 00 FF FF 01 00 07 00 43 52 65 71 54 61 67 03 00 00 00"
                 " 05 41 2E 80 2E 43"),
        decoded);
    ASSERT_TRUE(status.ok()) << status.message.toStdString();
    ASSERT_EQ(decoded.items.size(), 1u);
    EXPECT_EQ(decoded.items[0]->name, QStringLiteral(u"A.\u20AC.C"));
    EXPECT_EQ(toHex(HostPayload::encodeItemRequest(decoded)),
              toHex(hexBytes("00 00 00 00 01 00 FF FF 01 00 07 00 43 52 65 71 54 61 67 03 00 00 00"
                             " FF FE FF 05 41 00 2E 00 AC 20 2E 00 43 00")));
}

TEST(HostPayload, EntryRepeatedByReferenceDecodesAsTheSameEntryTwice)
{
    // The encoding lets an array name an object it already holds; the writer
    // of the host runtime never does, but a reader must cope.
    CAryTxnTags decoded;
    const ArchiveStatus status = HostPayload::decodeTagValues(
        hexBytes(
            "00 00 02 00 FF FF 01 00 07 00 43 54 78 6E 54 61 67 07 00 00 00 00 00 00 00 05 34 12"
            " 02 00"),
        decoded);
    ASSERT_TRUE(status.ok()) << status.message.toStdString();
    EXPECT_EQ(describe(decoded), "reserved=0 [7 type 5 value 4660] [7 type 5 value 4660]");
}

TEST(HostPayload, LargeDeliveryUsesTheLongCountAndRoundTrips)
{
    CAryTxnTags many;
    for (qint32 id = 1; id <= 0x10000; ++id)
        many.entries.push_back(entry(id, wordValue(quint16(id)), (id % 3) == 0));
    const QByteArray bytes = HostPayload::encodeTagValues(many);
    // reserved word, then the count 0xFFFF escape and the uint32 count.
    EXPECT_EQ(toHex(bytes.first(8)), "00 00 ff ff 00 00 01 00");
    // Every entry after the first is a class reference and 11 bytes of fields.
    EXPECT_EQ(bytes.size(), 8 + 13 + 11 + (0x10000 - 1) * (2 + 11));

    CAryTxnTags decoded;
    const ArchiveStatus status = HostPayload::decodeTagValues(bytes, decoded);
    ASSERT_TRUE(status.ok()) << status.message.toStdString();
    EXPECT_EQ(describe(decoded), describe(many));
}

TEST(HostPayload, RecordClassesAreTheElementClassesWithSchema1)
{
    const RecordRegistry &classes = HostPayload::recordClasses();
    EXPECT_EQ(classes.size(), 2);
    for (const char *name : {"CReqTag", "CTxnTag"}) {
        const RecordRegistry::ClassInfo *info = classes.find(QByteArrayView(name));
        ASSERT_NE(info, nullptr) << name;
        EXPECT_EQ(info->schema, 1);
        EXPECT_EQ(QLatin1StringView(info->create()->className()), QLatin1StringView(name));
    }
}
