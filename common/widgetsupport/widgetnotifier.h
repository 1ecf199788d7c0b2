#pragma once

#include "notifier.h"

#include <QPointer>
#include <QWidget>

// The core's questions as Qt dialogs: message boxes with the driver's title,
// and the file dialogs of the Windows program with their filters translated.
class WidgetNotifier : public Notifier
{
public:
    explicit WidgetNotifier(QWidget *parent = nullptr);
    void setParent(QWidget *parent) { m_parent = parent; }

    void showMessage(const QString &text, Icon icon) override;
    bool askYesNo(const QString &text) override;
    Answer askYesNoCancel(const QString &text) override;
    // An information box that closes itself after `seconds`, so that a start
    // nobody watches does not wait for a click.
    void showTimedMessage(const QString &text, int seconds) override;
    QString getOpenFileName(const FileDialog &dialog) override;
    QString getSaveFileName(const FileDialog &dialog) override;

    // "Name (*.x)|*.x|All files (*.*)|*.*|" as Qt writes it: "Name (*.x);;All files (*.*)".
    static QString qtFilter(const QString &windowsFilter);

private:
    QString runFileDialog(const FileDialog &dialog, bool save);

    QPointer<QWidget> m_parent;
};
