#include "objectnames.h"

namespace ObjectNames {

namespace {

// Extensions longer than this are taken as part of the name when shortening.
constexpr qsizetype MaximumKeptExtension = 16;

bool isUnsafeCharacter(QChar c)
{
    return c == u'/' || c == u'\\' || c.unicode() < 0x20 || c.unicode() == 0x7F;
}

} // namespace

bool hasDot(QStringView name)
{
    return name.contains(u'.');
}

QString dotMessage(Kind kind)
{
    switch (kind) {
    case Kind::Channel:
        return QStringLiteral("Channel name can not contain \".\".");
    case Kind::Device:
        return QStringLiteral("Device name can not contain \".\".");
    case Kind::TagGroup:
        return QStringLiteral("Tag group name can not contain \".\".");
    case Kind::Tag:
        break;
    }
    return QStringLiteral("Tag name can not contain \".\".");
}

QString checkNewName(QStringView name, Kind kind)
{
    return hasDot(name) ? dotMessage(kind) : QString();
}

QString safeFileName(const QString &fileName)
{
    QString safe = fileName;
    for (QChar &c : safe) {
        if (isUnsafeCharacter(c))
            c = u'_';
    }
    for (QChar &c : safe) {
        if (c != u'.')
            break;
        c = u'_';
    }
    if (safe.isEmpty())
        return QStringLiteral("_");
    if (safe.toUtf8().size() <= MaximumFileNameBytes)
        return safe;

    QString extension;
    const qsizetype dot = safe.lastIndexOf(u'.');
    if (dot > 0 && safe.size() - dot <= MaximumKeptExtension + 1)
        extension = safe.sliced(dot);
    QString stem = safe.left(safe.size() - extension.size());
    while (!stem.isEmpty() && (stem + extension).toUtf8().size() > MaximumFileNameBytes) {
        stem.chop(stem.back().isLowSurrogate() && stem.size() > 1 ? 2 : 1);
    }
    return stem + extension;
}

} // namespace ObjectNames
