// SPDX-License-Identifier: MIT
#pragma once
// The platform's code page 936 converter, for runs that hold no lone lead byte: ICU
// through Qt on Linux, the Windows code page functions on Windows. Both give the same
// bytes and characters; the file tests check them on each.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace korvane {

QString decodeCp936Run(QByteArrayView bytes);
// Characters that code page 936 cannot hold become '?'.
QByteArray encodeCp936Run(QStringView text);

} // namespace korvane
