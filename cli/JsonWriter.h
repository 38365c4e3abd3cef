// SPDX-License-Identifier: MIT
#pragma once
// korvanectl's JSON text: one document, indented, with the keys a reader looks for
// first (version, command, port, ok, error, status) before the rest, which follow in
// alphabetical order.

#include <QByteArray>
#include <QJsonValue>

namespace korvane::cli {

QByteArray jsonText(const QJsonValue& value);

} // namespace korvane::cli
