#pragma once

#include "commands.h"

#include <QCoreApplication>
#include <QHash>
#include <QList>

#include <initializer_list>

class QAction;
class QWidget;

// Every command of the main window as a QAction under its command number, with
// its menu text (and the key the text shows), status tip, icon and usual keys.
// The menus, the toolbar and the context menus show these actions; the command
// classes connect them and enable them.
class CommandActions
{
    Q_DECLARE_TR_FUNCTIONS(MainWindow)
public:
    // The actions belong to `window`, where their keys apply.
    explicit CommandActions(QWidget *window);

    QAction *action(Command::Id id) const { return m_actions.value(id); }

    void setEnabled(std::initializer_list<Command::Id> ids, bool enabled) const;
    // The actions of `ids` that are enabled now, in that order: a context
    // menu offers only what applies.
    QList<QAction *> enabledOf(const QList<Command::Id> &ids) const;

private:
    QAction *add(Command::Id id, const QString &text, const QString &statusTip,
                 const char *icon = nullptr);

    QWidget *m_window;
    QHash<int, QAction *> m_actions;
};
