#include "dialogtesting.h"
#include "driverstrings.h"
#include "tagaddressedit.h"
#include "tagdialog.h"
#include "taglist.h"
#include "tagnameedit.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QToolButton>

namespace {

using namespace Qt::StringLiterals;
using dialogtesting::child;
using dialogtesting::retype;
using dialogtesting::showActive;
using dialogtesting::str;

std::string message(DriverString::Id id)
{
    return str(DriverString::text(id));
}

std::shared_ptr<CModTag> makeTag(const QString &name, const QString &address = u"400001"_s,
                                 int dataType = 5)
{
    auto tag = std::make_shared<CModTag>();
    tag->TagName = name;
    tag->TagAddress = address;
    tag->DataType = dataType;
    return tag;
}

// The dialog's controls, found by their object names.
struct TagControls
{
    explicit TagControls(const TagDialog &dialog)
        : name(child<TagNameEdit>(dialog, "nameEdit"))
        , address(child<TagAddressEdit>(dialog, "addressEdit"))
        , description(child<QLineEdit>(dialog, "descriptionEdit"))
        , dataType(child<QComboBox>(dialog, "dataTypeList"))
        , clientAccess(child<QComboBox>(dialog, "clientAccessList"))
        , scanRate(child<QLineEdit>(dialog, "scanRateEdit"))
        , addDefault(child<QToolButton>(dialog, "addDefaultButton"))
        , addNext(child<QToolButton>(dialog, "addNextButton"))
        , ok(child<QDialogButtonBox>(dialog, "buttonBox")->button(QDialogButtonBox::Ok))
        , cancel(child<QDialogButtonBox>(dialog, "buttonBox")->button(QDialogButtonBox::Cancel))
    {}

    void chooseDataType(const QString &name) const
    {
        dataType->setCurrentIndex(dataType->findText(name));
        ASSERT_GE(dataType->currentIndex(), 0) << str(name);
    }

    TagNameEdit *name;
    TagAddressEdit *address;
    QLineEdit *description;
    QComboBox *dataType;
    QComboBox *clientAccess;
    QLineEdit *scanRate;
    QToolButton *addDefault;
    QToolButton *addNext;
    QPushButton *ok;
    QPushButton *cancel;
};

class TagDialogTest : public ::testing::Test
{
protected:
    void click(QAbstractButton *button) { QTest::mouseClick(button, Qt::LeftButton); }

    // The texts shown since the last call, each checked for the stop icon.
    std::vector<std::string> takeMessages()
    {
        std::vector<std::string> texts;
        for (const auto &shown : notifier.messages) {
            EXPECT_EQ(shown.icon, Notifier::Icon::Stop) << str(shown.text);
            texts.push_back(str(shown.text));
        }
        notifier.messages.clear();
        return texts;
    }

    std::vector<std::string> names() const
    {
        std::vector<std::string> result;
        for (const auto &tag : tags)
            result.push_back(str(tag->TagName));
        return result;
    }

    TagList tags;
    RecordingNotifier notifier;
};

using Messages = std::vector<std::string>;

TEST_F(TagDialogTest, NewTagStartsFromTheDefaults)
{
    TagDialog dialog(tags, notifier);
    const TagControls controls(dialog);
    EXPECT_EQ(str(dialog.windowTitle()), "Tag Properties");
    EXPECT_FALSE(dialog.isEditMode());
    EXPECT_TRUE(controls.name->text().isEmpty());
    EXPECT_EQ(str(controls.address->text()), "400001");
    EXPECT_TRUE(controls.description->text().isEmpty());
    EXPECT_EQ(str(controls.dataType->currentText()), "Word");
    EXPECT_EQ(str(controls.clientAccess->currentText()), "Read\\Write");
    EXPECT_EQ(str(controls.scanRate->text()), "1000");
    EXPECT_FALSE(controls.scanRate->isHidden());
    EXPECT_FALSE(controls.addDefault->isHidden());
    EXPECT_FALSE(controls.addNext->isHidden());
    EXPECT_EQ(controls.name->inputLimit(), 40);
    EXPECT_EQ(controls.address->inputLimit(), 9);
}

TEST_F(TagDialogTest, ListsOfferTheDialogNamesInCodeOrder)
{
    TagDialog dialog(tags, notifier);
    const TagControls controls(dialog);
    QStringList types;
    for (int i = 0; i < controls.dataType->count(); ++i)
        types << controls.dataType->itemText(i);
    EXPECT_EQ(str(types.join(u',')), "Boolean,Char,Byte,Short,Word,Long,DWord,Float");
    QStringList access;
    for (int i = 0; i < controls.clientAccess->count(); ++i)
        access << controls.clientAccess->itemText(i);
    EXPECT_EQ(str(access.join(u',')), "Read Only,Read\\Write");
}

TEST_F(TagDialogTest, OkAppendsTheTagToTheEndOfTheList)
{
    tags.append(makeTag(u"First"_s));
    TagDialog dialog(tags, notifier);
    QSignalSpy added(&dialog, &TagDialog::tagAdded);
    const TagControls controls(dialog);
    QTest::keyClicks(controls.name, u"Pump_1"_s);
    retype(controls.address, u"300010"_s);
    controls.chooseDataType(u"Float"_s);
    controls.clientAccess->setCurrentIndex(0);
    QTest::keyClicks(controls.description, u"Outlet pressure"_s);
    click(controls.ok);

    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(takeMessages().empty());
    ASSERT_EQ(names(), (std::vector<std::string>{"First", "Pump_1"}));
    const CModTag &tag = *tags.at(1);
    EXPECT_EQ(str(tag.TagAddress), "300010");
    EXPECT_EQ(tag.AddressNumber, 300010);
    EXPECT_EQ(tag.DataType, 8);
    EXPECT_EQ(tag.ClientAccess, 0);
    EXPECT_EQ(str(tag.Description), "Outlet pressure");
    EXPECT_EQ(tag.ScanRate, 1000);
    EXPECT_EQ(dialog.addedCount(), 1);
    ASSERT_EQ(added.count(), 1);
    EXPECT_EQ(added.at(0).at(0).value<CModTag *>(), &tag);
    EXPECT_EQ(tags.find(u"Pump_1"_s), &tag);
}

TEST_F(TagDialogTest, CancelAddsNothing)
{
    TagDialog dialog(tags, notifier);
    const TagControls controls(dialog);
    QTest::keyClicks(controls.name, u"Pump_1"_s);
    click(controls.cancel);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_TRUE(tags.isEmpty());
    EXPECT_EQ(dialog.addedCount(), 0);
}

TEST_F(TagDialogTest, NextButtonCountsNamesAndRegisterBitsUntilBit17IsRefused)
{
    TagDialog dialog(tags, notifier);
    ASSERT_TRUE(showActive(dialog));
    const TagControls controls(dialog);
    QTest::keyClicks(controls.name, u"Tag_9"_s);
    retype(controls.address, u"400001.15"_s);
    controls.chooseDataType(u"Boolean"_s);

    click(controls.addNext);
    EXPECT_EQ(str(controls.name->text()), "Tag_10");
    EXPECT_EQ(str(controls.address->text()), "400001.16");
    EXPECT_EQ(str(controls.dataType->currentText()), "Boolean") << "the rest is kept";
    click(controls.addNext);
    EXPECT_EQ(str(controls.name->text()), "Tag_11");
    EXPECT_EQ(str(controls.address->text()), "400001.17");
    EXPECT_TRUE(takeMessages().empty());

    click(controls.addNext);
    EXPECT_EQ(takeMessages(),
              Messages{"Error in Holding  Register address bit, must be between 0 to 16"});
    EXPECT_EQ(message(DriverString::HoldingRegisterBitRange),
              "Error in Holding  Register address bit, must be between 0 to 16");
    EXPECT_EQ(QApplication::focusWidget(), controls.address);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(str(controls.address->text()), "400001.17");

    ASSERT_EQ(names(), (std::vector<std::string>{"Tag_9", "Tag_10"}));
    EXPECT_EQ(str(tags.at(0)->TagAddress), "400001.15");
    EXPECT_EQ(tags.at(0)->BitNumber, 15);
    EXPECT_EQ(str(tags.at(1)->TagAddress), "400001.16");
    EXPECT_EQ(tags.at(1)->BitNumber, 16);
    EXPECT_EQ(tags.at(1)->DataType, 1);
    EXPECT_EQ(dialog.addedCount(), 2);
}

TEST_F(TagDialogTest, OkRefusesBit17WithFocusOnTheAddress)
{
    TagDialog dialog(tags, notifier);
    ASSERT_TRUE(showActive(dialog));
    const TagControls controls(dialog);
    QTest::keyClicks(controls.name, u"Bit"_s);
    retype(controls.address, u"400001.17"_s);
    controls.chooseDataType(u"Boolean"_s);
    click(controls.ok);
    EXPECT_EQ(takeMessages(), Messages{message(DriverString::HoldingRegisterBitRange)});
    EXPECT_EQ(QApplication::focusWidget(), controls.address);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(tags.isEmpty());
}

TEST_F(TagDialogTest, NextButtonKeepsCoilsAtSixDigitsUpTo65536)
{
    TagDialog dialog(tags, notifier);
    const TagControls controls(dialog);
    QTest::keyClicks(controls.name, u"Coil_9"_s);
    retype(controls.address, u"000009"_s);
    controls.chooseDataType(u"Boolean"_s);
    click(controls.addNext);
    EXPECT_EQ(str(controls.name->text()), "Coil_10");
    EXPECT_EQ(str(controls.address->text()), "000010");

    retype(controls.address, u"065536"_s);
    click(controls.addNext);
    EXPECT_TRUE(takeMessages().empty());
    EXPECT_EQ(str(controls.name->text()), "Coil_11");
    EXPECT_EQ(str(controls.address->text()), "65537");

    click(controls.addNext);
    EXPECT_EQ(takeMessages(), Messages{"Invalid Address"});
    ASSERT_EQ(names(), (std::vector<std::string>{"Coil_9", "Coil_10"}));
    EXPECT_EQ(str(tags.at(1)->TagAddress), "065536");
}

TEST_F(TagDialogTest, NextButtonCountsHoldingRegisters)
{
    TagDialog dialog(tags, notifier);
    const TagControls controls(dialog);
    QTest::keyClicks(controls.name, u"Level"_s);
    click(controls.addNext);
    EXPECT_EQ(str(controls.address->text()), "400002");
    EXPECT_EQ(str(controls.name->text()), "Level") << "a name without digits stays";

    // So the next add is refused until the user renames it.
    click(controls.addNext);
    EXPECT_EQ(takeMessages(), Messages{"Tag Name exists, please rename"});
    retype(controls.name, u"Level_2"_s);
    click(controls.addNext);
    EXPECT_TRUE(takeMessages().empty());
    ASSERT_EQ(names(), (std::vector<std::string>{"Level", "Level_2"}));
    EXPECT_EQ(str(tags.at(1)->TagAddress), "400002");
    EXPECT_EQ(str(controls.name->text()), "Level_3");
    EXPECT_EQ(str(controls.address->text()), "400003");
}

TEST_F(TagDialogTest, DefaultButtonAddsAndStartsAFreshTag)
{
    TagDialog dialog(tags, notifier);
    const TagControls controls(dialog);
    QTest::keyClicks(controls.name, u"Valve_3"_s);
    retype(controls.address, u"300005"_s);
    controls.chooseDataType(u"Short"_s);
    controls.clientAccess->setCurrentIndex(0);
    QTest::keyClicks(controls.description, u"Feed valve"_s);
    click(controls.addDefault);

    EXPECT_TRUE(takeMessages().empty());
    ASSERT_EQ(names(), (std::vector<std::string>{"Valve_3"}));
    EXPECT_EQ(str(tags.at(0)->TagAddress), "300005");
    EXPECT_EQ(tags.at(0)->DataType, 4);
    EXPECT_EQ(tags.at(0)->ClientAccess, 0);
    EXPECT_EQ(str(tags.at(0)->Description), "Feed valve");

    EXPECT_TRUE(controls.name->text().isEmpty());
    EXPECT_EQ(str(controls.address->text()), "400001");
    EXPECT_TRUE(controls.description->text().isEmpty());
    EXPECT_EQ(str(controls.dataType->currentText()), "Word");
    EXPECT_EQ(str(controls.clientAccess->currentText()), "Read\\Write");
    EXPECT_EQ(str(controls.scanRate->text()), "1000");

    // Cancel afterwards keeps what was added.
    click(controls.cancel);
    EXPECT_EQ(tags.size(), 1);
    EXPECT_EQ(dialog.addedCount(), 1);
}

TEST_F(TagDialogTest, ShortBooleanAddressBecomesASixDigitCoil)
{
    TagDialog dialog(tags, notifier);
    const TagControls controls(dialog);
    QTest::keyClicks(controls.name, u"Run"_s);
    retype(controls.address, u"5"_s);
    controls.chooseDataType(u"Boolean"_s);
    click(controls.addNext);
    EXPECT_TRUE(takeMessages().empty());
    ASSERT_EQ(tags.size(), 1);
    EXPECT_EQ(str(tags.at(0)->TagAddress), "000005");
    EXPECT_EQ(tags.at(0)->AddressNumber, 5);
    EXPECT_EQ(str(controls.address->text()), "000006") << "counted on from the shown 000005";
}

TEST_F(TagDialogTest, OkShowsTheZeroFilledCoil)
{
    TagDialog dialog(tags, notifier);
    const TagControls controls(dialog);
    QTest::keyClicks(controls.name, u"Run"_s);
    retype(controls.address, u"5"_s);
    controls.chooseDataType(u"Boolean"_s);
    click(controls.ok);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(str(controls.address->text()), "000005");
    ASSERT_EQ(tags.size(), 1);
    EXPECT_EQ(str(tags.at(0)->TagAddress), "000005");
}

TEST_F(TagDialogTest, ShortWordAddressIsRefusedAsACoil)
{
    TagDialog dialog(tags, notifier);
    const TagControls controls(dialog);
    QTest::keyClicks(controls.name, u"Run"_s);
    retype(controls.address, u"5"_s);
    click(controls.ok);
    EXPECT_EQ(takeMessages(), Messages{message(DriverString::CoilNeedsBoolean)});
    EXPECT_EQ(str(controls.address->text()), "5") << "the edit keeps what the user typed";
    EXPECT_TRUE(tags.isEmpty());
}

TEST_F(TagDialogTest, RegisterBeyondTheTypesEndStaysOpenSilently)
{
    TagDialog dialog(tags, notifier);
    ASSERT_TRUE(showActive(dialog));
    const TagControls controls(dialog);
    QTest::keyClicks(controls.name, u"Wide"_s);
    retype(controls.address, u"465536"_s);
    controls.chooseDataType(u"Long"_s);
    click(controls.ok);
    EXPECT_TRUE(takeMessages().empty());
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(QApplication::focusWidget(), controls.address);
    EXPECT_TRUE(tags.isEmpty());
}

TEST_F(TagDialogTest, NewNamesWithADotAreRefused)
{
    TagDialog dialog(tags, notifier);
    ASSERT_TRUE(showActive(dialog));
    const TagControls controls(dialog);
    controls.name->insert(u"Level.1"_s); // as pasted: typing drops the dot
    click(controls.ok);
    EXPECT_EQ(takeMessages(), Messages{"Tag name can not contain \".\"."});
    EXPECT_EQ(QApplication::focusWidget(), controls.name);
    EXPECT_TRUE(tags.isEmpty());
}

TEST_F(TagDialogTest, NameRulesComeFirstAndInOrder)
{
    tags.append(makeTag(u"Pump"_s));
    TagDialog dialog(tags, notifier);
    ASSERT_TRUE(showActive(dialog));
    const TagControls controls(dialog);
    controls.address->clear();

    click(controls.ok);
    EXPECT_EQ(takeMessages(), Messages{"Please enter tag name."});
    EXPECT_EQ(QApplication::focusWidget(), controls.name);

    QTest::keyClicks(controls.name, u"Pump"_s);
    click(controls.ok);
    EXPECT_EQ(takeMessages(), Messages{"Tag Name exists, please rename"});
    EXPECT_EQ(QApplication::focusWidget(), controls.name);

    // Names compare exactly: another case is another name.
    retype(controls.name, u"pump"_s);
    click(controls.ok);
    EXPECT_EQ(takeMessages(), Messages{"Please enter address."});
    EXPECT_EQ(QApplication::focusWidget(), controls.address);

    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(tags.size(), 1);
}

TEST_F(TagDialogTest, ScanRateOutOfRangeFromAFileIsShownForCorrection)
{
    // Values a file may hold: the field shows them and OK asks for a valid one.
    for (const qint32 stored : {0, 99, 100001, -5}) {
        SCOPED_TRACE(stored);
        auto tag = std::make_shared<CModTag>();
        tag->TagName = u"FromFile"_s;
        tag->TagAddress = u"400001"_s;
        tag->ScanRate = stored;
        TagList own;
        own.append(tag);
        TagDialog dialog(*tag, own, notifier);
        const TagControls controls(dialog);
        controls.description->setText(u"edited"_s);
        click(controls.ok);
        EXPECT_EQ(takeMessages(), Messages{"Enter an integer between 100 and 100000."});
        EXPECT_EQ(tag->ScanRate, stored);
        controls.scanRate->setText(u"500"_s);
        click(controls.ok);
        EXPECT_TRUE(takeMessages().empty());
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(tag->ScanRate, 500);
        EXPECT_EQ(tag->Description, u"edited"_s);
    }
}

TEST_F(TagDialogTest, ScanRateIsCheckedBeforeTheAddress)
{
    TagDialog dialog(tags, notifier);
    const TagControls controls(dialog);
    QTest::keyClicks(controls.name, u"T"_s);
    controls.address->clear();

    controls.scanRate->setText(u"fast"_s);
    click(controls.ok);
    EXPECT_EQ(takeMessages(), Messages{"Enter a positive integer."});
    controls.scanRate->setText(u"-100"_s);
    click(controls.ok);
    EXPECT_EQ(takeMessages(), Messages{"Enter a positive integer."});
    controls.scanRate->setText(u"99"_s);
    click(controls.ok);
    EXPECT_EQ(takeMessages(), Messages{"Enter an integer between 100 and 100000."});
    controls.scanRate->setText(u"100001"_s);
    click(controls.ok);
    EXPECT_EQ(takeMessages(), Messages{"Enter an integer between 100 and 100000."});
    controls.scanRate->setText(u"100000"_s);
    click(controls.ok);
    EXPECT_EQ(takeMessages(), Messages{"Please enter address."});
    EXPECT_TRUE(tags.isEmpty());
}

TEST_F(TagDialogTest, ScanRateIsRoundedDownToAHundred)
{
    TagDialog dialog(tags, notifier);
    const TagControls controls(dialog);
    QTest::keyClicks(controls.name, u"T"_s);
    controls.scanRate->setText(u"1999"_s);
    click(controls.ok);
    ASSERT_EQ(tags.size(), 1);
    EXPECT_EQ(tags.at(0)->ScanRate, 1900);
    EXPECT_EQ(str(controls.scanRate->text()), "1900");
}

TEST_F(TagDialogTest, NameOfATagInAnotherListIsAccepted)
{
    TagList otherGroup;
    otherGroup.append(makeTag(u"Level"_s));
    TagDialog dialog(tags, notifier);
    const TagControls controls(dialog);
    QTest::keyClicks(controls.name, u"Level"_s);
    click(controls.ok);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(names(), (std::vector<std::string>{"Level"}));
}

TEST_F(TagDialogTest, TypedNameAndAddressAreFiltered)
{
    TagDialog dialog(tags, notifier);
    const TagControls controls(dialog);
    QSignalSpy nameRejected(controls.name, &FilteredLineEdit::characterRejected);
    QSignalSpy addressRejected(controls.address, &FilteredLineEdit::characterRejected);
    QTest::keyClicks(controls.name, u"Flow rate-2"_s);
    retype(controls.address, u"40x0001"_s);
    EXPECT_EQ(str(controls.name->text()), "Flowrate2");
    EXPECT_EQ(str(controls.address->text()), "400001");
    EXPECT_EQ(nameRejected.count(), 2);
    EXPECT_EQ(addressRejected.count(), 1);
    QTest::keyClicks(controls.name, QString(50, u'x'));
    EXPECT_EQ(controls.name->text().size(), 40);
}

class EditTagTest : public TagDialogTest
{
protected:
    void SetUp() override
    {
        tags.append(makeTag(u"Alpha"_s));
        auto beta = makeTag(u"Beta"_s, u"300007"_s, 6);
        beta->ClientAccess = 0;
        beta->Description = u"Second"_s;
        beta->ScanRate = 1050;
        beta->AddressNumber = 300007;
        beta->flags = 0;
        tags.append(beta);
        edited = beta.get();
    }

    CModTag *edited = nullptr;
};

TEST_F(EditTagTest, ShowsTheTagWithoutTheAddButtons)
{
    TagDialog dialog(*edited, tags, notifier);
    const TagControls controls(dialog);
    EXPECT_TRUE(dialog.isEditMode());
    EXPECT_TRUE(controls.addDefault->isHidden());
    EXPECT_TRUE(controls.addNext->isHidden());
    EXPECT_EQ(str(controls.name->text()), "Beta");
    EXPECT_EQ(str(controls.address->text()), "300007");
    EXPECT_EQ(str(controls.description->text()), "Second");
    EXPECT_EQ(str(controls.dataType->currentText()), "Long");
    EXPECT_EQ(str(controls.clientAccess->currentText()), "Read Only");
    EXPECT_EQ(str(controls.scanRate->text()), "1050");
}

TEST_F(EditTagTest, OkChangesTheTagAndRenamesItThroughTheList)
{
    TagDialog dialog(*edited, tags, notifier);
    const TagControls controls(dialog);
    retype(controls.name, u"Gamma"_s);
    retype(controls.address, u"400010"_s);
    controls.chooseDataType(u"DWord"_s);
    controls.clientAccess->setCurrentIndex(1);
    retype(controls.description, u"Renamed"_s);

    // Nothing changes before OK.
    EXPECT_EQ(str(edited->TagName), "Beta");
    EXPECT_EQ(tags.find(u"Beta"_s), edited);

    click(controls.ok);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(takeMessages().empty());
    EXPECT_EQ(str(edited->TagName), "Gamma");
    EXPECT_EQ(tags.find(u"Gamma"_s), edited);
    EXPECT_EQ(tags.find(u"Beta"_s), nullptr);
    EXPECT_EQ(str(edited->TagAddress), "400010");
    EXPECT_EQ(edited->AddressNumber, 400010);
    EXPECT_EQ(edited->DataType, 7);
    EXPECT_EQ(edited->ClientAccess, 1);
    EXPECT_EQ(str(edited->Description), "Renamed");
    EXPECT_EQ(edited->ScanRate, 1000) << "1050 from the file is stored as 1000";
    EXPECT_TRUE(edited->flags & CModTag::Redraw);
    EXPECT_EQ(tags.size(), 2) << "editing adds nothing";
    EXPECT_EQ(dialog.addedCount(), 0);
}

TEST_F(EditTagTest, KeepingItsOwnNameIsAccepted)
{
    TagDialog dialog(*edited, tags, notifier);
    click(TagControls(dialog).ok);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(takeMessages().empty());
    EXPECT_EQ(tags.find(u"Beta"_s), edited);
    EXPECT_EQ(edited->ScanRate, 1000);
}

TEST_F(EditTagTest, NameOfAnotherTagOfTheListIsRefused)
{
    TagDialog dialog(*edited, tags, notifier);
    ASSERT_TRUE(showActive(dialog));
    const TagControls controls(dialog);
    retype(controls.name, u"Alpha"_s);
    click(controls.ok);
    EXPECT_EQ(takeMessages(), Messages{"Tag Name exists, please rename"});
    EXPECT_EQ(QApplication::focusWidget(), controls.name);
    EXPECT_EQ(str(edited->TagName), "Beta");

    retype(controls.name, u"ALPHA"_s);
    click(controls.ok);
    EXPECT_TRUE(takeMessages().empty());
    EXPECT_EQ(tags.find(u"ALPHA"_s), edited);
}

TEST_F(EditTagTest, SecondTagOfTheSameNameFromAFileIsStillADuplicate)
{
    // Lookups find the first tag of a name; the edited one is that first.
    auto twin = makeTag(u"Beta"_s);
    tags.append(twin);
    TagDialog dialog(*edited, tags, notifier);
    click(TagControls(dialog).ok);
    EXPECT_EQ(takeMessages(), Messages{"Tag Name exists, please rename"});
}

TEST_F(EditTagTest, CancelAndRefusalLeaveTheTagAlone)
{
    {
        TagDialog dialog(*edited, tags, notifier);
        const TagControls controls(dialog);
        retype(controls.name, u"Gamma"_s);
        retype(controls.address, u"400001.17"_s);
        controls.chooseDataType(u"Boolean"_s);
        click(controls.ok);
        EXPECT_EQ(takeMessages(), Messages{message(DriverString::HoldingRegisterBitRange)});
        click(controls.cancel);
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
    }
    EXPECT_EQ(str(edited->TagName), "Beta");
    EXPECT_EQ(tags.find(u"Beta"_s), edited);
    EXPECT_EQ(tags.find(u"Gamma"_s), nullptr);
    EXPECT_EQ(str(edited->TagAddress), "300007");
    EXPECT_EQ(edited->DataType, 6);
    EXPECT_EQ(edited->BitNumber, 0);
    EXPECT_EQ(edited->ScanRate, 1050);
    EXPECT_FALSE(edited->flags & CModTag::Redraw);
}

TEST_F(EditTagTest, OverlongNameFromAFileComesBackWhole)
{
    const QString longName(45, u'n');
    tags.rename(edited, longName);
    TagDialog dialog(*edited, tags, notifier);
    const TagControls controls(dialog);
    EXPECT_EQ(controls.name->text(), longName);
    click(controls.ok);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(edited->TagName, longName);
    EXPECT_EQ(tags.find(longName), edited);
}

TEST_F(EditTagTest, StoredTypeTheListDoesNotOfferIsKept)
{
    edited->TagAddress = u"400020"_s;
    edited->DataType = 9; // Double, as a CSV file may give it
    {
        // Editing only the description keeps the type (it used to become String).
        TagDialog dialog(*edited, tags, notifier);
        const TagControls controls(dialog);
        EXPECT_EQ(controls.dataType->currentText(), u"Double"_s);
        EXPECT_EQ(controls.dataType->count(), 9) << "the eight offered types and the stored one";
        controls.description->setText(u"ratio"_s);
        click(controls.ok);
        EXPECT_TRUE(takeMessages().empty());
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(edited->DataType, 9);
        EXPECT_EQ(edited->Description, u"ratio"_s);
    }
    // An offered type may still replace it.
    TagDialog dialog(*edited, tags, notifier);
    const TagControls controls(dialog);
    controls.chooseDataType(u"Word"_s);
    click(controls.ok);
    EXPECT_TRUE(takeMessages().empty());
    EXPECT_EQ(edited->DataType, 5);
}

TEST_F(EditTagTest, EveryTypeTheRunTimeDecodesIsOffered)
{
    TagDialog dialog(*edited, tags, notifier);
    const TagControls controls(dialog);
    QStringList offered;
    for (int i = 0; i < controls.dataType->count(); ++i)
        offered << controls.dataType->itemText(i);
    EXPECT_EQ(offered, (QStringList{u"Boolean"_s, u"Char"_s, u"Byte"_s, u"Short"_s, u"Word"_s,
                                    u"Long"_s, u"DWord"_s, u"Float"_s}));
}

} // namespace
