#pragma once

#include "localclock.h"

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
class ErrorFileWriter
{
public:
    // Pending lines that make a write-out: the file is not reopened for every line.
    static constexpr int WriteOutThreshold = 5;
    static constexpr int MinimumDurationMinutes = 1;
    static constexpr int MaximumDurationMinutes = 600;

    ErrorFileWriter(bool generationEnabled, int durationMinutes,
                    WallClock clock = systemWallClockNow);
    // Writes out what is still pending while generation is active.
    ~ErrorFileWriter();

    ErrorFileWriter(const ErrorFileWriter &) = delete;
    ErrorFileWriter &operator=(const ErrorFileWriter &) = delete;

    // Sets the file to `name` in `projectFolder` (the name alone when no
    // project folder is known) and creates it if it is missing, without
    // truncating or writing it. Does nothing while inactive or for an empty name.
    void OpenErrFile(const QString &name, const QString &projectFolder);

    // Offers one trace line.
    void AddErrLine(const QString &text);

    // Appends the pending lines to the file. When the file cannot be opened
    // (it is never created here) or a line cannot be written whole, the lines
    // not written stay pending for the next write-out.
    void FlushErrFile();

    bool isActive() const { return m_active; }
    int durationMinutes() const { return m_durationMinutes; }
    const QString &path() const { return m_path; }
    int pendingLineCount() const { return int(m_pendingLines.size()); }

private:
    void addLine(std::chrono::sys_seconds now, QStringView text);

    bool m_active = false;
    int m_durationMinutes = 15;
    WallClock m_clock;
    QString m_path;
    QStringList m_pendingLines;
    bool m_started = false;
    std::chrono::sys_seconds m_startTime{};
};
