#pragma once

#include <QByteArray>
#include <QHash>
#include <QJsonObject>
#include <QJsonValue>
#include <QStringList>

// Prints JSON indented by four spaces, with the keys of every object in a given
// order instead of QJsonDocument's alphabetical one, so that a printed project
// reads like its settings pages and stays the same from run to run. Keys not in
// the order follow the known ones, alphabetically.
class JsonPrinter
{
public:
    explicit JsonPrinter(const QStringList &keyOrder);

    // UTF-8, ending with a line break.
    QByteArray print(const QJsonObject &object) const;

private:
    void printValue(const QJsonValue &value, int depth, QByteArray &out) const;
    void printObject(const QJsonObject &object, int depth, QByteArray &out) const;
    void printArray(const QJsonArray &array, int depth, QByteArray &out) const;
    QStringList orderedKeys(const QJsonObject &object) const;

    QHash<QString, int> m_rank;
};
