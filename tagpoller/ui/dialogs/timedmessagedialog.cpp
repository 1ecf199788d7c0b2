#include "timedmessagedialog.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

TimedMessageDialog::TimedMessageDialog(const QString &message, QWidget *parent)
    : QDialog(parent), m_message(message)
{
    setWindowTitle(QStringLiteral("Orvala Modbus Driver"));

    auto *messageEdit = new QPlainTextEdit(message, this);
    messageEdit->setObjectName(QStringLiteral("messageEdit"));
    messageEdit->setEnabled(false);

    auto *okButton = new QPushButton(QStringLiteral("OK"), this);
    okButton->setObjectName(QStringLiteral("okButton"));
    okButton->setDefault(true);
    connect(okButton, &QPushButton::clicked, this, &TimedMessageDialog::accept);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(messageEdit);
    layout->addWidget(okButton, 0, Qt::AlignHCenter);

    m_closeTimer.setSingleShot(true);
    m_closeTimer.setInterval(DefaultTimeout);
    connect(&m_closeTimer, &QTimer::timeout, this, &TimedMessageDialog::close);
    connect(this, &QDialog::finished, &m_closeTimer, &QTimer::stop);
}

void TimedMessageDialog::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous() && !m_closeTimer.isActive())
        m_closeTimer.start();
}
