#pragma once

#include <QString>

// How the driver's core asks the user: message boxes, yes/no questions and
// file dialogs. The main window implements it with Qt dialogs; tests answer
// with a recorder. The core never opens a window itself.
class Notifier
{
public:
    enum class Icon { None, Stop, Question, Information };
    enum class Answer { Yes, No, Cancel };

    struct FileDialog
    {
        QString title;
        QString filter; // "Name (*.ext)|*.ext|All files (*.*)|*.*|" as the Windows dialogs had it
        QString defaultExtension;
        QString initialDirectory;
        QString defaultFileName;
    };

    virtual ~Notifier() = default;

    // An OK box.
    virtual void showMessage(const QString &text, Icon icon) = 0;
    // A message that closes by itself after `seconds` (or when dismissed);
    // returns when it has closed.
    virtual void showTimedMessage(const QString &text, int seconds)
    {
        Q_UNUSED(seconds)
        showMessage(text, Icon::Information);
    }
    // A Yes/No box with the question icon; true for Yes.
    virtual bool askYesNo(const QString &text) = 0;
    // A Yes/No/Cancel box with the question icon, for questions whose No
    // discards something: Escape and closing the box answer Cancel. A
    // notifier that cannot ask three ways answers Cancel, which keeps
    // everything as it is.
    virtual Answer askYesNoCancel(const QString &text)
    {
        Q_UNUSED(text)
        return Answer::Cancel;
    }
    // The chosen path, or an empty string when the user cancels. The open
    // dialog accepts only existing files; the save dialog asks before
    // overwriting one.
    virtual QString getOpenFileName(const FileDialog &dialog) = 0;
    virtual QString getSaveFileName(const FileDialog &dialog) = 0;
};
