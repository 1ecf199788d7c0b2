#include "goldenvectors.h"

#include "testrecords.h"

#include <QHash>

namespace archivetest {

QByteArray fromHex(const char *spaced)
{
    return QByteArray::fromHex(QByteArray(spaced).replace(' ', ""));
}

QString patternString(qsizetype n)
{
    QString text(n, Qt::Uninitialized);
    for (qsizetype i = 0; i < n; ++i)
        text[i] = QChar(char16_t(u'a' + i % 26));
    return text;
}

QByteArray patternUtf16(qsizetype n)
{
    const QString text = patternString(n);
    return QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
}

namespace {

QByteArray utf16Bytes(const QString &text)
{
    return QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
}

void describeInto(const Record *record, QString &out, QHash<const Record *, int> &seen)
{
    if (!record) {
        out += u"null";
        return;
    }
    if (seen.contains(record)) {
        out += u'#' + QString::number(seen.value(record));
        return;
    }
    seen.insert(record, seen.size() + 1);
    if (auto tag = dynamic_cast<const TagRecord *>(record)) {
        out += QStringLiteral("tag(%1 %2)").arg(tag->name).arg(tag->number);
    } else if (auto group = dynamic_cast<const GroupRecord *>(record)) {
        out += QStringLiteral("group(%1 [").arg(group->name);
        for (const auto &child : group->children) {
            describeInto(child.get(), out, seen);
            out += u' ';
        }
        out += u"])";
    } else if (auto doc = dynamic_cast<const DocumentRecord *>(record)) {
        out += QStringLiteral("doc(%1 [").arg(doc->format);
        for (const auto &item : doc->items) {
            describeInto(item.get(), out, seen);
            out += u' ';
        }
        out += u"] [";
        for (const auto &item : doc->again) {
            describeInto(item.get(), out, seen);
            out += u' ';
        }
        out += u"])";
    } else {
        out += QLatin1StringView(record->className());
    }
}

std::shared_ptr<TagRecord> tag(const char *name, qint32 number)
{
    auto t = std::make_shared<TagRecord>();
    t->name = QString::fromLatin1(name);
    t->number = number;
    return t;
}

std::shared_ptr<GroupRecord> group(const char *name, std::vector<std::shared_ptr<Record>> children)
{
    auto g = std::make_shared<GroupRecord>();
    g->name = QString::fromLatin1(name);
    g->children = std::move(children);
    return g;
}

GoldenVector stringVector(const char *name, QByteArray prefix, qsizetype length)
{
    return GoldenVector{name, prefix + patternUtf16(length),
                        [](ArchiveReader &r) { return r.readString(); }, patternString(length),
                        [length](ArchiveWriter &w) { w.writeString(patternString(length)); }};
}

GoldenVector countVector(const char *name, const char *hex, quint32 count)
{
    return GoldenVector{name, fromHex(hex),
                        [](ArchiveReader &r) { return QString::number(r.readCount()); },
                        QString::number(count), [count](ArchiveWriter &w) { w.writeCount(count); }};
}

// A document payload: the read renders the whole document.
GoldenVector documentVector(const char *name, const char *hex,
                            std::function<DocumentRecord()> build)
{
    auto expected = build();
    GoldenVector vector{name, fromHex(hex),
                        [](ArchiveReader &r) {
                            DocumentRecord doc;
                            r.readRecord(doc);
                            return describe(&doc);
                        },
                        describe(&expected),
                        [build](ArchiveWriter &w) {
                            DocumentRecord doc = build();
                            w.writeRecord(doc);
                        }};
    vector.document = true;
    return vector;
}

std::vector<GoldenVector> makeVectors()
{
    std::vector<GoldenVector> vectors;

    // Strings: the wide form, on both sides of every change of length form.
    vectors.push_back(stringVector("string-empty", fromHex("FF FE FF 00"), 0));
    vectors.push_back(stringVector("string-3-abc", fromHex("FF FE FF 03"), 3));
    vectors.push_back(stringVector("string-254-byte-length", fromHex("FF FE FF FE"), 254));
    vectors.push_back(stringVector("string-255-word-length", fromHex("FF FE FF FF FF 00"), 255));
    vectors.push_back(stringVector("string-300-word-length", fromHex("FF FE FF FF 2C 01"), 300));
    vectors.push_back(
        stringVector("string-FFFD-word-length", fromHex("FF FE FF FF FD FF"), 0xFFFD));
    vectors.push_back(
        stringVector("string-FFFE-dword-length", fromHex("FF FE FF FF FF FF FE FF 00 00"), 0xFFFE));
    vectors.push_back(GoldenVector{
        "string-surrogate-pair-and-nul", fromHex("FF FE FF 04 3D D8 00 DE 00 00 41 00"),
        [](ArchiveReader &r) { return r.readString(); }, QString::fromUtf16(u"\U0001F600\0A", 4),
        [](ArchiveWriter &w) { w.writeString(QString::fromUtf16(u"\U0001F600\0A", 4)); }});

    // Narrow strings from other writers: read as Windows-1252, rewritten wide.
    vectors.push_back(GoldenVector{
        "narrow-string-abc", fromHex("03 61 62 63"),
        [](ArchiveReader &r) { return r.readString(); }, QStringLiteral("abc"),
        [](ArchiveWriter &w) { w.writeString(u"abc"); }, fromHex("FF FE FF 03 61 00 62 00 63 00")});
    vectors.push_back(GoldenVector{
        "narrow-string-windows-1252", fromHex("04 80 E9 9F 81"),
        [](ArchiveReader &r) { return r.readString(); },
        QString::fromUtf16(u"\u20AC\u00E9\u0178\u0081"),
        [](ArchiveWriter &w) { w.writeString(QString::fromUtf16(u"\u20AC\u00E9\u0178\u0081")); },
        fromHex("FF FE FF 04 AC 20 E9 00 78 01 81 00")});
    {
        QByteArray narrow(300, 'x');
        vectors.push_back(
            GoldenVector{"narrow-string-300-word-length", fromHex("FF 2C 01") + narrow,
                         [](ArchiveReader &r) { return r.readString(); }, QString(300, u'x'),
                         [](ArchiveWriter &w) { w.writeString(QString(300, u'x')); },
                         fromHex("FF FE FF FF 2C 01") + utf16Bytes(QString(300, u'x'))});
    }

    // Counts.
    vectors.push_back(countVector("count-0", "00 00", 0));
    vectors.push_back(countVector("count-FFFE-word", "FE FF", 0xFFFE));
    vectors.push_back(countVector("count-FFFF-escaped", "FF FF FF FF 00 00", 0xFFFF));
    vectors.push_back(countVector("count-10000-escaped", "FF FF 00 00 01 00", 0x10000));

    // Times: the 12-byte form, and the 4-byte form of older writers.
    vectors.push_back(GoldenVector{
        "time-12-byte-form", fromHex("0A 00 00 80 00 5E D0 B2 00 00 00 00"),
        [](ArchiveReader &r) { return QString::number(r.readTime().time_since_epoch().count()); },
        QStringLiteral("3000000000"),
        [](ArchiveWriter &w) {
            w.writeTime(std::chrono::sys_seconds(std::chrono::seconds(3000000000)));
        }});
    vectors.push_back(GoldenVector{
        "time-4-byte-form", fromHex("00 E1 F5 05"),
        [](ArchiveReader &r) { return QString::number(r.readTime().time_since_epoch().count()); },
        QStringLiteral("100000000"),
        [](ArchiveWriter &w) {
            w.writeTime(std::chrono::sys_seconds(std::chrono::seconds(100000000)));
        },
        fromHex("0A 00 00 80 00 E1 F5 05 00 00 00 00")});
    vectors.push_back(GoldenVector{
        "time-4-byte-form-negative", fromHex("FF FF FF FF"),
        [](ArchiveReader &r) { return QString::number(r.readTime().time_since_epoch().count()); },
        QStringLiteral("-1"),
        [](ArchiveWriter &w) { w.writeTime(std::chrono::sys_seconds(std::chrono::seconds(-1))); },
        fromHex("0A 00 00 80 FF FF FF FF FF FF FF FF")});

    // Objects.
    vectors.push_back(
        documentVector("array-empty", "00 00  00 00  00 00", [] { return DocumentRecord{}; }));
    vectors.push_back(documentVector(
        "array-two-objects-one-class",
        "00 00  02 00"
        "  FF FF 01 00 07 00 43 4D 6F 64 54 61 67  00 00 FF FE FF 01 61 00 01 00 00 00"
        "  01 80                                   00 00 FF FE FF 01 62 00 02 00 00 00"
        "  00 00",
        [] {
            DocumentRecord doc;
            doc.items = {tag("a", 1), tag("b", 2)};
            return doc;
        }));
    vectors.push_back(documentVector(
        "class-ref-after-nested",
        "00 00  02 00"
        "  FF FF 01 00 06 00 54 47 72 6F 75 70  FF FE FF 01 67 00"
        "    01 00  FF FF 01 00 07 00 43 4D 6F 64 54 61 67  00 00 FF FE FF 01 61 00 01 00 00 00"
        "  03 80  00 00 FF FE FF 01 62 00 02 00 00 00"
        "  00 00",
        [] {
            DocumentRecord doc;
            doc.items = {group("g", {tag("a", 1)}), tag("b", 2)};
            return doc;
        }));
    vectors.push_back(documentVector(
        "object-written-twice-back-reference",
        "00 00  01 00  FF FF 01 00 07 00 43 4D 6F 64 54 61 67  00 00 FF FE FF 01 61 00 07 00 00 00"
        "  01 00  02 00",
        [] {
            DocumentRecord doc;
            doc.items = {tag("a", 7)};
            doc.again = doc.items;
            return doc;
        }));
    vectors.push_back(documentVector(
        "back-reference-inside-nested-array",
        "00 00  02 00"
        "  FF FF 01 00 07 00 43 4D 6F 64 54 61 67  00 00 FF FE FF 01 61 00 01 00 00 00"
        "  FF FF 01 00 06 00 54 47 72 6F 75 70  FF FE FF 01 67 00  02 00  02 00  01 80 00 00 FF FE "
        "FF 01 62 00 02 00 00 00"
        "  02 00  04 00 02 00",
        [] {
            DocumentRecord doc;
            auto a = tag("a", 1);
            auto g = group("g", {a, tag("b", 2)});
            doc.items = {a, g};
            doc.again = {g, a};
            return doc;
        }));
    return vectors;
}

} // namespace

QString describe(const Record *record)
{
    QString out;
    QHash<const Record *, int> seen;
    describeInto(record, out, seen);
    return out;
}

const std::vector<GoldenVector> &goldenVectors()
{
    static const std::vector<GoldenVector> vectors = makeVectors();
    return vectors;
}

} // namespace archivetest
