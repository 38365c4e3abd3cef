#include "cli/Console.h"

#include <QMutexLocker>

#include <cstdio>
#include <unistd.h>

namespace korvane::cli {

void Console::out(const QString& text) {
    QMutexLocker lock(&m_lock);
    writeOut(text.toUtf8());
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

void StdConsole::writeOut(const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

void StdConsole::writeErr(const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

} // namespace korvane::cli
