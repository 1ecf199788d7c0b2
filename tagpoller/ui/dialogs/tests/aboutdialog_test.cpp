#include "aboutdialog.h"
#include "dialogtesting.h"

#include <QLabel>
#include <QPlainTextEdit>

namespace {

using dialogtesting::child;
using dialogtesting::str;

TEST(AboutDialogTest, ShowsProductVersionAndContact)
{
    AboutDialog dialog;
    EXPECT_EQ(str(dialog.windowTitle()), "About Modbus Driver");
    EXPECT_EQ(str(child<QLabel>(dialog, "titleLabel")->text()), "Orvala Modbus Driver");
    EXPECT_EQ(str(child<QLabel>(dialog, "versionLabel")->text()), "Version 1.1.0 - A");
    auto *contact = child<QPlainTextEdit>(dialog, "contactText");
    EXPECT_TRUE(contact->isReadOnly());
    EXPECT_TRUE(contact->toPlainText().contains(u"Quenlor"));
}

} // namespace
