#pragma once

#include <QAbstractListModel>
#include <QString>

#include <deque>

// The dialog's message list: lines in arrival order, without time stamps.
// It keeps the newest MaxLines lines; every line also goes to the error
// stream through the sqlbridge.messages category, for operators without a
// screen. Lives on the GUI thread.
class MessageLog : public QAbstractListModel
{
    Q_OBJECT
public:
    static constexpr int MaxLines = 10000;

    explicit MessageLog(QObject *parent = nullptr, int maxLines = MaxLines);

    void append(const QString &line);
    void clear();

    int lineCount() const { return int(m_lines.size()); }
    QString line(int row) const { return m_lines.at(std::size_t(row)); }
    QStringList lines() const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

Q_SIGNALS:
    void lineAppended(const QString &line);

private:
    std::deque<QString> m_lines;
    int m_maxLines;
};
