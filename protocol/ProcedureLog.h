// SPDX-License-Identifier: MIT
#pragma once
// Traces of the device procedures: each step and its outcome. Silent unless switched
// on, for example QT_LOGGING_RULES="korvane.procedures.debug=true".

#include <QLoggingCategory>

namespace korvane {

Q_DECLARE_LOGGING_CATEGORY(procedureLog)

} // namespace korvane
