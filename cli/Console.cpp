// SPDX-License-Identifier: MIT
#include "cli/Console.h"

#include <QFile>
#include <QMutexLocker>

#include <cstdio>
#include <unistd.h>

namespace korvane::cli {

QString portShown(const QString& port) {
    QString out;
    for (QChar c : port) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            out += QStringLiteral("\\x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
        else if (c == u'\\')
            out += QStringLiteral("\\\\");
        else
            out += c;
    }
    return out;
}

void Console::out(const QString& text) {
    QMutexLocker lock(&m_lock);
    writeOut(text.toUtf8());
}

void Console::outBytes(const QByteArray& bytes) {
    QMutexLocker lock(&m_lock);
    writeOut(bytes);
}

void Console::err(const QString& line) {
    QString flat = line;
    flat.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    flat.replace(u'\n', u' ').replace(u'\r', u' ');
    QMutexLocker lock(&m_lock);
    writeErr(flat.toUtf8() + '\n');
}

bool StdConsole::errIsTerminal() const {
    return isatty(STDERR_FILENO) == 1;
}

bool StdConsole::outIsTerminal() const {
    return isatty(STDOUT_FILENO) == 1;
}

QByteArray StdConsole::readIn() {
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly))
        return {};
    return in.readAll();
}

void StdConsole::writeOut(const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

void StdConsole::writeErr(const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

} // namespace korvane::cli
