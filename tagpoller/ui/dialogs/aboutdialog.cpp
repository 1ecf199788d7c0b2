#include "aboutdialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace {

QString contactText()
{
    return QStringLiteral(
        "Orvala Modbus Driver is made and supported by Quenlor.\n"
        "\n"
        "For help with the driver, licences or updates, contact Quenlor support or the "
        "system integrator who installed your Orvala HMI.\n"
        "\n"
        "When you report a problem, please give the version above, the numbers of any "
        "messages the driver showed (580xx), and, if you can, the project file and the "
        "event messages of the run.");
}

} // namespace

AboutDialog::AboutDialog(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("About Modbus Driver"));

    auto *title = new QLabel(QString(ProductTitle), this);
    title->setObjectName(QStringLiteral("titleLabel"));
    QFont titleFont = title->font();
    titleFont.setBold(true);
    title->setFont(titleFont);

    auto *version = new QLabel(QString(VersionText), this);
    version->setObjectName(QStringLiteral("versionLabel"));

    auto *contact = new QPlainTextEdit(contactText(), this);
    contact->setObjectName(QStringLiteral("contactText"));
    contact->setReadOnly(true);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->setObjectName(QStringLiteral("buttonBox"));
    connect(buttons, &QDialogButtonBox::accepted, this, &AboutDialog::accept);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addWidget(version);
    layout->addWidget(contact);
    layout->addWidget(buttons);
}
