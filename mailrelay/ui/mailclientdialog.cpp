#include "mailclientdialog.h"

#include "desktop.h"
#include "eventlistmodel.h"
#include "mailrelay.h"
#include "mailstrings.h"
#include "notifier.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLoggingCategory>
#include <QPushButton>
#include <QTableView>

Q_LOGGING_CATEGORY(mailWindowLog, "mailrelay.window")

MailClientDialog::MailClientDialog(MailRelay &relay, Notifier &notifier, QWidget *parent)
    : QDialog(parent), m_relay(relay), m_notifier(notifier)
{
    setWindowTitle(QLatin1StringView(Title));
    resize(610, 330); // the template's 405 by 201 dialog units

    auto *layout = new QGridLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Version 2.3"), this), 0, 0);
    layout->addWidget(new QLabel(QStringLiteral("Yahoo"), this), 0, 1);
    layout->addWidget(new QLabel(QStringLiteral("Gmail"), this), 0, 2);
    m_yahooCounter = new QLabel(QStringLiteral("0"), this);
    m_gmailCounter = new QLabel(QStringLiteral("0"), this);
    m_yahooCounter->setObjectName(QStringLiteral("yahooCounter"));
    m_gmailCounter->setObjectName(QStringLiteral("gmailCounter"));
    layout->addWidget(m_yahooCounter, 1, 1);
    layout->addWidget(m_gmailCounter, 1, 2);

    m_model = new EventListModel(relay.events(), this);
    m_eventView = new QTableView(this);
    m_eventView->setModel(m_model);
    m_eventView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_eventView->verticalHeader()->hide();
    m_eventView->setColumnWidth(EventListModel::DateColumn, 70 * 3 / 2);
    m_eventView->setColumnWidth(EventListModel::TimeColumn, 60 * 3 / 2);
    m_eventView->setColumnWidth(EventListModel::ChannelColumn, 70 * 3 / 2);
    m_eventView->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(m_eventView, 2, 0, 1, 3);

    m_closeButton = new QPushButton(QStringLiteral("Close"), this);
    m_closeButton->setDefault(true);
    connect(m_closeButton, &QPushButton::clicked, this, &MailClientDialog::accept);
    layout->addWidget(m_closeButton, 3, 2, Qt::AlignRight);
    layout->setRowStretch(2, 1);
    layout->setColumnStretch(0, 1);

    connect(
        &relay.queues(), &MailQueues::lengthShown, this,
        [this](MailProvider provider, int length) {
            QLabel *counter = provider == MailProvider::Yahoo ? m_yahooCounter : m_gmailCounter;
            counter->setText(QString::number(length));
        },
        Qt::QueuedConnection);
    connect(&relay, &MailRelay::drainedCloseDue, this, &MailClientDialog::closeWithoutAsking);
}

MailClientDialog::~MailClientDialog()
{
    m_relay.shutDown();
}

bool MailClientDialog::registerHostWindow(hostmsg::Desktop &desktop)
{
    m_hostWindow = desktop.createWindow(QLatin1StringView(Title));
    if (!m_hostWindow) {
        qCWarning(mailWindowLog).noquote()
            << "cannot register the window for the host runtime:" << desktop.errorString();
        return false;
    }
    m_hostWindow->setHandler([this](const hostmsg::Message &message) -> qint64 {
        if (message.msg == hostmsg::WM_ACTIVATE) {
            showNormal();
            raise();
            activateWindow();
            return 0;
        }
        return m_relay.handleMessage(message);
    });
    return true;
}

void MailClientDialog::closeWithoutAsking()
{
    m_closingWithoutAsking = true;
    reject();
}

void MailClientDialog::reject()
{
    if (m_finished)
        return;
    if (!m_closingWithoutAsking && !m_notifier.askYesNo(mailText(MailString::CloseQuestion)))
        return;
    finish(QDialog::Rejected);
}

void MailClientDialog::accept()
{
    if (!m_finished)
        finish(QDialog::Accepted);
}

void MailClientDialog::closeEvent(QCloseEvent *event)
{
    // The close box takes the cancel path; the event is ignored when the
    // answer was No.
    event->ignore();
    reject();
}

void MailClientDialog::finish(int result)
{
    m_finished = true;
    // No host message may reach a relay that is shutting down.
    m_hostWindow.reset();
    m_relay.shutDown();
    done(result);
}
