// SPDX-License-Identifier: MIT
#include "link/LinkLog.h"

namespace korvane {

Q_LOGGING_CATEGORY(linkLog, "korvane.link", QtWarningMsg)

QString hexBytes(const std::uint8_t* bytes, qsizetype count) {
    QString text;
    text.reserve(count * 3);
    for (qsizetype i = 0; i < count; ++i) {
        if (i > 0)
            text += u' ';
        text += QStringLiteral("%1").arg(bytes[i], 2, 16, QLatin1Char('0')).toUpper();
    }
    return text;
}

} // namespace korvane
