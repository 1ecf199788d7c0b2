#pragma once

#include <QList>
#include <QWizard>

class NodeEditor;
class Notifier;
class SettingsPage;

// The settings sheet of a node that has never been accepted: its pages one
// after the other. Leaving a page with Next or Back, and Finish on the last
// one, first takes the page's data with their checks; a failed check keeps
// the page. Finish gives the node the settings; Cancel leaves it untouched.
class WizardSheet : public QWizard
{
    Q_OBJECT
public:
    // `editor` and `notifier` must outlive the sheet.
    WizardSheet(NodeEditor &editor, Notifier &notifier, QWidget *parent = nullptr);

    // The page of wizard step `id` (0 for the first).
    SettingsPage *settingsPage(int id) const;
    SettingsPage *currentSettingsPage() const { return settingsPage(currentId()); }

    bool validateCurrentPage() override;

private:
    void goBack();
    void loadPage(int id);

    NodeEditor &m_editor;
    Notifier &m_notifier;
    QList<SettingsPage *> m_pages;
};
