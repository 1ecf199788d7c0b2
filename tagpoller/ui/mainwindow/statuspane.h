#pragma once

#include <QLabel>

// A status bar pane as wide as its sizing text when there is room, narrower
// when the window is: the panes never make the window wider than the screen.
class StatusPane : public QLabel
{
    Q_OBJECT
public:
    StatusPane(const QString &sizingText, QWidget *parent = nullptr)
        : QLabel(parent), m_sizingText(sizingText)
    {}

    QSize sizeHint() const override
    {
        const int padding = 2 * fontMetrics().averageCharWidth();
        return {fontMetrics().horizontalAdvance(m_sizingText) + padding,
                QLabel::sizeHint().height()};
    }
    QSize minimumSizeHint() const override { return {0, QLabel::minimumSizeHint().height()}; }

private:
    QString m_sizingText;
};
