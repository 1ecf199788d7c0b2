#pragma once

#include "notifier.h"

// For a driver that runs without anyone at the screen (a host launch on a
// machine without a display, or an unattended test): messages go to the
// standard error stream, questions get the answer chosen at start (No unless
// told otherwise) and file dialogs are cancelled, so nothing ever waits for a
// click.
class ConsoleNotifier : public Notifier
{
public:
    explicit ConsoleNotifier(bool answerYes = false) : m_answerYes(answerYes) {}
    // "yes" answers Yes (a driver that is to close by itself when its host
    // runtime goes away); anything else answers No.
    static bool answerYesFromSetting(const QString &setting)
    {
        return setting.compare(QStringLiteral("yes"), Qt::CaseInsensitive) == 0;
    }

    void showMessage(const QString &text, Icon icon) override;
    bool askYesNo(const QString &text) override;
    // The same answer as askYesNo: Yes or No, never Cancel.
    Answer askYesNoCancel(const QString &text) override;
    QString getOpenFileName(const FileDialog &dialog) override;
    QString getSaveFileName(const FileDialog &dialog) override;

private:
    bool m_answerYes = false;
};
