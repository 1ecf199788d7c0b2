#include "errorfilewriter.h"

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
        FlushErrFile();
}

void ErrorFileWriter::OpenErrFile(const QString &name, const QString &projectFolder)
{
    if (!m_active || name.isEmpty())
        return;
    m_path = projectFolder.isEmpty() ? name : QDir(projectFolder).filePath(name);
    // Created now, so that write-outs only ever append to an existing file. If
    // it cannot be created, lines collect and every write-out tries again.
    QFile(m_path).open(QIODevice::WriteOnly | QIODevice::Append);
}

void ErrorFileWriter::AddErrLine(const QString &text)
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
        addLine(now, u": Error File Generation Stopped. ");
        FlushErrFile();
        m_active = false;
        return;
    }

    if (startsNow)
        addLine(now, u": Error File Generation Started. ");
    addLine(now, text);
    if (m_pendingLines.size() >= WriteOutThreshold)
        FlushErrFile();
}

void ErrorFileWriter::addLine(std::chrono::sys_seconds now, QStringView text)
{
    QString line = lineTimeText(now);
    line += u", ";
    line += text;
    line += u" \r\n";
    m_pendingLines.append(line);
}

void ErrorFileWriter::FlushErrFile()
{
    if (m_pendingLines.isEmpty())
        return;
    QFile file(m_path);
    // Unbuffered, so a failed write shows at the line it happened in.
    if (m_path.isEmpty() || !file.open(QIODevice::WriteOnly | QIODevice::Append |
                                       QIODevice::ExistingOnly | QIODevice::Unbuffered))
        return;

    qsizetype written = 0;
    for (const QString &line : std::as_const(m_pendingLines)) {
        const qint64 lineStart = file.size();
        const QByteArray bytes = utf16LittleEndian(line);
        if (file.write(bytes) != bytes.size()) {
            // Cut off what part of the line got through (a full disk), so
            // that the next write-out appends the whole line once.
            file.resize(lineStart);
            break;
        }
        ++written;
    }
    m_pendingLines.remove(0, written);
}
