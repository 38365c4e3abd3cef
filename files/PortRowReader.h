// SPDX-License-Identifier: MIT
#pragma once
// The row reader shared by the configuration file (ten lines per port row) and the
// channel file (six lines per channel record). Each row starts with its key line, a
// port or channel number; gaps in the numbering are filled with "-" rows.

#include "files/TextLineReader.h"

#include <QList>
#include <QStringList>

#include <functional>

namespace korvane {

// Filler rows are made for numbers up to this bound only; neither caller ever shows a
// row past it, and an absurd key must not make millions of them.
inline constexpr int MaxFillerNumber = 1024;

// Reads rows of columns texts each (code page 936) until the end of the file:
// - a key greater than the expected number n first adds filler rows n, n+1, ... with
//   "-" in the other columns; a key that is not a number counts as -1;
// - the key is kept as read; an empty value line becomes "-"; values missing at the
//   end of the file stay empty;
// - at the end, filler rows follow up to number 32.
QList<QStringList> readPortRows(TextLineReader& reader, int columns);

// The same rows, each handed to onRow as it is read; reading stops after maxRows rows,
// so that a caller that keeps only the first rows does not pay for the rest.
void readPortRows(TextLineReader& reader, int columns, qsizetype maxRows,
                  const std::function<void(QStringList& row)>& onRow);

} // namespace korvane
