// SPDX-License-Identifier: MIT
#pragma once
// Traces of the serial link: ports opened and closed (with the system's reason when an
// open fails) and every frame with its answer. Silent unless switched on, for example
// QT_LOGGING_RULES="korvane.link.debug=true".

#include <QLoggingCategory>

namespace korvane {

Q_DECLARE_LOGGING_CATEGORY(linkLog)

// "7E 08 7F": bytes as the traces show them.
QString hexBytes(const std::uint8_t* bytes, qsizetype count);

} // namespace korvane
