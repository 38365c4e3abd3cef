#pragma once
// Code page 936 (GBK), the encoding of every text file the tool reads and writes.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace korvane {

// Bytes that are not valid code page 936 decode to replacement characters.
QString FromCp936(QByteArrayView bytes);
// Characters that code page 936 cannot hold become '?'.
QByteArray ToCp936(QStringView text);

} // namespace korvane
