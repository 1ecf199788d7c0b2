#include "recentfilelist.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {

QString valueName(int index)
{
    return QStringLiteral("File%1").arg(index + 1);
}

} // namespace

RecentFileList::RecentFileList() : m_entries(Size) {}

void RecentFileList::load(const QSettings &settings)
{
    for (int index = 0; index < Size; ++index) {
        m_entries[index] = settings.value(QString(Section) + u'/' + valueName(index)).toString();
    }
}

void RecentFileList::save(QSettings &settings) const
{
    settings.remove(Section);
    for (int index = 0; index < Size; ++index) {
        if (!m_entries.at(index).isEmpty())
            settings.setValue(QString(Section) + u'/' + valueName(index), m_entries.at(index));
    }
}

void RecentFileList::add(const QString &path)
{
    if (path.isEmpty())
        return;
    const QString absolute = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    // Paths on this platform are case-sensitive: only the same spelling is the
    // same file.
    qsizetype from = m_entries.indexOf(absolute);
    if (from < 0)
        from = Size - 1; // the last slot makes room
    m_entries.move(from, 0);
    m_entries[0] = absolute;
}

void RecentFileList::remove(int index)
{
    if (index < 0 || index >= Size)
        return;
    m_entries.removeAt(index);
    m_entries.append(QString());
}

QString RecentFileList::entry(int index) const
{
    return m_entries.value(index);
}
