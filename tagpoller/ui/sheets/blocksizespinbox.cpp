#include "blocksizespinbox.h"

#include "fieldreader.h"

#include <QLineEdit>
#include <QMouseEvent>

BlockSizeSpinBox::BlockSizeSpinBox(quint32 minimum, quint32 maximum,
                                   QList<Acceleration> accelerations, QWidget *parent)
    : QAbstractSpinBox(parent)
    , m_minimum(minimum)
    , m_maximum(maximum)
    , m_accelerations(std::move(accelerations))
{
    Q_ASSERT(!m_accelerations.isEmpty() && m_accelerations.front().afterSeconds == 0);
    lineEdit()->setReadOnly(true);
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
}

void BlockSizeSpinBox::showNumber(quint32 number)
{
    lineEdit()->setText(QString::number(number));
    update(); // the arrows follow stepEnabled()
}

void BlockSizeSpinBox::stepBy(int steps)
{
    const std::optional<quint32> shown = FieldReader::parseUnsigned(text());
    const qint64 current = shown ? qint64(*shown) : qint64(m_minimum);
    const qint64 next =
        qBound(qint64(m_minimum), current + qint64(steps) * currentIncrement(), qint64(m_maximum));
    if (shown && next == current)
        return;
    showNumber(quint32(next));
    Q_EMIT stepped();
}

QAbstractSpinBox::StepEnabled BlockSizeSpinBox::stepEnabled() const
{
    const std::optional<quint32> shown = FieldReader::parseUnsigned(text());
    if (!shown)
        return StepUpEnabled | StepDownEnabled;
    StepEnabled enabled = StepNone;
    if (*shown < m_maximum)
        enabled |= StepUpEnabled;
    if (*shown > m_minimum)
        enabled |= StepDownEnabled;
    return enabled;
}

void BlockSizeSpinBox::mousePressEvent(QMouseEvent *event)
{
    m_held.start();
    QAbstractSpinBox::mousePressEvent(event);
}

void BlockSizeSpinBox::mouseReleaseEvent(QMouseEvent *event)
{
    m_held.invalidate();
    QAbstractSpinBox::mouseReleaseEvent(event);
}

int BlockSizeSpinBox::currentIncrement() const
{
    int increment = m_accelerations.front().increment;
    if (!m_held.isValid())
        return increment;
    const qint64 heldMilliseconds = m_held.elapsed();
    for (const Acceleration &step : m_accelerations) {
        if (heldMilliseconds >= qint64(step.afterSeconds) * 1000)
            increment = step.increment;
    }
    return increment;
}
