#include "tagdialog.h"

#include "datatypes.h"
#include "driverstrings.h"
#include "notifier.h"
#include "objectnames.h"
#include "tagaddress.h"
#include "tagaddressedit.h"
#include "taglist.h"
#include "tagnameedit.h"
#include "textincrement.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include <optional>

namespace {

// The longest address text: six register digits, ".", two bit digits.
constexpr int AddressInputLimit = 9;
constexpr quint32 LowestScanRate = 100;
constexpr quint32 HighestScanRate = 100000;
constexpr quint32 ScanRateStep = 100;

// The fields a project file keeps, but the name, without the run-time state.
void copySettings(const CModTag &from, CModTag &to)
{
    to.Description = from.Description;
    to.TagAddress = from.TagAddress;
    to.AddressNumber = from.AddressNumber;
    to.BitNumber = from.BitNumber;
    to.DataType = from.DataType;
    to.ClientAccess = from.ClientAccess;
    to.ScanRate = from.ScanRate;
}

std::shared_ptr<CModTag> copyOfStoredFields(const CModTag &tag)
{
    auto copy = std::make_shared<CModTag>();
    copy->TagName = tag.TagName;
    copySettings(tag, *copy);
    return copy;
}

// The scan rate field reads as an unsigned decimal number, as the Windows
// editor read it: surrounding blanks allowed, no sign.
std::optional<quint32> parseUnsigned(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || !trimmed.front().isDigit())
        return std::nullopt;
    bool ok = false;
    const uint value = trimmed.toUInt(&ok, 10);
    return ok ? std::optional<quint32>(value) : std::nullopt;
}

} // namespace

TagDialog::TagDialog(TagList &tags, Notifier &notifier, QWidget *parent)
    : QDialog(parent), m_tags(tags), m_notifier(notifier), m_workingTag(std::make_shared<CModTag>())
{
    buildControls();
    showWorkingTag();
}

TagDialog::TagDialog(CModTag &tag, TagList &tags, Notifier &notifier, QWidget *parent)
    : QDialog(parent)
    , m_tags(tags)
    , m_notifier(notifier)
    , m_editedTag(&tag)
    , m_workingTag(copyOfStoredFields(tag))
{
    buildControls();
    m_addDefaultButton->hide();
    m_addNextButton->hide();
    showWorkingTag();
}

void TagDialog::buildControls()
{
    setWindowTitle(QStringLiteral("Tag Properties"));

    m_nameEdit = new TagNameEdit(this);
    m_nameEdit->setObjectName(QStringLiteral("nameEdit"));
    m_nameEdit->setInputLimit(CModTag::MaxNameLength);
    m_addressEdit = new TagAddressEdit(this);
    m_addressEdit->setObjectName(QStringLiteral("addressEdit"));
    m_addressEdit->setInputLimit(AddressInputLimit);
    m_descriptionEdit = new QLineEdit(this);
    m_descriptionEdit->setObjectName(QStringLiteral("descriptionEdit"));

    m_addDefaultButton = new QToolButton(this);
    m_addDefaultButton->setObjectName(QStringLiteral("addDefaultButton"));
    m_addDefaultButton->setIcon(QIcon::fromTheme(QStringLiteral("document-new"),
                                                 style()->standardIcon(QStyle::SP_FileIcon)));
    m_addDefaultButton->setToolTip(QStringLiteral("Add this tag and start a new one"));
    connect(m_addDefaultButton, &QToolButton::clicked, this, &TagDialog::addAndStartDefault);

    m_addNextButton = new QToolButton(this);
    m_addNextButton->setObjectName(QStringLiteral("addNextButton"));
    m_addNextButton->setIcon(QIcon::fromTheme(QStringLiteral("go-next"),
                                              style()->standardIcon(QStyle::SP_ArrowForward)));
    m_addNextButton->setToolTip(
        QStringLiteral("Add this tag and continue with the next name and address"));
    connect(m_addNextButton, &QToolButton::clicked, this, &TagDialog::addAndStartNext);

    auto *identification = new QGroupBox(QStringLiteral("Identification"), this);
    auto *identificationLayout = new QGridLayout(identification);
    identificationLayout->addWidget(new QLabel(QStringLiteral("Name:"), identification), 0, 0);
    identificationLayout->addWidget(m_nameEdit, 0, 1);
    identificationLayout->addWidget(m_addDefaultButton, 0, 2);
    identificationLayout->addWidget(new QLabel(QStringLiteral("Address:"), identification), 1, 0);
    identificationLayout->addWidget(m_addressEdit, 1, 1);
    identificationLayout->addWidget(m_addNextButton, 1, 2);
    identificationLayout->addWidget(new QLabel(QStringLiteral("Description:"), identification), 2,
                                    0);
    identificationLayout->addWidget(m_descriptionEdit, 2, 1, 1, 2);

    m_dataTypeList = new QComboBox(this);
    m_dataTypeList->setObjectName(QStringLiteral("dataTypeList"));
    // Every type the run time decodes from the device; each item carries its code.
    for (int code = DataTypeCode::FirstDialogCode; code <= DataTypeCode::LastDialogCode; ++code)
        m_dataTypeList->addItem(DataTypeCode::dialogName(code), code);
    m_clientAccessList = new QComboBox(this);
    m_clientAccessList->setObjectName(QStringLiteral("clientAccessList"));
    for (int code : {ClientAccessCode::ReadOnly, ClientAccessCode::ReadWrite})
        m_clientAccessList->addItem(ClientAccessCode::dialogName(code));
    // The scan rate is kept in the project file and checked here, but the
    // dialog does not show it.
    m_scanRateEdit = new QLineEdit(this);
    m_scanRateEdit->setObjectName(QStringLiteral("scanRateEdit"));

    auto *dataProperties = new QGroupBox(QStringLiteral("Data properties"), this);
    auto *dataLayout = new QFormLayout(dataProperties);
    dataLayout->addRow(QStringLiteral("Data type:"), m_dataTypeList);
    dataLayout->addRow(QStringLiteral("Client access:"), m_clientAccessList);
    // Shown: with "HonourScanRates" set, the rate decides how often the tag's
    // frame is read.
    dataLayout->addRow(QStringLiteral("Scan rate:"), m_scanRateEdit);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttonBox"));
    connect(buttons, &QDialogButtonBox::accepted, this, &TagDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TagDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(identification);
    layout->addWidget(dataProperties);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void TagDialog::showWorkingTag()
{
    const CModTag &tag = *m_workingTag;
    m_nameEdit->setStoredText(tag.TagName);
    m_addressEdit->setStoredText(tag.TagAddress);
    m_descriptionEdit->setText(tag.Description);
    // A code the list does not offer (Double from a CSV file, say) is shown
    // as one more entry, so that editing the description leaves it alone;
    // the user may still pick an offered type instead.
    constexpr int offeredTypes = DataTypeCode::LastDialogCode - DataTypeCode::FirstDialogCode + 1;
    while (m_dataTypeList->count() > offeredTypes)
        m_dataTypeList->removeItem(m_dataTypeList->count() - 1);
    int typeIndex = m_dataTypeList->findData(tag.DataType);
    if (typeIndex < 0) {
        const QString name = DataTypeCode::listName(tag.DataType);
        m_dataTypeList->addItem(
            name.isEmpty() ? QStringLiteral("(type %1)").arg(tag.DataType) : name, tag.DataType);
        typeIndex = m_dataTypeList->count() - 1;
    }
    m_dataTypeList->setCurrentIndex(typeIndex);
    m_clientAccessList->setCurrentIndex(tag.ClientAccess);
    m_scanRateEdit->setText(QString::number(quint32(tag.ScanRate)));
}

bool TagDialog::refuse(QWidget *control, const QString &message)
{
    m_notifier.showMessage(message, Notifier::Icon::Stop);
    control->setFocus(Qt::OtherFocusReason);
    return false;
}

bool TagDialog::isNameTakenByAnotherTag(const QString &name) const
{
    const CModTag *first = m_tags.find(name);
    if (first == nullptr)
        return false;
    if (first != m_editedTag)
        return true;
    // The list finds the first tag of a name; a project file may hold a second
    // one behind the tag being edited.
    for (const auto &tag : m_tags) {
        if (tag.get() != m_editedTag && tag->TagName == name)
            return true;
    }
    return false;
}

bool TagDialog::takeScanRate()
{
    const std::optional<quint32> scanRate = parseUnsigned(m_scanRateEdit->text());
    const bool inRange = scanRate && *scanRate >= LowestScanRate && *scanRate <= HighestScanRate;
    if (!inRange && m_scanRateEdit->isHidden()) {
        // Nobody can see or correct the field: a value out of range (from a
        // file) stays as stored instead of making the dialog impossible to accept.
        return true;
    }
    if (!scanRate)
        return refuse(m_scanRateEdit, QStringLiteral("Enter a positive integer."));
    if (*scanRate < LowestScanRate || *scanRate > HighestScanRate)
        return refuse(m_scanRateEdit, QStringLiteral("Enter an integer between %1 and %2.")
                                          .arg(LowestScanRate)
                                          .arg(HighestScanRate));
    m_workingTag->ScanRate = qint32(*scanRate / ScanRateStep * ScanRateStep);
    m_scanRateEdit->setText(QString::number(m_workingTag->ScanRate));
    return true;
}

bool TagDialog::takeData()
{
    CModTag &tag = *m_workingTag;

    const QString name = m_nameEdit->text();
    if (name.isEmpty())
        return refuse(m_nameEdit, DriverString::text(DriverString::EnterTagName));
    if (isNameTakenByAnotherTag(name))
        return refuse(m_nameEdit, DriverString::text(DriverString::TagNameExists));
    // A dot would split the host's item path; names already stored keep loading.
    if (m_editedTag == nullptr || name != m_editedTag->TagName) {
        const QString dotted = ObjectNames::checkNewName(name, ObjectNames::Kind::Tag);
        if (!dotted.isEmpty())
            return refuse(m_nameEdit, dotted);
    }
    tag.TagName = name;

    tag.Description = m_descriptionEdit->text();

    if (!takeScanRate())
        return false;

    tag.TagAddress = m_addressEdit->text();
    tag.ClientAccess = m_clientAccessList->currentIndex();
    tag.DataType = m_dataTypeList->currentData().toInt();

    if (tag.TagAddress.isEmpty())
        return refuse(m_addressEdit, DriverString::text(DriverString::EnterAddress));

    normalizeAddress(tag, NormalizeStep::BeforeValidation);
    QString error;
    if (!validateAddress(tag, error, &m_notifier)) {
        // The message, if the failure has one, has been shown.
        m_addressEdit->setFocus(Qt::OtherFocusReason);
        return false;
    }
    normalizeAddress(tag, NormalizeStep::AfterValidation);
    m_addressEdit->setStoredText(tag.TagAddress);
    return true;
}

void TagDialog::addWorkingTag()
{
    CModTag *added = m_workingTag.get();
    m_tags.append(std::move(m_workingTag));
    ++m_addedCount;
    m_workingTag = std::make_shared<CModTag>();
    Q_EMIT tagAdded(added);
}

void TagDialog::addAndStartDefault()
{
    if (isEditMode() || !takeData())
        return;
    addWorkingTag();
    showWorkingTag();
}

void TagDialog::addAndStartNext()
{
    if (isEditMode() || !takeData())
        return;
    std::shared_ptr<CModTag> next = copyOfStoredFields(*m_workingTag);
    next->TagName = incrementedText(next->TagName);
    next->TagAddress = incrementedText(next->TagAddress);
    addWorkingTag();
    m_workingTag = std::move(next);
    showWorkingTag();
}

void TagDialog::applyToEditedTag()
{
    const CModTag &taken = *m_workingTag;
    // A new name goes through the list, which keeps its name index.
    if (m_editedTag->TagName != taken.TagName)
        m_tags.rename(m_editedTag, taken.TagName);
    copySettings(taken, *m_editedTag);
    m_editedTag->flags |= CModTag::Redraw;
}

void TagDialog::accept()
{
    if (!takeData())
        return;
    if (isEditMode())
        applyToEditedTag();
    else
        addWorkingTag();
    QDialog::accept();
}
