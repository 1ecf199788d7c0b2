#pragma once

#include "recordingnotifier.h"

#include "cmodchnl.h"

#include <QByteArray>
#include <QString>
#include <QWidget>

#include <gtest/gtest.h>

class QAbstractButton;
class QLineEdit;
class Record;
class TabbedSheet;
class WizardSheet;

// Driving the settings sheets the way a user does: typing, pasting, clicking
// buttons and tabs. Sheets are shown (on the offscreen platform) so that their
// buttons and tabs are laid out.
namespace sheettesting {

// The stored bytes of a record: equal bytes, equal settings.
QByteArray recordBytes(Record &record);

// Nodes with a value other than the default in every setting.
void changeEverySetting(CModTCPChnl &channel);
void changeEverySetting(CModRTUChnl &channel);
void changeEverySetting(CModDevice &device);
void changeEverySetting(CModTCPDev &device);

// The control named `objectName` inside `root`; the test fails without one.
template<class Control> Control *control(QWidget *root, const char *objectName)
{
    auto *found = root->findChild<Control *>(QLatin1StringView(objectName));
    EXPECT_NE(found, nullptr) << "no control " << objectName;
    return found;
}

// Replaces the edit's text by typing (keys, so the edit's filters apply).
void typeText(QLineEdit *edit, const QString &text);
// Replaces the edit's text through the clipboard.
void pasteText(QLineEdit *edit, const QString &text);
// A mouse click on a button the user can see and press.
void click(QAbstractButton *button);

void clickNext(WizardSheet &sheet);
void clickBack(WizardSheet &sheet);
void clickFinish(WizardSheet &sheet);
void clickCancel(WizardSheet &sheet);
// Next on every page up to the last.
void clickNextToLastPage(WizardSheet &sheet);

// A mouse click on the tab `index`.
void clickTab(TabbedSheet &sheet, int index);
void clickOk(TabbedSheet &sheet);
void clickApply(TabbedSheet &sheet);
void clickCancel(TabbedSheet &sheet);
// Every tab once, then back to the first.
void visitEveryTab(TabbedSheet &sheet);

// What the notifier showed, as text and icon.
struct Message
{
    QString text;
    Notifier::Icon icon;
    bool operator==(const Message &) const = default;
};
std::vector<Message> messages(const RecordingNotifier &notifier);
Message stop(const QString &text);
// Readable failures for messages.
void PrintTo(const Message &message, std::ostream *os);

} // namespace sheettesting
