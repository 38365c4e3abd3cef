// SPDX-License-Identifier: MIT
#pragma once
// Whole-file reading and atomic saving for the tool's small text files, and the
// extension rule that ties the channel, delay and schedule files together.

#include <QByteArray>
#include <QString>

#include <optional>

namespace korvane {

// Files larger than this are refused instead of being read into memory: the channel,
// configuration and schedule files are some kilobytes.
inline constexpr qint64 MaxTextFileSize = 4 * 1024 * 1024;

// The whole file, or nothing with the reason (the operating system's words, or that
// the file is larger than maxSize) in *error.
std::optional<QByteArray> readFileBytes(const QString& path, QString* error = nullptr,
                                        qint64 maxSize = MaxTextFileSize);

// The reason given for a file larger than maxSize.
QString fileTooLargeReason(qint64 size, qint64 maxSize);

// Writes bytes to a temporary file beside path, then renames it over path, so that a
// failure leaves any old file as it was. Throws KorvaneError naming the file and the
// operating system's reason.
void saveFileAtomically(const QString& path, const QByteArray& bytes);

// path with its extension (from the last '.' of the file name on) replaced by
// extension, which includes its dot; a name without a dot gets extension appended.
// The file name follows the last of the platform's separators ('/', and on Windows
// '\' too).
QString replaceExtension(const QString& path, const QString& extension);

} // namespace korvane
