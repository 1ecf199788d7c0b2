#include "planningfiles.h"

#include "cmodtag.h"
#include "notifier.h"
#include "objectnames.h"
#include "readplan.h"

#include <QDir>
#include <QSaveFile>
#include <QtEndian>

namespace PlanningFiles {

namespace {

const QString LineEnd = QStringLiteral("\r\n");

// 48 equals signs and a blank close each space's block of frames.
QString separator()
{
    return QString(48, u'=') + u' ' + LineEnd;
}

bool writeFile(const QString &path, const QString &text)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(encode(text));
    return file.commit();
}

} // namespace

QString addressFileName(const QString &deviceName)
{
    return ObjectNames::safeFileName(deviceName + QStringLiteral("_AddrTags.txt"));
}

QString frameFileName(const QString &deviceName)
{
    return ObjectNames::safeFileName(deviceName + QStringLiteral("_Frames.txt"));
}

QString addressFileText(const ReadPlan &plan)
{
    QString text;
    for (const AddressRecord &record : plan.addressTags) {
        text += QStringLiteral("Address: %1, Count %2 [ ").arg(record.address).arg(record.width);
        // Every name, the last one too, is followed by ", ".
        for (const CModTag *tag : record.tags)
            text += tag->TagName + QStringLiteral(", ");
        text += QStringLiteral(" ]") + LineEnd;
    }
    return text;
}

QString frameFileText(const ReadPlan &plan)
{
    QString text;
    // This file lists coils first, unlike the frame list, which reads input
    // status first.
    for (FrameSpace space : {FrameSpace::Coils, FrameSpace::InputStatus, FrameSpace::InputRegisters,
                             FrameSpace::HoldingRegisters}) {
        for (const PlannedFrame &frame : plan.frames) {
            if (frame.space != space)
                continue;
            text += QStringLiteral("Type: %1, Start: %2,  End: %3,  Count: %4 ")
                        .arg(AddressSpaces::fileName(space))
                        .arg(frame.start)
                        .arg(frame.end)
                        .arg(frame.count) +
                    LineEnd;
            int serial = 0;
            for (int index : frame.records) {
                const AddressRecord &record = plan.addressTags[size_t(index)];
                text += QStringLiteral("SrNo: %1,  Address: %2, FrmIdx: %3")
                            .arg(serial++)
                            .arg(record.address)
                            .arg(record.indexInFrame) +
                        LineEnd;
            }
        }
        text += separator();
    }
    return text;
}

QByteArray encode(const QString &text)
{
    QByteArray bytes(text.size() * 2, Qt::Uninitialized);
    qToLittleEndian<quint16>(text.utf16(), text.size(), bytes.data());
    return bytes;
}

QString addressFileFailedText(const QString &deviceName)
{
    return QStringLiteral("Failed to create AddrTag file for device %1").arg(deviceName);
}

QString frameFileFailedText(const QString &deviceName)
{
    return QStringLiteral("Failed to create Frame file for device %1").arg(deviceName);
}

Result write(const ReadPlan &plan, const QString &deviceName, const QString &folder,
             Notifier *notifier)
{
    const QDir dir(folder);
    Result result;
    result.addressFileWritten =
        writeFile(dir.filePath(addressFileName(deviceName)), addressFileText(plan));
    if (!result.addressFileWritten && notifier)
        notifier->showMessage(addressFileFailedText(deviceName), Notifier::Icon::Stop);
    result.frameFileWritten =
        writeFile(dir.filePath(frameFileName(deviceName)), frameFileText(plan));
    if (!result.frameFileWritten && notifier)
        notifier->showMessage(frameFileFailedText(deviceName), Notifier::Icon::Stop);
    return result;
}

} // namespace PlanningFiles
