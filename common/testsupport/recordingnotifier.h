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

    std::deque<bool> yesNoAnswers;   // empty: answers No
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
