#pragma once

#include <QLatin1StringView>
#include <QString>
#include <QStringList>

class QSettings;

// The most recently used project files, most recent first, in ten slots kept
// in the settings store as "File1" to "File10" of "Recent File List". A slot
// may be empty; entry 0 is the project a host launch opens.
class RecentFileList
{
public:
    static constexpr int Size = 10;
    static constexpr QLatin1StringView Section{"Recent File List"};

    RecentFileList();

    // Replaces the slots with the stored ones; missing values are empty slots.
    void load(const QSettings &settings);
    // Rewrites the section: one value per non-empty slot, under that slot's number.
    void save(QSettings &settings) const;

    // Puts `path` (made absolute) at the top. An entry for the same file moves
    // up from where it was; otherwise every entry moves down one slot and the
    // last one drops out.
    void add(const QString &path);
    // Empties slot `index`, moving the later slots up one.
    void remove(int index);

    // The path in slot `index` (0 to 9), empty for an empty or unknown slot.
    QString entry(int index) const;
    // All ten slots, empty ones included.
    const QStringList &entries() const { return m_entries; }

private:
    QStringList m_entries;
};
