#pragma once

#include "notifier.h"

#include <QStringList>

#include <deque>

// Answers the core's questions from queues the test fills, and records every
// message shown.
class RecordingNotifier : public Notifier
{
public:
    struct Shown
    {
        QString text;
        Icon icon;
    };

    std::vector<Shown> messages;
    QStringList questions;
    std::vector<FileDialog> dialogs;

    std::deque<bool> yesNoAnswers; // empty: answers No
    // Yes/No/Cancel questions take their answer from here first, then from
    // yesNoAnswers (true Yes, false No); both empty: No.
    std::deque<Answer> yesNoCancelAnswers;
    struct Timed
    {
        QString text;
        int seconds;
    };
    std::vector<Timed> timedMessages;
    std::deque<QString> fileAnswers; // empty: cancels

    void showMessage(const QString &text, Icon icon) override { messages.push_back({text, icon}); }
    bool askYesNo(const QString &text) override
    {
        questions << text;
        if (yesNoAnswers.empty())
            return false;
        const bool answer = yesNoAnswers.front();
        yesNoAnswers.pop_front();
        return answer;
    }
    Answer askYesNoCancel(const QString &text) override
    {
        if (yesNoCancelAnswers.empty())
            return askYesNo(text) ? Answer::Yes : Answer::No;
        questions << text;
        const Answer answer = yesNoCancelAnswers.front();
        yesNoCancelAnswers.pop_front();
        return answer;
    }
    void showTimedMessage(const QString &text, int seconds) override
    {
        timedMessages.push_back({text, seconds});
    }
    QString getOpenFileName(const FileDialog &dialog) override { return answerFile(dialog); }
    QString getSaveFileName(const FileDialog &dialog) override { return answerFile(dialog); }

    QStringList messageTexts() const
    {
        QStringList texts;
        for (const auto &m : messages)
            texts << m.text;
        return texts;
    }

private:
    QString answerFile(const FileDialog &dialog)
    {
        dialogs.push_back(dialog);
        if (fileAnswers.empty())
            return QString();
        QString answer = fileAnswers.front();
        fileAnswers.pop_front();
        return answer;
    }
};
