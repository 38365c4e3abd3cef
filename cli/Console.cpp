#include "cli/Console.h"

#include <QMutexLocker>

#include <cstdio>
#include <unistd.h>

namespace korvane::cli {

void Console::Out(const QString& text) {
    QMutexLocker lock(&m_lock);
    WriteOut(text.toUtf8());
}

void Console::Err(const QString& line) {
    QString flat = line;
    flat.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    flat.replace(u'\n', u' ').replace(u'\r', u' ');
    QMutexLocker lock(&m_lock);
    WriteErr(flat.toUtf8() + '\n');
}

bool StdConsole::ErrIsTerminal() const {
    return isatty(STDERR_FILENO) == 1;
}

void StdConsole::WriteOut(const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

void StdConsole::WriteErr(const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

} // namespace korvane::cli
