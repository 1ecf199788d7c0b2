#include "layoutsettings.h"

#include "settingsvalue.h"

#include <QRegularExpression>
#include <QSettings>

#include <algorithm>

namespace {

const QString MainWindowSection = QStringLiteral("ModMainWnd/");
const QString ViewSection = QStringLiteral("ModView/");

QString columnKey(QLatin1StringView section, int column)
{
    return QString(section) + u'/' + QString::number(column);
}

} // namespace

WindowPlacement WindowPlacement::read(const QSettings &settings)
{
    WindowPlacement placement;
    placement.x = readSettingsInteger(settings, MainWindowSection + u'x', placement.x);
    placement.y = readSettingsInteger(settings, MainWindowSection + u'y', placement.y);
    placement.width =
        readSettingsInteger(settings, MainWindowSection + QStringLiteral("cx"), placement.width);
    placement.height =
        readSettingsInteger(settings, MainWindowSection + QStringLiteral("cy"), placement.height);
    return placement;
}

bool WindowPlacement::isStored(const QSettings &settings)
{
    return settings.contains(MainWindowSection + u'x') ||
           settings.contains(MainWindowSection + u'y');
}

void WindowPlacement::write(QSettings &settings) const
{
    settings.setValue(MainWindowSection + u'x', x);
    settings.setValue(MainWindowSection + u'y', y);
    settings.setValue(MainWindowSection + QStringLiteral("cx"), width);
    settings.setValue(MainWindowSection + QStringLiteral("cy"), height);
}

// Limits are applied in this order so that a screen smaller than the margins
// still gives a position of 0 rather than a negative one.
QRect WindowPlacement::placedOn(QSize screen) const
{
    const int left = std::max(0, std::min(x, screen.width() - VisibleMargin));
    const int top = std::max(0, std::min(y, screen.height() - VisibleMargin));
    const int placedWidth = std::min(std::max(width, MinimumWidth), screen.width());
    const int placedHeight = std::min(std::max(height, MinimumHeight), screen.height());
    return QRect(left, top, placedWidth, placedHeight);
}

SplitterPercentages SplitterPercentages::read(const QSettings &settings)
{
    const auto percentage = [&settings](const QString &key, const QString &defaultText) {
        const QString text = settings.value(key, defaultText).toString();
        return std::clamp(leadingNumber(text), Minimum, Maximum);
    };
    SplitterPercentages read;
    read.horizontal =
        percentage(ViewSection + QStringLiteral("HorzPercnt"), QStringLiteral("30.0"));
    read.vertical = percentage(ViewSection + QStringLiteral("VertPercnt"), QStringLiteral("70.0"));
    return read;
}

void SplitterPercentages::write(QSettings &settings) const
{
    settings.setValue(ViewSection + QStringLiteral("HorzPercnt"),
                      QString::asprintf("%3.6f", horizontal));
    settings.setValue(ViewSection + QStringLiteral("VertPercnt"),
                      QString::asprintf("%3.6f", vertical));
}

QList<int> readColumnWidths(const QSettings &settings, QLatin1StringView section, int columnCount)
{
    QList<int> widths;
    widths.reserve(columnCount);
    for (int column = 0; column < columnCount; ++column) {
        const int width =
            readSettingsInteger(settings, columnKey(section, column), DefaultColumnWidth);
        widths.append(width < 0 ? DefaultColumnWidth : width);
    }
    return widths;
}

void writeColumnWidths(QSettings &settings, QLatin1StringView section, const QList<int> &widths)
{
    for (int column = 0; column < widths.size(); ++column)
        settings.setValue(columnKey(section, column), widths.at(column));
}

double leadingNumber(const QString &text)
{
    static const QRegularExpression number(
        QStringLiteral("^\\s*[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?"));
    const QRegularExpressionMatch match = number.match(text);
    if (!match.hasMatch())
        return 0.0;
    // QString reads numbers in the C locale, whatever the user's locale is.
    return match.captured(0).trimmed().toDouble();
}
