// SPDX-License-Identifier: MIT
#pragma once
// Small builders shared by the file tests.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <initializer_list>

namespace korvane::test {

// Every line followed by CR LF.
inline QByteArray Crlf(std::initializer_list<QByteArray> lines) {
    QByteArray out;
    for (const QByteArray& line : lines)
        out += line + "\r\n";
    return out;
}

// A row as "a|b|c", the form the expected tables use.
inline QString Joined(const QStringList& row) {
    return row.join(u'|');
}

} // namespace korvane::test
