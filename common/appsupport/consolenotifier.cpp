#include "consolenotifier.h"

#include <cstdio>

namespace {

void print(const char *kind, const QString &text)
{
    std::fprintf(stderr, "%s: %s\n", kind, qPrintable(text));
    std::fflush(stderr);
}

} // namespace

void ConsoleNotifier::showMessage(const QString &text, Icon)
{
    print("message", text);
}

bool ConsoleNotifier::askYesNo(const QString &text)
{
    print(m_answerYes ? "question (answered Yes)" : "question (answered No)", text);
    return m_answerYes;
}

Notifier::Answer ConsoleNotifier::askYesNoCancel(const QString &text)
{
    return askYesNo(text) ? Answer::Yes : Answer::No;
}

QString ConsoleNotifier::getOpenFileName(const FileDialog &dialog)
{
    print("file dialog (cancelled)", dialog.title);
    return QString();
}

QString ConsoleNotifier::getSaveFileName(const FileDialog &dialog)
{
    print("file dialog (cancelled)", dialog.title);
    return QString();
}
