#include "wizardsheet.h"

#include "nodeeditor.h"
#include "settingspage.h"

#include <QAbstractButton>
#include <QVBoxLayout>
#include <QWizardPage>

WizardSheet::WizardSheet(NodeEditor &editor, Notifier &notifier, QWidget *parent)
    : QWizard(parent), m_editor(editor), m_notifier(notifier)
{
    setWindowTitle(m_editor.caption());
    for (SettingsPage *page : m_editor.createPages(this)) {
        auto *step = new QWizardPage;
        step->setTitle(page->caption());
        auto *layout = new QVBoxLayout(step);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(page);
        const int id = addPage(step);
        Q_ASSERT(id == m_pages.size());
        Q_UNUSED(id);
        m_pages << page;
    }

    // QWizard goes back without asking the page; this sheet takes the page's
    // data first, as it does for Next.
    QAbstractButton *back = button(QWizard::BackButton);
    disconnect(back, nullptr, this, nullptr);
    connect(back, &QAbstractButton::clicked, this, &WizardSheet::goBack);

    connect(this, &QWizard::currentIdChanged, this, &WizardSheet::loadPage);
    connect(this, &QDialog::accepted, this, [this] { m_editor.writeBack(); });
}

SettingsPage *WizardSheet::settingsPage(int id) const
{
    return id >= 0 && id < m_pages.size() ? m_pages.at(id) : nullptr;
}

bool WizardSheet::validateCurrentPage()
{
    SettingsPage *page = currentSettingsPage();
    return page && page->take(m_notifier);
}

void WizardSheet::goBack()
{
    if (validateCurrentPage())
        back();
}

void WizardSheet::loadPage(int id)
{
    if (SettingsPage *page = settingsPage(id))
        page->load();
}
