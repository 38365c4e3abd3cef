// SPDX-License-Identifier: MIT
#include "files/FileLog.h"

namespace korvane {

Q_LOGGING_CATEGORY(fileLog, "korvane.files", QtWarningMsg)

} // namespace korvane
