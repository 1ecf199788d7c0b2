#include "unsentfile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

UnsentFile::UnsentFile(QString path, qint64 limitBytes)
    : m_path(std::move(path)), m_limit(limitBytes)
{}

UnsentFile::Outcome UnsentFile::append(const QByteArrayList &statements, const QString &reason)
{
    Outcome outcome;
    if (statements.isEmpty())
        return outcome;
    std::lock_guard lock(m_mutex);
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    QFile file(m_path);
    const bool fresh = !file.exists() || file.size() == 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        outcome.lost = int(statements.size());
        outcome.problem = file.errorString();
        return outcome;
    }
    // Row values may be anyone's data: only the user reads them.
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QByteArray text;
    if (fresh)
        text += "-- Rows the SQL bridge could not write. Replay them, once the cause is mended, "
                "with:\n--   mariadb --default-character-set=utf8mb4 < unsent.sql\n"
                "SET NAMES utf8mb4;\n";
    text += "-- " + QDateTime::currentDateTime().toString(Qt::ISODate).toUtf8() + ' ' +
            reason.toUtf8().replace('\n', ' ') + '\n';
    qint64 size = file.size() + text.size();
    for (const QByteArray &statement : statements) {
        if (size + statement.size() + 1 > m_limit) {
            ++outcome.lost;
            continue;
        }
        text += statement + '\n';
        size += statement.size() + 1;
        ++outcome.written;
    }
    if (outcome.lost)
        outcome.problem =
            QStringLiteral("the file has reached its limit of %1 MiB").arg(m_limit / (1024 * 1024));
    if (outcome.written == 0)
        return outcome;
    if (file.write(text) != text.size() || !file.flush()) {
        outcome.lost += outcome.written;
        outcome.written = 0;
        outcome.problem = file.errorString();
    }
    return outcome;
}
