#pragma once

#include <QLatin1StringView>
#include <QList>
#include <QRect>
#include <QSize>

class QSettings;

// The main window's layout as the settings store keeps it between runs: read
// when the window is built, written back when it closes.

// "ModMainWnd": the window rectangle.
struct WindowPlacement
{
    // Whatever was stored, this much of the window stays on the screen, and
    // the window is never smaller than the minimum size.
    static constexpr int VisibleMargin = 100;
    static constexpr int MinimumWidth = 400;
    static constexpr int MinimumHeight = 300;

    int x = 0;
    int y = 0;
    int width = 1000; // "cx"
    int height = 500; // "cy"

    static WindowPlacement read(const QSettings &settings);
    // False until a placement was written: the window's first start.
    static bool isStored(const QSettings &settings);
    void write(QSettings &settings) const;

    // The rectangle to use on a screen of `screen` size: x within 0 to
    // width - 100, y within 0 to height - 100, the size at least 400 x 300 and
    // at most the screen's.
    QRect placedOn(QSize screen) const;
};

// "ModView": where the splitters stand, as percentages of the client area,
// stored as text with six decimals.
struct SplitterPercentages
{
    static constexpr double Minimum = 10.0;
    static constexpr double Maximum = 90.0;

    double horizontal = 30.0; // "HorzPercnt": width of the left column
    double vertical = 70.0;   // "VertPercnt": height of the upper row

    // Text that is not a number reads as 0 (and so becomes 10); both values
    // are held to 10 to 90.
    static SplitterPercentages read(const QSettings &settings);
    void write(QSettings &settings) const;
};

// Column widths of a list, values "0", "1", ... of its section.
inline constexpr QLatin1StringView TagListColumnsSection{"ModTagList"};
inline constexpr QLatin1StringView MessageListColumnsSection{"ModMsgList"};
inline constexpr int TagListColumnCount = 6;
inline constexpr int MessageListColumnCount = 3;
inline constexpr int DefaultColumnWidth = 100;

// A missing, non-numeric or negative width reads as 100.
QList<int> readColumnWidths(const QSettings &settings, QLatin1StringView section, int columnCount);
void writeColumnWidths(QSettings &settings, QLatin1StringView section, const QList<int> &widths);

// The number at the start of `text`, as the C library's atof reads it: leading
// blanks, a sign, digits with an optional point and exponent; 0 when none.
double leadingNumber(const QString &text);
