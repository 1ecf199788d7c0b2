#pragma once

#include <QAbstractSpinBox>
#include <QElapsedTimer>
#include <QList>

// A block size with up-down buttons. The number cannot be typed, only stepped;
// a step is clamped to the range. The number read from the device is shown as
// it is, even outside the range, so that taking the page reports it: a coil
// block of 13 from an old file stays 13 (and steps to 21), a block of 7 is
// refused.
class BlockSizeSpinBox : public QAbstractSpinBox
{
    Q_OBJECT
public:
    // While an arrow is held down for at least `afterSeconds`, one step adds
    // `increment`; the first entry (after 0 s) is the plain step.
    struct Acceleration
    {
        int afterSeconds;
        int increment;
    };

    BlockSizeSpinBox(quint32 minimum, quint32 maximum, QList<Acceleration> accelerations,
                     QWidget *parent = nullptr);

    quint32 minimum() const { return m_minimum; }
    quint32 maximum() const { return m_maximum; }

    void showNumber(quint32 number);

    void stepBy(int steps) override;

Q_SIGNALS:
    // A step changed the number (the user's doing; showNumber does not emit it).
    void stepped();

protected:
    StepEnabled stepEnabled() const override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    int currentIncrement() const;

    quint32 m_minimum;
    quint32 m_maximum;
    QList<Acceleration> m_accelerations;
    QElapsedTimer m_held; // runs while the mouse holds an arrow down
};
