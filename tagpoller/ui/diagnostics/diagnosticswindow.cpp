#include "diagnosticswindow.h"

#include "diagnosticsmodel.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QSettings>
#include <QTableView>
#include <QVBoxLayout>

namespace {

const QString SettingsGroup = QStringLiteral("DiagnoList");

// The window keeps the size of the Windows dialog it replaces, 633 x 261
// dialog units: a unit is a quarter of the average character width across
// and an eighth of the character height down.
constexpr int WidthInDialogUnits = 633;
constexpr int HeightInDialogUnits = 261;

} // namespace

DiagnosticsWindow::DiagnosticsWindow(std::vector<DiagnosticsRow> rows, QSettings &settings,
                                     QWidget *parent)
    : QDialog(parent), m_settings(settings)
{
    setWindowTitle(QStringLiteral("Status"));
    setModal(false);

    m_model = new DiagnosticsModel(std::move(rows), this);

    m_list = new QTableView(this);
    m_list->setObjectName(QStringLiteral("diagnosticsList"));
    m_list->setModel(m_model);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_list->setShowGrid(true);
    m_list->setWordWrap(false);
    m_list->verticalHeader()->hide();
    QHeaderView *header = m_list->horizontalHeader();
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // Every column keeps the width the user gave it, the last one too.
    header->setStretchLastSection(false);
    header->setSectionResizeMode(QHeaderView::Interactive);

    auto *closeButton = new QPushButton(QStringLiteral("Close"), this);
    closeButton->setObjectName(QStringLiteral("closeButton"));
    closeButton->setAutoDefault(false);
    connect(closeButton, &QPushButton::clicked, this, &DiagnosticsWindow::reject);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(closeButton);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_list);
    layout->addLayout(buttons);

    const QFontMetrics metrics = fontMetrics();
    resize(metrics.averageCharWidth() * WidthInDialogUnits / 4,
           metrics.height() * HeightInDialogUnits / 8);

    readSettings();

    m_refreshTimer.setInterval(RefreshInterval);
    connect(&m_refreshTimer, &QTimer::timeout, this, &DiagnosticsWindow::refreshIfVisible);
    m_refreshTimer.start();
}

void DiagnosticsWindow::readSettings()
{
    m_settings.beginGroup(SettingsGroup);
    for (int column = 0; column < DiagnosticsModel::ColumnCount; ++column) {
        bool ok = false;
        int width = m_settings.value(QString::number(column), DefaultColumnWidth).toInt(&ok);
        if (!ok || width < 0)
            width = DefaultColumnWidth;
        m_list->setColumnWidth(column, width);
    }
    m_settings.endGroup();
}

void DiagnosticsWindow::writeSettings()
{
    m_settings.beginGroup(SettingsGroup);
    for (int column = 0; column < DiagnosticsModel::ColumnCount; ++column)
        m_settings.setValue(QString::number(column), m_list->columnWidth(column));
    m_settings.endGroup();
}

void DiagnosticsWindow::refreshIfVisible()
{
    if (isVisible())
        m_model->refresh();
}

void DiagnosticsWindow::reject()
{
    if (m_closing)
        return;
    m_closing = true;
    m_refreshTimer.stop();
    writeSettings();
    QDialog::reject();
    // Hidden, the list asks no more; without rows it cannot, even if the run
    // is stopped before the receiver of closing() lets go of the window.
    m_model->release();
    // The receiver may delete the window; the button whose click brought us
    // here must have returned by then.
    QMetaObject::invokeMethod(this, &DiagnosticsWindow::finishClosing, Qt::QueuedConnection);
}

void DiagnosticsWindow::finishClosing()
{
    Q_EMIT closing();
}
