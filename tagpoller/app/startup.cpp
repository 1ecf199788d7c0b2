#include "startup.h"

StartOptions StartOptions::parse(const QStringList &arguments)
{
    StartOptions options;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument.startsWith(u'-'))
            continue;
        // The first plain argument decides; it must be exactly this word.
        options.openLast = argument == QStringLiteral("OPEN_LAST");
        break;
    }
    return options;
}
