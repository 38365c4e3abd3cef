// SPDX-License-Identifier: MIT
#pragma once
// The display words of the port table. They are data, not only presentation:
// the command encoder compares them and the configuration file stores them.

#include <QString>

namespace korvane::text {

inline const QString None = QStringLiteral("-");
inline const QString Sync = QStringLiteral("同步");  // synchronous (FLEX) coding
inline const QString Async = QStringLiteral("异步"); // asynchronous coding, channel files only
inline const QString Pocsag = QStringLiteral("POCSAG");
inline const QString Internal = QStringLiteral("内部");
inline const QString External = QStringLiteral("外部");
inline const QString RisingEdge = QStringLiteral("上升沿(正)");
inline const QString FallingEdge = QStringLiteral("下降沿(负)");
inline const QString Positive = QStringLiteral("正");
inline const QString Negative = QStringLiteral("负");
inline const QString On = QStringLiteral("开");
inline const QString Off = QStringLiteral("关");
inline const QString Added = QStringLiteral("添加");
inline const QString Modified = QStringLiteral("修改");

inline const QString ModelUnknown = QStringLiteral("0");
inline const QString ModelSingle = QStringLiteral("KORVANE");
inline const QString ModelAB = QStringLiteral("KORVANEA/B");

inline const QString CaptionOrlendis = QStringLiteral("Orlendis");
inline const QString CaptionKorvane = QStringLiteral("Korvane");

} // namespace korvane::text
