// Imports arbitrary bytes as a plain CSV file (the first byte picks Unicode or
// ANSI). Every tag the import accepts must have a valid, unique name and an
// address that validates; exporting them and importing the export must give
// the same tags back.
#include "cmodtag.h"
#include "notifier.h"
#include "tagaddress.h"
#include "tagcsv.h"
#include "taglist.h"

#include <QSet>

#include <cstdlib>

namespace {

class SilentNotifier : public Notifier
{
public:
    void showMessage(const QString &, Icon) override {}
    bool askYesNo(const QString &) override { return false; }
    QString getOpenFileName(const FileDialog &) override { return {}; }
    QString getSaveFileName(const FileDialog &) override { return {}; }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const auto encoding = (data[0] & 1) ? TagCsv::Encoding::Unicode : TagCsv::Encoding::Ansi;
    const QByteArrayView input(data + 1, qsizetype(size - 1));
    SilentNotifier notifier;
    TagList tags;
    const int added =
        TagCsv::importPlainBytes(tags, input, encoding, notifier, [](int, const QString &) {});
    if (added != (added < 0 ? -1 : int(tags.size())))
        std::abort();

    QSet<QString> names;
    QString text = TagCsv::plainHeader() + QStringLiteral("\r\n");
    for (const auto &tag : tags) {
        QString error;
        if (!CModTag::isValidName(tag->TagName) || names.contains(tag->TagName) ||
            !validateAddress(*tag, error))
            std::abort();
        names.insert(tag->TagName);
        text += TagCsv::plainRow(*tag) + QStringLiteral("\r\n");
    }
    if (tags.isEmpty())
        return 0;

    // The export of what was imported imports again to the same tags. ANSI
    // cannot carry characters beyond 255, so only Unicode is compared.
    QByteArray exported("\xFF\xFE", 2);
    exported.append(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
    TagList again;
    TagCsv::importPlainBytes(again, exported, TagCsv::Encoding::Unicode, notifier,
                             [](int, const QString &) { std::abort(); });
    if (again.size() != tags.size())
        std::abort();
    for (qsizetype i = 0; i < tags.size(); ++i) {
        const CModTag &a = *tags.at(i);
        const CModTag &b = *again.at(i);
        if (a.TagName != b.TagName || a.TagAddress != b.TagAddress || a.DataType != b.DataType ||
            a.ClientAccess != b.ClientAccess || a.Description != b.Description)
            std::abort();
    }
    return 0;
}
