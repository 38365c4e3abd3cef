// SPDX-License-Identifier: MIT
#include "files/FileHelpers.h"

#include "config/KorvaneError.h"
#include "files/FileLog.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>

namespace korvane {

QString fileTooLargeReason(qint64 size, qint64 maxSize) {
    return QStringLiteral("文件太大（%1字节），超过了%2字节的上限").arg(size).arg(maxSize);
}

std::optional<QByteArray> readFileBytes(const QString& path, QString* error, qint64 maxSize) {
    QFile file(path);
    const auto fail = [&](const QString& reason) -> std::optional<QByteArray> {
        qCDebug(fileLog).noquote() << "cannot read" << path << ":" << reason;
        if (error)
            *error = reason;
        return std::nullopt;
    };
    if (path.isEmpty())
        return fail(QStringLiteral("没有文件名"));
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.errorString());
    if (file.size() > maxSize)
        return fail(fileTooLargeReason(file.size(), maxSize));
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return fail(file.errorString());
    qCDebug(fileLog).noquote() << "read" << path << ":" << bytes.size() << "bytes";
    return bytes;
}

void saveFileAtomically(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    const auto fail = [&](const QString& reason) {
        qCDebug(fileLog).noquote() << "cannot save" << path << ":" << reason;
        file.cancelWriting();
        throw KorvaneError(QStringLiteral("无法保存文件“%1”：%2").arg(path, reason));
    };
    // Unbuffered, so that a short write (a full disk, a file size limit) is seen here
    // with the system's reason instead of being lost in a buffer flush.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        fail(file.errorString());
    for (qsizetype done = 0; done < bytes.size();) {
        const qint64 n = file.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0)
            fail(file.error() != QFileDevice::NoError ? file.errorString()
                                                      : QStringLiteral("写入不完整"));
        done += n;
    }
    if (!file.commit())
        fail(file.errorString());
    qCDebug(fileLog).noquote() << "saved" << path << ":" << bytes.size() << "bytes";
}

QString replaceExtension(const QString& path, const QString& extension) {
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
#if defined(_WIN32)
    // Windows takes either separator: D:\data.v2\channels has no extension.
    const qsizetype slash =
        std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
#else
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
#endif
    if (dot < 0 || dot < slash)
        return path + extension;
    return path.left(dot) + extension;
}

} // namespace korvane
