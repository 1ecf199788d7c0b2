#include "writevaluedialog.h"

#include "cmodtag.h"
#include "datatypes.h"
#include "notifier.h"
#include "tagvaluetext.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

WriteValueDialog::WriteValueDialog(const CModTag &tag, Notifier &notifier, QWidget *parent)
    : QDialog(parent), m_notifier(notifier), m_typeCode(dialogTypeCode(tag))
{
    setWindowTitle(QStringLiteral("Tag Value to Write"));

    auto *tagName = new QLabel(tag.TagName, this);
    tagName->setObjectName(QStringLiteral("tagNameLabel"));
    tagName->setAlignment(Qt::AlignCenter);
    tagName->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    // Names can be long; the user must see all of it before writing.
    tagName->setMinimumWidth(tagName->fontMetrics().averageCharWidth() * 30);

    m_valueEdit = new QLineEdit(this);
    m_valueEdit->setObjectName(QStringLiteral("valueEdit"));

    auto *frame = new QFrame(this);
    frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
    auto *fields = new QGridLayout(frame);
    fields->addWidget(new QLabel(QStringLiteral("Tag:"), frame), 0, 0);
    fields->addWidget(tagName, 0, 1);
    fields->addWidget(new QLabel(QStringLiteral("Value:"), frame), 1, 0);
    fields->addWidget(m_valueEdit, 1, 1);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttonBox"));
    buttons->button(QDialogButtonBox::Ok)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &WriteValueDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &WriteValueDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(frame);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    m_valueEdit->setFocus(Qt::OtherFocusReason);
}

void WriteValueDialog::accept()
{
    const QString text = m_valueEdit->text();
    if (!isValueTextOfType(text, m_typeCode)) {
        // Nothing goes to the device for a text that is not wholly a value
        // of the tag's type; the user corrects it or cancels.
        m_notifier.showMessage(QStringLiteral("\"%1\" is not a value a %2 tag can take.")
                                   .arg(text, DataTypeCode::listName(m_typeCode)),
                               Notifier::Icon::Stop);
        m_valueEdit->setFocus(Qt::OtherFocusReason);
        m_valueEdit->selectAll();
        return;
    }
    m_valueText = text;
    QDialog::accept();
}
