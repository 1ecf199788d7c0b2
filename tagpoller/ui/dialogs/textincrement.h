#pragma once

#include <QString>
#include <QStringView>

// The next name or address of a series, for adding tags one after the other:
// the decimal number at the end of `text` plus one ("Tag_9" gives "Tag_10",
// "400001.15" gives "400001.16"). A text that does not end in a digit is
// returned as it is. A text that is all digits and starts with "0" is a coil
// address and keeps its six digits while the number stays within 65536
// ("000009" gives "000010", "065536" gives "65537").
QString incrementedText(QStringView text);
