#include "errorfilewriter.h"

#include "objectnames.h"

#include <QDir>
#include <QFile>

#include <algorithm>

namespace {

// The local time at the start of each line, for example "17-04-05 [14:03:07]".
QString lineTimeText(std::chrono::sys_seconds time)
{
    const auto local = toLocalTime(time);
    if (!local)
        return {};
    char text[64];
    const size_t length = std::strftime(text, sizeof text, "%y-%m-%d [%H:%M:%S]", &*local);
    return QString::fromLatin1(text, qsizetype(length));
}

QByteArray utf16LittleEndian(const QString &line)
{
    QByteArray bytes(line.size() * 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < line.size(); ++i) {
        const char16_t unit = line.at(i).unicode();
        bytes[2 * i] = char(unit & 0xFF);
        bytes[2 * i + 1] = char(unit >> 8);
    }
    return bytes;
}

} // namespace

ErrorFileWriter::ErrorFileWriter(bool generationEnabled, int durationMinutes, WallClock clock)
    : m_active(generationEnabled)
    , m_durationMinutes(std::clamp(durationMinutes, MinimumDurationMinutes, MaximumDurationMinutes))
    , m_clock(clock ? std::move(clock) : WallClock(systemWallClockNow))
{}

ErrorFileWriter::~ErrorFileWriter()
{
    if (m_active)
        writeOut();
}

void ErrorFileWriter::setLimits(qint64 maximumFileBytes, int maximumPendingLines)
{
    m_maximumFileBytes = std::max<qint64>(maximumFileBytes, 0);
    m_maximumPendingLines = std::max(maximumPendingLines, WriteOutThreshold);
}

void ErrorFileWriter::open(const QString &name, const QString &projectFolder)
{
    if (!m_active || name.isEmpty())
        return;
    const QString fileName = ObjectNames::safeFileName(name);
    m_path = projectFolder.isEmpty() ? fileName : QDir(projectFolder).filePath(fileName);
    // Created now, so that write-outs only ever append to an existing file. If
    // it cannot be created, lines collect and every write-out tries again.
    QFile(m_path).open(QIODevice::WriteOnly | QIODevice::Append);
}

void ErrorFileWriter::addLine(const QString &text)
{
    if (!m_active)
        return;

    const std::chrono::sys_seconds now = m_clock();
    const bool startsNow = !m_started;
    if (startsNow) {
        m_started = true;
        m_startTime = now;
    }

    // Measured either way round, so a clock set back cannot keep a file
    // growing past its duration.
    const auto elapsed = now >= m_startTime ? now - m_startTime : m_startTime - now;
    if (std::chrono::duration_cast<std::chrono::minutes>(elapsed).count() > m_durationMinutes) {
        addLineAt(now, u": Error File Generation Stopped. ");
        writeOut();
        m_active = false;
        return;
    }

    if (startsNow)
        addPendingLine(now, u": Error File Generation Started. ");
    addPendingLine(now, text);
    if (m_pendingLines.size() >= WriteOutThreshold)
        writeOut();
}

// While the file cannot be written the pending lines stop at their bound; the
// lines refused are only counted, and the count goes into the file after them.
void ErrorFileWriter::addPendingLine(std::chrono::sys_seconds now, QStringView text)
{
    if (m_pendingLines.size() >= m_maximumPendingLines) {
        ++m_droppedLines;
        return;
    }
    addLineAt(now, text);
}

void ErrorFileWriter::addLineAt(std::chrono::sys_seconds now, QStringView text)
{
    QString line = lineTimeText(now);
    line += u", ";
    line += text;
    line += u" \r\n";
    m_pendingLines.append(line);
}

void ErrorFileWriter::writeOut()
{
    if (m_pendingLines.isEmpty())
        return;
    QFile file(m_path);
    // Unbuffered, so a failed write shows at the line it happened in.
    if (m_path.isEmpty() || !file.open(QIODevice::WriteOnly | QIODevice::Append |
                                       QIODevice::ExistingOnly | QIODevice::Unbuffered))
        return;

    // Room is kept for the stop line, so the file never passes its limit
    // unless an earlier run filled it already.
    const qint64 stopLineBytes = utf16LittleEndian(sizeLimitStopLine()).size();
    // Cuts off what part of a line got through (a full disk), so that the
    // next write-out appends the whole line once.
    const auto writeWhole = [&file](const QByteArray &bytes) {
        const qint64 lineStart = file.size();
        if (file.write(bytes) == bytes.size())
            return true;
        file.resize(lineStart);
        return false;
    };
    const auto fits = [&](const QByteArray &bytes) {
        return file.size() + bytes.size() + stopLineBytes <= m_maximumFileBytes;
    };

    qsizetype written = 0;
    for (const QString &line : std::as_const(m_pendingLines)) {
        const QByteArray bytes = utf16LittleEndian(line);
        if (!fits(bytes))
            return stopAtSizeLimit(file);
        if (!writeWhole(bytes))
            break;
        ++written;
    }
    m_pendingLines.remove(0, written);
    if (!m_pendingLines.isEmpty() || m_droppedLines == 0)
        return;

    QString notice = lineTimeText(m_clock());
    notice += QStringLiteral(", : %1 trace lines were dropped while the file could not be "
                             "written. \r\n")
                  .arg(m_droppedLines);
    const QByteArray bytes = utf16LittleEndian(notice);
    if (!fits(bytes))
        return stopAtSizeLimit(file);
    if (writeWhole(bytes))
        m_droppedLines = 0;
}

QString ErrorFileWriter::sizeLimitStopLine() const
{
    QString line = lineTimeText(m_clock());
    line += QStringLiteral(", : Error File Generation Stopped. The file reached its size limit of "
                           "%1 bytes. \r\n")
                .arg(m_maximumFileBytes);
    return line;
}

void ErrorFileWriter::stopAtSizeLimit(QFile &file)
{
    const QByteArray bytes = utf16LittleEndian(sizeLimitStopLine());
    const qint64 lineStart = file.size();
    if (file.write(bytes) != bytes.size())
        file.resize(lineStart);
    m_pendingLines.clear();
    m_droppedLines = 0;
    m_active = false;
}
