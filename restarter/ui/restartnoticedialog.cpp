#include "restartnoticedialog.h"

#include <QFontMetrics>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

namespace {

// The notice's size in dialog units, which scale with the font: a quarter of
// the average character width across, an eighth of the line height down.
constexpr int WidthInDialogUnits = 321;
constexpr int HeightInDialogUnits = 78;

} // namespace

RestartNoticeDialog::RestartNoticeDialog(HostRuntimeLauncher &launcher, QWidget *parent)
    : QDialog(parent), m_launcher(launcher)
{
    setWindowTitle(QStringLiteral("Restarter"));
    setWindowIcon(QIcon::fromTheme(QStringLiteral("orvala-restarter")));

    m_notice = new QLabel(QStringLiteral("Orvala hostrun is restarting, please wait..."), this);
    m_notice->setObjectName(QStringLiteral("noticeLabel"));
    m_notice->setAlignment(Qt::AlignCenter);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_notice);

    const QFontMetrics metrics(font());
    setFixedSize(WidthInDialogUnits * metrics.averageCharWidth() / 4,
                 HeightInDialogUnits * metrics.height() / 8);

    // Precise: a coarse timer may fire up to a twentieth early.
    m_launchTimer.setTimerType(Qt::PreciseTimer);
    m_launchTimer.setInterval(LaunchDelay);
    connect(&m_launchTimer, &QTimer::timeout, this, &RestartNoticeDialog::onLaunchTimer);
    connect(&m_launcher, &HostRuntimeLauncher::finished, this,
            &RestartNoticeDialog::onLaunchFinished);
    m_launchTimer.start();
}

void RestartNoticeDialog::onLaunchTimer()
{
    // Ticks that arrive after the launch do nothing.
    if (!m_launched)
        launchNow();
}

void RestartNoticeDialog::launchNow()
{
    if (m_launched)
        return;
    m_launched = true;
    m_launchTimer.stop();
    m_launcher.start();
}

void RestartNoticeDialog::onLaunchFinished(const LaunchOutcome &outcome)
{
    m_launchFailure = outcome.failure;
    // Ends the same way whether the launch worked or not; the caller reports.
    accept();
}

void RestartNoticeDialog::keyPressEvent(QKeyEvent *event)
{
    // The template's hidden OK button answers Enter: the dialog ends without
    // starting anything, as with Escape.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (!m_launched)
            accept();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void RestartNoticeDialog::done(int result)
{
    // An ended notice starts nothing any more.
    m_launchTimer.stop();
    QDialog::done(result);
}

void RestartNoticeDialog::reject()
{
    // Once started, the launch runs to its end: pkexec needs restarter until
    // it has started the host runtime or given up.
    if (!m_launched)
        QDialog::reject();
}
