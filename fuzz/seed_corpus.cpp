// Writes the fuzzers' seed corpora, one folder per fuzzer: the archive golden
// vectors, project files and payloads, CSV files in both encodings and host
// link payloads.
#include "goldenvectors.h"
#include "hostpayload.h"
#include "projectenvelope.h"
#include "projectfile.h"
#include "savedmessages.h"
#include "sqlpayload.h"
#include "tagcsv.h"

#include <QDir>
#include <QFile>

#include <cstdio>

using namespace archivetest;

namespace {

bool writeSeed(const QString &folder, const QString &name, const QByteArray &bytes)
{
    if (!QDir().mkpath(folder))
        return false;
    QFile file(QDir(folder).filePath(name));
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

Channels sampleProject()
{
    auto tag = std::make_shared<CModTag>();
    tag->TagName = QStringLiteral("T1");
    auto bit = std::make_shared<CModTag>();
    bit->TagName = QStringLiteral("Bit");
    bit->TagAddress = QStringLiteral("400002.3");
    bit->DataType = 1;
    auto group = std::make_shared<CModTagGroup>();
    group->name = QStringLiteral("G");
    group->tags.append(bit);
    group->groups.push_back(std::make_shared<CModTagGroup>());
    auto device = std::make_shared<CModTCPDev>();
    device->tags.append(tag);
    device->groups.push_back(group);
    auto tcp = std::make_shared<CModTCPChnl>();
    tcp->devices.push_back(device);
    auto rtu = std::make_shared<CModRTUChnl>();
    rtu->devices.push_back(std::make_shared<CModRTUDev>());
    return {tcp, rtu};
}

QByteArray utf16WithMark(const QString &text)
{
    return QByteArray("\xFF\xFE", 2) +
           QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seed_corpus FOLDER\n");
        return 2;
    }
    const QDir root(QString::fromLocal8Bit(argv[1]));
    bool ok = true;

    const QString archive = root.filePath(QStringLiteral("archive"));
    for (const GoldenVector &v : goldenVectors()) {
        // Document vectors are whole payloads; the others are wrapped as one
        // item's bytes, so the fuzzer starts near every primitive.
        const QByteArray body =
            v.document ? v.bytes
                       : QByteArray::fromHex("0000 0100 FFFF 0100 0B00") + "TPrimitives" + v.bytes;
        if (body.size() <= 4096) // long strings teach nothing the short ones do not
            ok = ok && writeSeed(archive, QString::fromLatin1(v.name), body);
    }

    const QString project = root.filePath(QStringLiteral("project"));
    const QByteArray payload = ProjectFile::encodePayload(sampleProject());
    ok = ok && writeSeed(project, QStringLiteral("payload"), QByteArray(1, '\1') + payload);
    ok = ok && writeSeed(project, QStringLiteral("file"),
                         QByteArray(1, '\0') + *envelope::wrapPayload(payload));

    const QString csv = root.filePath(QStringLiteral("csv"));
    const QString rows =
        TagCsv::plainHeader() + QStringLiteral("\r\nA,400001,WORD,Read/Write,\"x\\, y\"\r\n"
                                               "B,000001,bool,read_only,\"\"\r\n"
                                               "C,300001.16,BOOL,Read_Only,\r\n"
                                               "D,465533,DOUBLE,Read/Write,d\r\n"
                                               "bad name,4.0.1,WORDY,RW,\"\r\n");
    ok = ok && writeSeed(csv, QStringLiteral("unicode"), QByteArray(1, '\1') + utf16WithMark(rows));
    ok = ok && writeSeed(csv, QStringLiteral("ansi"), QByteArray(1, '\0') + rows.toLatin1());

    const QString messages = root.filePath(QStringLiteral("savedmessages"));
    savedmessages::Messages saved;
    saved.push_back(
        std::make_shared<CModMsg>(QStringLiteral("Starting Modbus Driver."),
                                  std::chrono::sys_seconds(std::chrono::seconds(1491393787))));
    saved.push_back(std::make_shared<CModMsg>(QStringLiteral("Project opened : /p/x.drx"),
                                              std::chrono::sys_seconds(std::chrono::seconds(-5))));
    ok = ok && writeSeed(messages, QStringLiteral("two"), savedmessages::encode(saved));

    const QString host = root.filePath(QStringLiteral("hostpayload"));
    CAryReqTags request;
    request.items.push_back(std::make_shared<CReqTag>(7, QStringLiteral("Channel1.Device1.Tag1")));
    request.items.push_back(std::make_shared<CReqTag>(0, QStringLiteral("C.D.G1.Sub.T")));
    ok = ok && writeSeed(host, QStringLiteral("itemrequest"),
                         QByteArray(1, '\0') + HostPayload::encodeItemRequest(request));
    CAryTxnTags values;
    for (quint8 type = 0; type <= 12; ++type) {
        CModData value;
        value.setFromInteger(-1 - type, type);
        values.entries.push_back(std::make_shared<CTxnTag>(type + 1, value, (type & 1) != 0));
    }
    ok = ok && writeSeed(host, QStringLiteral("values"),
                         QByteArray(1, '\1') + HostPayload::encodeTagValues(values));

    const QString sql = root.filePath(QStringLiteral("sqlpayload"));
    auto number = std::make_shared<CSqlTag>();
    number->groupName = QStringLiteral("Line1");
    number->tagName = QStringLiteral("Temp");
    number->numericValue = 21.5;
    number->time = std::chrono::sys_seconds(std::chrono::seconds(1491400987));
    auto text = std::make_shared<CSqlTag>(*number);
    text->valueKind = CSqlTag::TextValueKind;
    text->textValue = QStringLiteral("C:\\data 'ü'");
    ok = ok && writeSeed(sql, QStringLiteral("tags"),
                         QByteArray(1, '\0') + SqlPayload::encodeTagValues({number, text}));
    auto alarm = std::make_shared<CSqlAlarm>();
    alarm->tagName = QStringLiteral("Temp");
    alarm->user = QStringLiteral("O'Brien");
    ok = ok && writeSeed(sql, QStringLiteral("alarms"),
                         QByteArray(1, '\1') + SqlPayload::encodeAlarms({alarm, alarm}));
    ok = ok &&
         writeSeed(sql, QStringLiteral("settings"),
                   QByteArray(1, '\2') + SqlPayload::encodeSettings(
                                             {QStringLiteral("db:3306"), QStringLiteral("plant"),
                                              QStringLiteral("tagvalues"), QStringLiteral("alarms"),
                                              QStringLiteral("u"), QString()}));
    ok = ok && writeSeed(sql, QStringLiteral("version"),
                         QByteArray(1, '\3') + SqlPayload::encodeVersion({1, 0}));

    // Good replies to the Modbus fuzzer's requests; the first byte picks the request.
    const QString modbus = root.filePath(QStringLiteral("modbusreply"));
    ok = ok &&
         writeSeed(modbus, QStringLiteral("registers"),
                   QByteArray(1, '\0') + QByteArray::fromHex("00010000000b01030800016d5c4a45c093"));
    ok = ok && writeSeed(modbus, QStringLiteral("maskwrite"),
                         QByteArray(1, '\6') + QByteArray::fromHex("0007000000080116"
                                                                   "0004fff70008"));
    ok = ok && writeSeed(modbus, QStringLiteral("exception"),
                         QByteArray(1, '\0') + QByteArray::fromHex("000100000003018302"));

    if (!ok) {
        std::fprintf(stderr, "cannot write the seed corpora in %s\n", argv[1]);
        return 1;
    }
    std::printf("seed corpora written in %s\n", argv[1]);
    return 0;
}
