#include "sessionnotifier.h"

#include "consolenotifier.h"
#include "widgetnotifier.h"

std::unique_ptr<Notifier> createSessionNotifier()
{
    if (qEnvironmentVariableIsSet("ORVALA_UNATTENDED"))
        return std::make_unique<ConsoleNotifier>(
            ConsoleNotifier::answerYesFromSetting(qEnvironmentVariable("ORVALA_UNATTENDED")));
    return std::make_unique<WidgetNotifier>();
}
