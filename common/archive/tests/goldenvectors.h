#pragma once

// Byte-exact examples of the archive encoding, named by what they exercise.
// One table drives the exact-encoding, decoding and truncation checks, and
// seeds the fuzzer's corpus.

#include "archive.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <vector>

namespace archivetest {

struct GoldenVector
{
    const char *name;
    QByteArray bytes;
    // Reads the value and renders what was read, for comparison with `expected`.
    std::function<QString(ArchiveReader &)> read;
    QString expected;
    // Writes the same value; a writer produces `bytes`, or `rewritten` where the
    // vector holds a form that only other writers produce (narrow strings,
    // 32-bit times).
    std::function<void(ArchiveWriter &)> write;
    QByteArray rewritten = {};
    // A whole document payload rather than one value.
    bool document = false;

    QByteArray canonical() const { return rewritten.isNull() ? bytes : rewritten; }
};

const std::vector<GoldenVector> &goldenVectors();

QByteArray fromHex(const char *spaced);
// n characters of a repeating pattern, and the UTF-16LE bytes of the same.
QString patternString(qsizetype n);
QByteArray patternUtf16(qsizetype n);
// A readable rendering of a record tree: class names, fields, and "#n" for
// an object met again.
QString describe(const Record *record);

} // namespace archivetest
