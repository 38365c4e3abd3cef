// SPDX-License-Identifier: MIT
#include "files/PortRowReader.h"

#include "config/DeviceConfiguration.h"
#include "config/DisplayTexts.h"
#include "files/Cp936.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace korvane {

namespace {

constexpr int LastFillerAtEnd = 32;

QStringList fillerRow(qint64 number, int columns) {
    QStringList row(columns, text::None);
    row[0] = QString::number(number);
    return row;
}

} // namespace

void readPortRows(TextLineReader& reader, int columns, qsizetype maxRows,
                  const std::function<void(QStringList& row)>& onRow) {
    if (columns < 1)
        return;
    qsizetype count = 0;
    const auto hand = [&](QStringList& row) {
        onRow(row);
        return ++count < maxRows;
    };
    qint64 expected = 1;
    const auto fillUpTo = [&](qint64 key) {
        for (; expected < key && expected <= MaxFillerNumber; ++expected) {
            QStringList row = fillerRow(expected, columns);
            if (!hand(row))
                return false;
        }
        expected = std::max(expected, key);
        return true;
    };
    if (maxRows < 1)
        return;
    while (!reader.atEnd()) {
        const QString key = fromCp936(reader.readLine());
        if (!fillUpTo(decimalOr(key, -1)))
            return;
        QStringList row(columns);
        row[0] = key;
        for (int c = 1; c < columns && !reader.atEnd(); ++c) {
            const QString value = fromCp936(reader.readLine());
            row[c] = value.isEmpty() ? text::None : value;
        }
        if (!hand(row))
            return;
        ++expected;
    }
    fillUpTo(LastFillerAtEnd + 1);
}

QList<QStringList> readPortRows(TextLineReader& reader, int columns) {
    QList<QStringList> rows;
    readPortRows(reader, columns, std::numeric_limits<qsizetype>::max(),
                 [&](QStringList& row) { rows.append(std::move(row)); });
    return rows;
}

} // namespace korvane
