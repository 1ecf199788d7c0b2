#include "tabbedsheet.h"

#include "nodeeditor.h"
#include "settingspage.h"

#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

TabbedSheet::TabbedSheet(NodeEditor &editor, Notifier &notifier, QWidget *parent)
    : QDialog(parent)
    , m_editor(editor)
    , m_notifier(notifier)
    , m_tabs(new QTabWidget(this))
    , m_buttons(new QDialogButtonBox(
          QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Apply, this))
{
    setWindowTitle(m_editor.caption());
    m_tabs->setObjectName(QStringLiteral("pages"));
    // Every caption in view, as the sheets always showed them.
    m_tabs->setUsesScrollButtons(false);
    m_pages = m_editor.createPages(this);
    for (SettingsPage *page : std::as_const(m_pages)) {
        m_tabs->addTab(page, page->caption());
        connect(page, &SettingsPage::changed, this, &TabbedSheet::markChanged);
    }
    button(QDialogButtonBox::Apply)->setEnabled(false);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(m_buttons);

    connect(m_buttons, &QDialogButtonBox::accepted, this, &TabbedSheet::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &TabbedSheet::reject);
    connect(button(QDialogButtonBox::Apply), &QAbstractButton::clicked, this, &TabbedSheet::apply);
    connect(m_tabs, &QTabWidget::currentChanged, this, &TabbedSheet::switchPage);

    m_tabs->setCurrentIndex(m_activeIndex);
    activePage()->load();
}

QPushButton *TabbedSheet::button(QDialogButtonBox::StandardButton which) const
{
    return m_buttons->button(which);
}

SettingsPage *TabbedSheet::settingsPage(int index) const
{
    return index >= 0 && index < m_pages.size() ? m_pages.at(index) : nullptr;
}

void TabbedSheet::accept()
{
    if (!activePage()->take(m_notifier))
        return;
    m_editor.writeBack();
    QDialog::accept();
}

void TabbedSheet::apply()
{
    if (!activePage()->take(m_notifier))
        return;
    m_editor.writeBack();
    m_applied = true;
    button(QDialogButtonBox::Apply)->setEnabled(false);
}

// QTabWidget has switched already; the page being left comes back until its
// data are taken, and keeps the tab if they fail their checks.
void TabbedSheet::switchPage(int index)
{
    if (index == m_activeIndex)
        return;
    m_tabs->setCurrentIndex(m_activeIndex);
    if (!activePage()->take(m_notifier))
        return;
    m_activeIndex = index;
    m_tabs->setCurrentIndex(index);
    activePage()->load();
}

void TabbedSheet::markChanged()
{
    button(QDialogButtonBox::Apply)->setEnabled(true);
}
