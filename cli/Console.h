#pragma once
// Where korvanectl writes: results to standard output, messages to standard error.
// Port jobs write from their own threads; every call writes whole lines at once.

#include <QByteArray>
#include <QMutex>
#include <QString>

namespace korvane::cli {

class Console {
public:
    virtual ~Console() = default;
    void out(const QString& text);
    // One line; a line break inside the text becomes a blank.
    void err(const QString& line);
    // Progress is shown only to someone watching.
    virtual bool errIsTerminal() const = 0;

protected:
    virtual void writeOut(const QByteArray& bytes) = 0;
    virtual void writeErr(const QByteArray& bytes) = 0;

private:
    QMutex m_lock;
};

// The process's own standard output and error, in UTF-8.
class StdConsole : public Console {
public:
    bool errIsTerminal() const override;

protected:
    void writeOut(const QByteArray& bytes) override;
    void writeErr(const QByteArray& bytes) override;
};

// Kept in memory, for tests.
class BufferConsole : public Console {
public:
    bool errIsTerminal() const override { return terminal; }
    QString outText() const { return QString::fromUtf8(outBytes); }
    QString errText() const { return QString::fromUtf8(errBytes); }

    QByteArray outBytes;
    QByteArray errBytes;
    bool terminal = false;

protected:
    void writeOut(const QByteArray& bytes) override { outBytes += bytes; }
    void writeErr(const QByteArray& bytes) override { errBytes += bytes; }
};

} // namespace korvane::cli
