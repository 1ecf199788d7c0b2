#include "sqlinterfacedialog.h"

#include "bridgetexts.h"
#include "desktop.h"
#include "messagelog.h"
#include "notifier.h"
#include "sqlbridge.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QVBoxLayout>

SqlInterfaceDialog::SqlInterfaceDialog(SqlBridge &bridge, MessageLog &log, Notifier &notifier,
                                       QWidget *parent)
    : QDialog(parent), m_bridge(bridge), m_notifier(notifier)
{
    setWindowTitle(QString::fromLatin1(Title));
    setWindowFlag(Qt::WindowMinimizeButtonHint);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Messages"), this));
    m_messages = new QListView(this);
    m_messages->setModel(&log);
    m_messages->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_messages->setUniformItemSizes(true);
    m_messages->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    layout->addWidget(m_messages, 1);

    auto *bottom = new QHBoxLayout;
    m_version = new QLabel(
        BridgeText::versionField(SqlBridge::VersionMajor, SqlBridge::VersionMinor), this);
    bottom->addWidget(m_version);
    bottom->addStretch(1);
    bottom->addWidget(new QLabel(QStringLiteral("Tag Values Sent"), this));
    m_tagTotal = new QLabel(this);
    m_tagTotal->setMinimumWidth(80);
    bottom->addWidget(m_tagTotal);
    bottom->addWidget(new QLabel(QStringLiteral("Alarms Sent"), this));
    m_alarmTotal = new QLabel(this);
    m_alarmTotal->setMinimumWidth(80);
    bottom->addWidget(m_alarmTotal);
    bottom->addStretch(1);
    m_closeButton = new QPushButton(QStringLiteral("Close"), this);
    // No default button: Enter must not press Close.
    m_closeButton->setAutoDefault(false);
    m_closeButton->setDefault(false);
    bottom->addWidget(m_closeButton);
    layout->addLayout(bottom);
    resize(720, 300);

    connect(m_closeButton, &QPushButton::clicked, this, &SqlInterfaceDialog::reject);
    connect(&log, &QAbstractItemModel::rowsInserted, m_messages, &QListView::scrollToBottom);
    connect(&bridge, &SqlBridge::tagTotalChanged, this,
            [this](qint64 total) { m_tagTotal->setText(QString::number(total)); });
    connect(&bridge, &SqlBridge::alarmTotalChanged, this,
            [this](qint64 total) { m_alarmTotal->setText(QString::number(total)); });
    connect(&bridge, &SqlBridge::drainedCloseDue, this, &SqlInterfaceDialog::closeWithoutAsking,
            Qt::QueuedConnection);
}

void SqlInterfaceDialog::attach(hostmsg::Window &window)
{
    window.setHandler([this](const hostmsg::Message &message) -> qint64 {
        if (message.msg == hostmsg::WM_ACTIVATE) {
            raiseToFront();
            return 0;
        }
        return m_bridge.handleMessage(message);
    });
}

void SqlInterfaceDialog::raiseToFront()
{
    showNormal();
    raise();
    activateWindow();
}

void SqlInterfaceDialog::closeWithoutAsking()
{
    m_closingWithoutAsking = true;
    reject();
}

void SqlInterfaceDialog::accept()
{
    // Enter: nothing. The dialog ends only through Close, Escape or the host.
}

void SqlInterfaceDialog::reject()
{
    if (!m_closingWithoutAsking && !m_notifier.askYesNo(BridgeText::closeQuestion()))
        return;
    QDialog::reject();
}

QString SqlInterfaceDialog::versionText() const
{
    return m_version->text();
}

QString SqlInterfaceDialog::tagTotalText() const
{
    return m_tagTotal->text();
}

QString SqlInterfaceDialog::alarmTotalText() const
{
    return m_alarmTotal->text();
}
