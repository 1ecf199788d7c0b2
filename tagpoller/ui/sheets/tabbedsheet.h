#pragma once

#include <QDialog>
#include <QDialogButtonBox>
#include <QList>

class NodeEditor;
class Notifier;
class QPushButton;
class QTabWidget;
class SettingsPage;

// The settings sheet of an accepted node: its pages as tabs, with OK, Cancel
// and Apply. Leaving a tab takes its data with their checks (a failed check
// keeps the tab); OK and Apply take the active tab's data and give the node
// the settings. Apply is enabled by the user's changes after the last Apply.
class TabbedSheet : public QDialog
{
    Q_OBJECT
public:
    // `editor` and `notifier` must outlive the sheet.
    TabbedSheet(NodeEditor &editor, Notifier &notifier, QWidget *parent = nullptr);

    QTabWidget *tabs() const { return m_tabs; }
    QPushButton *button(QDialogButtonBox::StandardButton which) const;
    SettingsPage *settingsPage(int index) const;
    SettingsPage *activePage() const { return settingsPage(m_activeIndex); }

    // True once Apply has given the node the sheet's settings: the node has
    // changed even if the sheet is cancelled afterwards.
    bool hasApplied() const { return m_applied; }

    void accept() override;
    void apply();

private:
    void switchPage(int index);
    void markChanged();

    NodeEditor &m_editor;
    Notifier &m_notifier;
    QList<SettingsPage *> m_pages;
    QTabWidget *m_tabs;
    QDialogButtonBox *m_buttons;
    int m_activeIndex = 0;
    bool m_applied = false;
};
