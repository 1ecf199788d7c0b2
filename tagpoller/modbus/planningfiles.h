#pragma once

#include <QString>

class Notifier;
struct ReadPlan;

// The two text files that show a device's plan, written at run start when the
// "GenFrmDetails" setting is on: "<device>_AddrTags.txt" with one line per
// address record, and "<device>_Frames.txt" with the frames by space. Both are
// UTF-16LE without a byte order mark, lines ending in CR LF, as the tools that
// read them have always had them.
namespace PlanningFiles {

QString addressFileName(const QString &deviceName);
QString frameFileName(const QString &deviceName);

QString addressFileText(const ReadPlan &plan);
QString frameFileText(const ReadPlan &plan);

// The file's bytes for `text`.
QByteArray encode(const QString &text);

struct Result
{
    bool addressFileWritten = false;
    bool frameFileWritten = false;
};

// Writes both files into `folder`, each created anew. A file that cannot be
// written is reported with its message box ("Failed to create AddrTag file for
// device %s", "Failed to create Frame file for device %s") when a notifier is
// given; the plan is unaffected either way.
Result write(const ReadPlan &plan, const QString &deviceName, const QString &folder,
             Notifier *notifier = nullptr);

QString addressFileFailedText(const QString &deviceName);
QString frameFileFailedText(const QString &deviceName);

} // namespace PlanningFiles
