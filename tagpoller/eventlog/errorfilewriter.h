#pragma once

#include "localclock.h"

#include <QFile>
#include <QString>
#include <QStringList>

#include <chrono>

// The trace file of one channel engine during a run: lines stamped with the
// local time, appended in UTF-16LE to "<channel>.txt" beside the project.
// Generation begins with the first line and stops by itself at the first line
// offered after the configured number of whole minutes; the file never grows
// after that in this run.
//
// With generation switched off the writer creates no file and every call
// returns at once, so engines may trace unconditionally.
//
// A fast poll traces hundreds of lines a second, so both ends are bounded:
// the file stops at a size limit with a last line that says so, and while the
// file cannot be written at most a fixed number of lines wait in memory; the
// lines refused meanwhile are counted and the count is written once the file
// takes lines again.
class ErrorFileWriter
{
public:
    // Pending lines that make a write-out: the file is not reopened for every line.
    static constexpr int WriteOutThreshold = 5;
    static constexpr int MinimumDurationMinutes = 1;
    static constexpr int MaximumDurationMinutes = 600;
    static constexpr qint64 DefaultMaximumFileBytes = 64LL * 1024 * 1024;
    static constexpr int DefaultMaximumPendingLines = 10000;

    ErrorFileWriter(bool generationEnabled, int durationMinutes,
                    WallClock clock = systemWallClockNow);
    // Writes out what is still pending while generation is active.
    ~ErrorFileWriter();

    ErrorFileWriter(const ErrorFileWriter &) = delete;
    ErrorFileWriter &operator=(const ErrorFileWriter &) = delete;

    // The file's size limit (the stop line included) and the bound of lines
    // kept in memory while the file cannot be written.
    void setLimits(qint64 maximumFileBytes, int maximumPendingLines);

    // Sets the file to `name` in `projectFolder` (the name alone when no
    // project folder is known) and creates it if it is missing, without
    // truncating or writing it. The name comes from a channel name, which a
    // file may hold with any characters: it is made a plain file name first,
    // so the file stays in the folder. Does nothing while inactive or for an
    // empty name.
    void open(const QString &name, const QString &projectFolder);

    // Offers one trace line.
    void addLine(const QString &text);

    // Appends the pending lines to the file. When the file cannot be opened
    // (it is never created here) or a line cannot be written whole, the lines
    // not written stay pending for the next write-out. A line that would take
    // the file past its size limit is not written: the stop line takes its
    // place and the writer becomes inactive.
    void writeOut();

    bool isActive() const { return m_active; }
    int durationMinutes() const { return m_durationMinutes; }
    const QString &path() const { return m_path; }
    int pendingLineCount() const { return int(m_pendingLines.size()); }
    // Lines refused since the last write-out because too many were pending.
    qint64 droppedLineCount() const { return m_droppedLines; }

private:
    void addLineAt(std::chrono::sys_seconds now, QStringView text);
    void addPendingLine(std::chrono::sys_seconds now, QStringView text);
    QString sizeLimitStopLine() const;
    void stopAtSizeLimit(QFile &file);

    qint64 m_maximumFileBytes = DefaultMaximumFileBytes;
    int m_maximumPendingLines = DefaultMaximumPendingLines;
    qint64 m_droppedLines = 0;

    bool m_active = false;
    int m_durationMinutes = 15;
    WallClock m_clock;
    QString m_path;
    QStringList m_pendingLines;
    bool m_started = false;
    std::chrono::sys_seconds m_startTime{};
};
