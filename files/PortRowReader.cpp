#include "files/PortRowReader.h"

#include "config/DeviceConfiguration.h"
#include "config/DisplayTexts.h"
#include "files/Cp936.h"

#include <algorithm>

namespace korvane {

namespace {

constexpr int LastFillerAtEnd = 32;

QStringList FillerRow(qint64 number, int columns) {
    QStringList row(columns, text::None);
    row[0] = QString::number(number);
    return row;
}

} // namespace

QList<QStringList> ReadPortRows(TextLineReader& reader, int columns) {
    QList<QStringList> rows;
    if (columns < 1)
        return rows;
    qint64 expected = 1;
    const auto fillUpTo = [&](qint64 key) {
        for (; expected < key && expected <= MaxFillerNumber; ++expected)
            rows.append(FillerRow(expected, columns));
        expected = std::max(expected, key);
    };
    while (!reader.AtEnd()) {
        const QString key = FromCp936(reader.ReadLine());
        fillUpTo(StrToIntDef(key, -1));
        QStringList row(columns);
        row[0] = key;
        for (int c = 1; c < columns && !reader.AtEnd(); ++c) {
            const QString value = FromCp936(reader.ReadLine());
            row[c] = value.isEmpty() ? text::None : value;
        }
        rows.append(row);
        ++expected;
    }
    fillUpTo(LastFillerAtEnd + 1);
    return rows;
}

} // namespace korvane
