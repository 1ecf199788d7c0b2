// Encodes and decodes an object array of one million small records, the shape
// of a large value delivery: a name, a few integers and an embedded value.
// Prints records/s and MB/s for each direction, best of several rounds; the
// last line is the decode rate alone.
#include "archive.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int RecordCount = 1000000;
constexpr int Rounds = 5;

struct BenchValue : Record
{
    ORVALA_RECORD(BenchValue)
public:
    quint8 type = 8;
    double value = 0;
    void serialize(Archive &ar) override
    {
        ar.uint8(type);
        ar.float64(value);
    }
};

struct BenchTag : Record
{
    ORVALA_RECORD(BenchTag)
public:
    QString name;
    qint32 requestId = 0;
    qint32 quality = 0;
    quint8 access = 0;
    BenchValue value;
    void serialize(Archive &ar) override
    {
        quint16 version = 0;
        ar.uint16(version);
        ar.string(name);
        ar.int32(requestId);
        ar.int32(quality);
        ar.uint8(access);
        ar.embedded(value);
    }
};

struct BenchList : Record
{
    ORVALA_RECORD(BenchList)
public:
    std::vector<std::shared_ptr<BenchTag>> tags;
    void serialize(Archive &ar) override { ar.objectArray(tags); }
};

template<class F> double bestSeconds(F &&run)
{
    double best = 1e30;
    for (int round = 0; round < Rounds; ++round) {
        const auto start = std::chrono::steady_clock::now();
        run();
        const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
        best = std::min(best, elapsed.count());
    }
    return best;
}

} // namespace

int main()
{
    RecordRegistry registry;
    registry.add<BenchTag>();

    BenchList list;
    list.tags.reserve(RecordCount);
    for (int i = 0; i < RecordCount; ++i) {
        auto tag = std::make_shared<BenchTag>();
        tag->name = QStringLiteral("Channel%1.Device%2.Tag%3").arg(i % 10).arg(i % 7).arg(i);
        tag->requestId = i + 1;
        tag->quality = 192;
        tag->access = 2;
        tag->value.value = i * 0.5;
        list.tags.push_back(std::move(tag));
    }

    QByteArray payload;
    const double encodeSeconds = bestSeconds([&] { payload = writePayload(list); });

    bool decodedAll = true;
    const double decodeSeconds = bestSeconds([&] {
        BenchList decoded;
        const ArchiveStatus status = readPayload(payload, decoded, registry);
        decodedAll = decodedAll && status.ok() && decoded.tags.size() == size_t(RecordCount);
    });
    if (!decodedAll) {
        std::fprintf(stderr, "decoding the payload failed\n");
        return 1;
    }

    const double megabytes = payload.size() / 1e6;
    std::printf("records: %d, payload: %.1f MB, best of %d rounds\n", RecordCount, megabytes,
                Rounds);
    std::printf("encode: %.2f M records/s, %.0f MB/s\n", RecordCount / encodeSeconds / 1e6,
                megabytes / encodeSeconds);
    std::printf("decode: %.2f M records/s, %.0f MB/s\n", RecordCount / decodeSeconds / 1e6,
                megabytes / decodeSeconds);
    std::printf("%.0f records/s decoded\n", RecordCount / decodeSeconds);
    return 0;
}
