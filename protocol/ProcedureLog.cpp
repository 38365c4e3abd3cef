// SPDX-License-Identifier: MIT
#include "protocol/ProcedureLog.h"

namespace korvane {

Q_LOGGING_CATEGORY(procedureLog, "korvane.procedures", QtWarningMsg)

} // namespace korvane
