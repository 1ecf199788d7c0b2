#pragma once

#include <QByteArrayList>
#include <QString>

#include <mutex>

// Rows the bridge could not write (refused by the server, or still buffered
// when the interface stopped or the program ended), kept as INSERT statements
// that the `mariadb` client can replay. The file has a size limit; what does
// not fit is reported as lost.
class UnsentFile
{
public:
    static constexpr qint64 DefaultLimit = 256ll * 1024 * 1024;

    struct Outcome
    {
        int written = 0;
        int lost = 0;    // over the limit, or the file could not be written
        QString problem; // why some were lost
    };

    explicit UnsentFile(QString path, qint64 limitBytes = DefaultLimit);

    QString path() const { return m_path; }

    // Appends one statement per row after a comment line giving `reason`.
    // Safe to call from any thread.
    Outcome append(const QByteArrayList &statements, const QString &reason);

private:
    QString m_path;
    qint64 m_limit;
    std::mutex m_mutex;
};
