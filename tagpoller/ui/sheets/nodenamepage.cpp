#include "nodenamepage.h"

#include "nameedit.h"
#include "objectnames.h"

#include <QFormLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

QString captionOf(NodeNamePage::Subject subject)
{
    return subject == NodeNamePage::Subject::Channel ? QStringLiteral("Channel Identification")
                                                     : QStringLiteral("Device");
}

QString hintOf(NodeNamePage::Subject subject)
{
    return subject == NodeNamePage::Subject::Channel
               ? QStringLiteral("A channel name can be from 1 to 40 characters in length. \n Names "
                                "can not contain spaces.")
               : QStringLiteral("A device name can be from 1 to 40 characters in length. \n Names "
                                "can not contain spaces.");
}

} // namespace

NodeNamePage::NodeNamePage(Subject subject, QString &name, NodeNameRule rule, QWidget *parent)
    : SettingsPage(captionOf(subject), parent)
    , m_subject(subject)
    , m_name(name)
    , m_rule(std::move(rule))
    , m_edit(new NameEdit(this))
{
    setObjectName(subject == Subject::Channel ? QStringLiteral("channelIdentificationPage")
                                              : QStringLiteral("devicePage"));
    m_edit->setObjectName(subject == Subject::Channel ? QStringLiteral("channelName")
                                                      : QStringLiteral("deviceName"));
    connect(m_edit, &QLineEdit::textEdited, this, &SettingsPage::changed);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(createStaticText(hintOf(subject)));
    if (subject == Subject::Device) {
        auto *form = new QFormLayout;
        form->addRow(new QLabel(QStringLiteral("Device Name"), this), m_edit);
        layout->addLayout(form);
    } else {
        layout->addWidget(m_edit);
    }
    layout->addStretch();
}

void NodeNamePage::load()
{
    m_edit->setName(m_name);
}

std::optional<FieldError> NodeNamePage::save()
{
    const QString name = m_edit->text();
    if (const std::optional<DriverString::Id> broken = m_rule.check(name))
        return FieldError{DriverString::text(*broken), m_edit};
    // A dot would split the host's item path; names already stored keep loading.
    if (name != m_name) {
        const auto kind =
            m_subject == Subject::Channel ? ObjectNames::Kind::Channel : ObjectNames::Kind::Device;
        if (const QString dotted = ObjectNames::checkNewName(name, kind); !dotted.isEmpty())
            return FieldError{dotted, m_edit};
    }
    m_name = name;
    return std::nullopt;
}
