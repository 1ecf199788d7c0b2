#pragma once

#include <QSettings>
#include <QString>

// The stored integers of the settings store. They are set by hand or by
// installers as often as by the driver, so a value that is not a whole number
// counts as missing and its default applies.
inline int readSettingsInteger(const QSettings &settings, const QString &key, int defaultValue)
{
    bool isNumber = false;
    const int value = settings.value(key).toInt(&isNumber);
    return isNumber ? value : defaultValue;
}
