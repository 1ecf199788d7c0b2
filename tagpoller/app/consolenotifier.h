#pragma once

#include "notifier.h"

// For a driver that runs without anyone at the screen (a host launch on a
// machine without a display, or an unattended test): messages go to the
// standard error stream, questions are answered No and file dialogs are
// cancelled, so nothing ever waits for a click.
class ConsoleNotifier : public Notifier
{
public:
    void showMessage(const QString &text, Icon icon) override;
    bool askYesNo(const QString &text) override;
    QString getOpenFileName(const FileDialog &dialog) override;
    QString getSaveFileName(const FileDialog &dialog) override;
};
