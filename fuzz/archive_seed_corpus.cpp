// Writes the fuzzer's seed corpus: every golden vector as a document body
// (behind a format word, where it is not a whole document already).
#include "goldenvectors.h"

#include <QDir>
#include <QFile>

#include <cstdio>

using namespace archivetest;

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: archive_seed_corpus FOLDER\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    int written = 0;
    for (const GoldenVector &v : goldenVectors()) {
        // Document vectors start with their format word; the others are wrapped
        // as the one item's bytes, so the fuzzer starts near every primitive.
        const QByteArray body =
            v.document ? v.bytes
                       : QByteArray::fromHex("0000 0100 FFFF 0100 0B00") + "TPrimitives" + v.bytes;
        if (body.size() > 4096)
            continue; // long strings teach the fuzzer nothing the short ones do not
        QFile file(QDir(folder).filePath(QString::fromLatin1(v.name)));
        if (!file.open(QIODevice::WriteOnly) || file.write(body) != body.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file.fileName()));
            return 1;
        }
        ++written;
    }
    std::printf("%d seed files in %s\n", written, argv[1]);
    return 0;
}
