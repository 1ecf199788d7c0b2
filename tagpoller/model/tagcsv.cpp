#include "tagcsv.h"

#include "datatypes.h"
#include "driverstrings.h"
#include "notifier.h"
#include "tagaddress.h"
#include "taglist.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace TagCsv {

namespace {

constexpr qsizetype AnsiLineLimit = 4096;
constexpr int PlainFieldCount = 5;
constexpr int MasterColumnCount = 41;
const QString LineEnd = QStringLiteral("\r\n");

// Commas inside a description are escaped with a backslash; nothing else is.
QString escapeCommas(const QString &text)
{
    QString escaped = text;
    escaped.replace(u',', QStringLiteral("\\,"));
    return escaped;
}

QByteArray encode(const QString &text, Encoding encoding)
{
    if (encoding == Encoding::Unicode) {
        QByteArray bytes("\xFF\xFE", 2);
        bytes.reserve(2 + text.size() * 2);
        for (QChar c : text) {
            bytes += char(c.unicode() & 0xFF);
            bytes += char(c.unicode() >> 8);
        }
        return bytes;
    }
    // One byte per character; a character beyond 255 has no byte of its own.
    QByteArray bytes(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        bytes[i] = c <= 0xFF ? char(c) : '?';
    }
    return bytes;
}

bool writeWholeFile(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

const char16_t *const MasterColumns[MasterColumnCount] = {
    u"Tag Name",
    u"Description",
    u"Eng. Data Type",
    u"Raw Data Type",
    u"Initial Value",
    u"Server Item",
    u"Access Path",
    u"Local Access",
    u"Client Access",
    u"Internet Access",
    u"Log On Change",
    u"Min. Value Clamp",
    u"Max. Value Clamp",
    u"Min. Value Clamp_Raw",
    u"Max. Value Clamp_Raw",
    u"Deadband",
    u"Discrete Alarm Trigger",
    u"Discrete Alarm Comment",
    u"Discrete Alarm Severity",
    u"Discrete Alarm Access Level",
    u"Discrete Alarm Action",
    u"Deviation Alarm Target",
    u"Deviation Alarm Min. %%",
    u"Deviation Alarm Min. Comment",
    u"Deviation Alarm Max. %%",
    u"Deviation Alarm Max. Comment",
    u"Deviation Alarm Severity",
    u"Deviation Alarm Access Level",
    u"Deviation Alarm Action",
    u"High High Alarm Trigger",
    u"High High Alarm Comment",
    u"High Alarm Trigger",
    u"High Alarm Comment",
    u"Low Alarm Trigger",
    u"Low Alarm Comment",
    u"Low Low Alarm Trigger",
    u"Low Low Alarm Comment",
    u"Level Alarm Severity",
    u"Level Alarm Access Level",
    u"Level Alarm Action",
    u"Retentive",
};

// Walks the project in tree order: channels, devices, and within a device its
// own tags before each group's (a group's own tags before its sub-groups').
class MasterExport
{
public:
    QString text = masterHeader() + LineEnd;

    int tagCount() const { return m_number; }

    void addChannels(const Channels &channels)
    {
        for (const auto &channel : channels) {
            for (const auto &device : channel->devices) {
                const QString prefix = channel->name + u'.' + device->name + u'.';
                addTags(device->tags, device->groups, prefix);
            }
        }
    }

private:
    void addTags(const TagList &tags, const TagGroups &groups, const QString &prefix)
    {
        for (const auto &tag : tags)
            addRow(*tag, prefix);
        for (const auto &group : groups)
            addTags(group->tags, group->groups, prefix + group->name + u'.');
    }

    void addRow(const CModTag &tag, const QString &prefix)
    {
        QString fields[MasterColumnCount];
        fields[0] = QStringLiteral("Tag_%1_%2").arg(m_number++).arg(tag.TagName).left(32);
        fields[1] = u'"' + escapeCommas(tag.Description).left(80) + u'"';
        fields[2] = DataTypeCode::masterCsvName(tag.DataType);
        fields[5] = prefix + tag.TagName;
        fields[7] = QStringLiteral("R/W");
        fields[8] = QStringLiteral("RO");
        fields[9] = QStringLiteral("None");
        fields[10] = QStringLiteral("N");
        for (int i = 0; i < MasterColumnCount; ++i) {
            if (i)
                text += u',';
            text += fields[i];
        }
        text += LineEnd;
    }

    int m_number = 0;
};

// Splits a row at unescaped commas: a backslash before a comma makes the comma
// literal and is dropped; any other backslash is text ("C:\\plc\\a" is a path,
// and export writes it as it is); blanks are trimmed from both ends of every
// field.
QStringList splitRow(QStringView line)
{
    QStringList fields;
    QString field;
    for (qsizetype i = 0; i < line.size() && fields.size() < PlainFieldCount; ++i) {
        const QChar c = line.at(i);
        if (c == u'\\') {
            if (i + 1 < line.size() && line.at(i + 1) == u',') {
                field += u',';
                ++i;
            } else {
                field += c;
            }
        } else if (c == u',') {
            fields << field;
            field.clear();
        } else {
            field += c;
        }
    }
    if (fields.size() < PlainFieldCount)
        fields << field;
    for (QString &f : fields) {
        qsizetype start = 0;
        qsizetype end = f.size();
        while (start < end && f.at(start) == u' ')
            ++start;
        while (end > start && f.at(end - 1) == u' ')
            --end;
        f = f.sliced(start, end - start);
    }
    while (fields.size() < PlainFieldCount)
        fields << QString();
    return fields;
}

// Digits and "."; the scan stops at a second "." and leaves the rest to the
// address check.
bool looksLikeAddress(QStringView address)
{
    if (address.isEmpty())
        return false;
    int dots = 0;
    for (QChar c : address) {
        if (c == u'.' && ++dots == 2)
            return true;
        if (c != u'.' && (c < u'0' || c > u'9'))
            return false;
    }
    return true;
}

QString unquoteDescription(const QString &field)
{
    QString description = field;
    if (description.startsWith(u'"'))
        description.remove(0, 1);
    if (description.endsWith(u'"'))
        description.chop(1);
    return description;
}

// The import error file: one UTF-16LE line per refused row. When it cannot be
// made, rows are still imported; the refusals are only counted.
class ErrorFile
{
public:
    void open(const QString &path)
    {
        if (path.isEmpty())
            return;
        m_file.setFileName(path);
        m_open = m_file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    }

    void add(int line, const QString &reason)
    {
        ++m_count;
        if (!m_open)
            return;
        const QString text = QStringLiteral("[Error, Line %1], %2 \r\n").arg(line).arg(reason);
        QByteArray bytes;
        bytes.reserve(text.size() * 2);
        for (QChar c : text) {
            bytes += char(c.unicode() & 0xFF);
            bytes += char(c.unicode() >> 8);
        }
        if (m_file.write(bytes) != bytes.size())
            m_writtenWhole = false;
    }

    int count() const { return m_count; }

    // Writes out what is buffered, so the file is complete before anyone is
    // told to read it; false when a line could not be written.
    bool close()
    {
        if (!m_open)
            return true;
        const bool flushed = m_file.flush() && m_file.error() == QFileDevice::NoError;
        m_file.close();
        m_open = false;
        return flushed && m_writtenWhole;
    }

private:
    QFile m_file;
    bool m_open = false;
    bool m_writtenWhole = true;
    int m_count = 0;
};

QString encodingName(Encoding encoding)
{
    return encoding == Encoding::Unicode ? QStringLiteral("Unicode") : QStringLiteral("ANSI");
}

void logLine(const TransferLog &log, const QString &text)
{
    if (log)
        log(text);
}

bool isImportable(QByteArrayView bytes, Encoding encoding)
{
    return bytes.size() > 2 && (encoding != Encoding::Unicode || bytes.startsWith("\xFF\xFE"));
}

// The reason a row is refused, or nothing; builds the tag on the way.
std::optional<QString> checkRow(const QStringList &fields, const TagList &target, CModTag &tag)
{
    const QString &name = fields[0];
    const QString &address = fields[1];
    if (!CModTag::isValidName(name))
        return QStringLiteral("Tag name not valid.");
    if (target.contains(name))
        return QStringLiteral("Duplicate Tag name.");
    if (!looksLikeAddress(address))
        return QStringLiteral("Address not valid.");
    tag.TagName = name;
    tag.TagAddress = address;
    tag.AddressNumber = AddressText::leadingNumber(address);
    const auto dataType = DataTypeCode::fromPlainCsvName(fields[2]);
    if (!dataType)
        return QStringLiteral("Error in Data type field.");
    tag.DataType = *dataType;
    const auto access = ClientAccessCode::fromPlainCsvName(fields[3]);
    if (!access)
        return QStringLiteral("Error in Client Access field.");
    tag.ClientAccess = *access;
    QString addressError;
    if (!validateAddress(tag, addressError))
        return addressError;
    tag.Description = unquoteDescription(fields[4]);
    return std::nullopt;
}

} // namespace

QString plainHeader()
{
    return QStringLiteral("TagName,Address,DataType,ClientAccess,Description");
}

QString plainRow(const CModTag &tag)
{
    return tag.TagName + u',' + tag.TagAddress + u',' + DataTypeCode::plainCsvName(tag.DataType) +
           u',' + ClientAccessCode::plainCsvName(tag.ClientAccess) + u',' + u'"' +
           escapeCommas(tag.Description) + u'"';
}

QString masterHeader()
{
    QString header;
    for (int i = 0; i < MasterColumnCount; ++i) {
        if (i)
            header += u',';
        header += QString::fromUtf16(MasterColumns[i]);
    }
    return header;
}

QString importErrorFilePath(const QString &path)
{
    // Only the file name's extension counts: a dot in a folder name is no
    // extension of the file.
    const QFileInfo info(path);
    const QString fileName = info.fileName();
    const qsizetype dot = fileName.lastIndexOf(u'.');
    if (dot < 0)
        return QString();
    QString errorPath =
        path.left(path.size() - (fileName.size() - dot - 1)) + QStringLiteral("txt");
    // Importing a .txt file must not empty the very file being imported.
    if (QFileInfo(errorPath).absoluteFilePath() == info.absoluteFilePath())
        errorPath += QStringLiteral(".txt");
    return errorPath;
}

bool exportPlain(const TagList &tags, const QString &path, Encoding encoding, Notifier &notifier,
                 const TransferLog &log)
{
    if (tags.isEmpty()) {
        notifier.showMessage(DriverString::text(DriverString::NoTagsToExport),
                             Notifier::Icon::Stop);
        return false;
    }
    QString text = plainHeader() + LineEnd;
    for (const auto &tag : tags)
        text += plainRow(*tag) + LineEnd;
    if (!writeWholeFile(path, encode(text, encoding))) {
        logLine(log,
                QStringLiteral("CSV export to %1 failed: the file cannot be written").arg(path));
        notifier.showMessage(DriverString::text(DriverString::FailedToOpenFile),
                             Notifier::Icon::Stop);
        return false;
    }
    logLine(log, QStringLiteral("Exported %1 tags to %2 (%3)")
                     .arg(tags.size())
                     .arg(path, encodingName(encoding)));
    return true;
}

bool exportMaster(const Channels &channels, const QString &path, Encoding encoding,
                  Notifier &notifier, const TransferLog &log)
{
    MasterExport exporter;
    exporter.addChannels(channels);
    if (!writeWholeFile(path, encode(exporter.text, encoding))) {
        logLine(log, QStringLiteral("CSV export of all tags to %1 failed: the file cannot be "
                                    "written")
                         .arg(path));
        notifier.showMessage(DriverString::text(DriverString::FailedToOpenFile),
                             Notifier::Icon::Stop);
        return false;
    }
    logLine(log, QStringLiteral("Exported all %1 tags of the project to %2 (%3)")
                     .arg(exporter.tagCount())
                     .arg(path, encodingName(encoding)));
    return true;
}

int importPlainBytes(TagList &target, QByteArrayView bytes, Encoding encoding, Notifier &notifier,
                     const std::function<void(int line, const QString &reason)> &refused)
{
    if (!isImportable(bytes, encoding))
        return -1;

    QString text;
    if (encoding == Encoding::Unicode) {
        const qsizetype units = (bytes.size() - 2) / 2;
        text.resize(units);
        for (qsizetype i = 0; i < units; ++i)
            text[i] = QChar(char16_t(quint8(bytes[2 + 2 * i]) | quint8(bytes[3 + 2 * i]) << 8));
    } else {
        text = QString::fromLatin1(bytes);
    }

    int added = 0;
    int lineNumber = 0;
    qsizetype position = 0;
    while (position < text.size()) {
        qsizetype end = text.indexOf(u'\n', position);
        if (end < 0)
            end = text.size();
        QString line = text.sliced(position, end - position);
        position = end + 1;
        line.remove(u'\r');
        if (line.isEmpty())
            break;
        ++lineNumber;

        // An over-long ANSI line is refused whole; reading its remainder as a
        // row of its own would import garbage.
        if (encoding == Encoding::Ansi && line.size() > AnsiLineLimit) {
            notifier.showMessage(QStringLiteral("Error: Line too long while importing Ansi Tags."),
                                 Notifier::Icon::None);
            refused(lineNumber, QStringLiteral("Line too long while importing Ansi Tags."));
            continue;
        }
        if (lineNumber == 1)
            continue; // the header, whatever it holds

        const QStringList fields = splitRow(line);
        int filled = 0;
        for (const QString &field : fields)
            filled += field.isEmpty() ? 0 : 1;
        if (filled < 4)
            continue;

        auto tag = std::make_shared<CModTag>();
        if (const auto reason = checkRow(fields, target, *tag)) {
            refused(lineNumber, *reason);
            continue;
        }
        target.append(std::move(tag));
        ++added;
    }
    return added;
}

bool importPlain(TagList &target, const QString &path, Encoding encoding, Notifier &notifier,
                 const TransferLog &log)
{
    const QString errorPath = importErrorFilePath(path);
    QFile file(path);
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    if (!file.isOpen() || !isImportable(bytes, encoding)) {
        logLine(log, QStringLiteral("CSV import of %1 failed: no %2 CSV file can be read there")
                         .arg(path, encodingName(encoding)));
        notifier.showMessage(DriverString::format(DriverString::CsvImportFailed, {path, errorPath}),
                             Notifier::Icon::Stop);
        return false;
    }
    ErrorFile errors;
    errors.open(errorPath);
    const int added =
        importPlainBytes(target, bytes, encoding, notifier,
                         [&](int line, const QString &reason) { errors.add(line, reason); });
    // The file the message points to is complete before the message shows.
    const bool errorFileComplete = errors.close();

    QString summary = QStringLiteral("Imported %1 tags from %2 (%3)")
                          .arg(added)
                          .arg(path, encodingName(encoding));
    if (errors.count() > 0) {
        summary += errorFileComplete && !errorPath.isEmpty()
                       ? QStringLiteral("; %1 rows refused, listed in %2")
                             .arg(errors.count())
                             .arg(errorPath)
                       : QStringLiteral("; %1 rows refused, the error file %2 could not be written")
                             .arg(errors.count())
                             .arg(errorPath);
    }
    logLine(log, summary);
    if (errors.count() > 0) {
        notifier.showMessage(DriverString::format(DriverString::CsvImportErrors, {errorPath}),
                             Notifier::Icon::Stop);
    }
    return added > 0;
}

} // namespace TagCsv
