#pragma once

// Helpers for driving the dialogs' real widgets in tests.
#include "recordingnotifier.h"

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace dialogtesting {

// The child `name` of `parent`, failing the test when there is none.
template<class Widget> Widget *child(const QWidget &parent, const char *name)
{
    auto *widget = parent.findChild<Widget *>(QLatin1StringView(name));
    EXPECT_NE(widget, nullptr) << "no child " << name;
    return widget;
}

// Shows `window` and waits (bounded) until it is the active window, so that
// focus moves as it does for a user.
inline bool showActive(QWidget &window)
{
    window.show();
    window.activateWindow();
    return QTest::qWaitForWindowActive(&window);
}

// Types `text` into `edit` key by key, replacing what it held.
inline void retype(QLineEdit *edit, const QString &text)
{
    edit->clear();
    QTest::keyClicks(edit, text);
}

// Runs `step` on the modal dialog of type Dialog once its exec() has shown it.
// When the dialog is not there the test fails and the modal window is closed,
// so exec() returns instead of waiting for a user.
template<class Dialog> void onModalDialog(std::function<void(Dialog &)> step)
{
    QTimer::singleShot(0, qApp, [step] {
        QWidget *modal = QApplication::activeModalWidget();
        auto *dialog = qobject_cast<Dialog *>(modal);
        if (dialog == nullptr) {
            ADD_FAILURE() << "the expected dialog is not shown";
            if (modal != nullptr)
                modal->close();
            return;
        }
        step(*dialog);
    });
}

inline std::string str(const QString &text)
{
    return text.toStdString();
}

} // namespace dialogtesting
