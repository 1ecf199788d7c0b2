#include "widgetnotifier.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QTimer>

#include <chrono>

namespace {

QMessageBox::Icon messageBoxIcon(Notifier::Icon icon)
{
    switch (icon) {
    case Notifier::Icon::Stop:
        return QMessageBox::Critical;
    case Notifier::Icon::Question:
        return QMessageBox::Question;
    case Notifier::Icon::Information:
        return QMessageBox::Information;
    case Notifier::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

WidgetNotifier::WidgetNotifier(QWidget *parent) : m_parent(parent) {}

void WidgetNotifier::showMessage(const QString &text, Icon icon)
{
    QMessageBox box(messageBoxIcon(icon), QApplication::applicationDisplayName(), text,
                    QMessageBox::Ok, m_parent);
    box.exec();
}

bool WidgetNotifier::askYesNo(const QString &text)
{
    QMessageBox box(QMessageBox::Question, QApplication::applicationDisplayName(), text,
                    QMessageBox::Yes | QMessageBox::No, m_parent);
    return box.exec() == QMessageBox::Yes;
}

Notifier::Answer WidgetNotifier::askYesNoCancel(const QString &text)
{
    QMessageBox box(QMessageBox::Question, QApplication::applicationDisplayName(), text,
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, m_parent);
    // Escape and the close button must never pick No: No discards.
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

void WidgetNotifier::showTimedMessage(const QString &text, int seconds)
{
    QMessageBox box(QMessageBox::Information, QApplication::applicationDisplayName(), text,
                    QMessageBox::Ok, m_parent);
    QTimer closer;
    closer.setSingleShot(true);
    closer.setInterval(std::chrono::seconds(qMax(seconds, 0)));
    QObject::connect(&closer, &QTimer::timeout, &box, &QDialog::reject);
    closer.start();
    box.exec();
}

QString WidgetNotifier::getOpenFileName(const FileDialog &dialog)
{
    return runFileDialog(dialog, false);
}

QString WidgetNotifier::getSaveFileName(const FileDialog &dialog)
{
    return runFileDialog(dialog, true);
}

QString WidgetNotifier::qtFilter(const QString &windowsFilter)
{
    const QStringList parts = windowsFilter.split(u'|', Qt::SkipEmptyParts);
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        // The visible name of a Windows filter may omit its patterns.
        const QString &name = parts.at(i);
        const QString patterns = QString(parts.at(i + 1)).replace(u';', u' ');
        filters << (name.contains(u'(') ? name : name + QStringLiteral(" (") + patterns + u')');
    }
    return filters.join(QStringLiteral(";;"));
}

QString WidgetNotifier::runFileDialog(const FileDialog &dialog, bool save)
{
    QFileDialog fileDialog(m_parent, dialog.title, dialog.initialDirectory,
                           qtFilter(dialog.filter));
    fileDialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    fileDialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    fileDialog.setDefaultSuffix(dialog.defaultExtension);
    if (!dialog.defaultFileName.isEmpty())
        fileDialog.selectFile(dialog.defaultFileName);
    if (fileDialog.exec() != QDialog::Accepted || fileDialog.selectedFiles().isEmpty())
        return QString();
    return QDir::cleanPath(fileDialog.selectedFiles().constFirst());
}
