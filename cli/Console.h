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
    void Out(const QString& text);
    // One line; a line break inside the text becomes a blank.
    void Err(const QString& line);
    // Progress is shown only to someone watching.
    virtual bool ErrIsTerminal() const = 0;

protected:
    virtual void WriteOut(const QByteArray& bytes) = 0;
    virtual void WriteErr(const QByteArray& bytes) = 0;

private:
    QMutex m_lock;
};

// The process's own standard output and error, in UTF-8.
class StdConsole : public Console {
public:
    bool ErrIsTerminal() const override;

protected:
    void WriteOut(const QByteArray& bytes) override;
    void WriteErr(const QByteArray& bytes) override;
};

// Kept in memory, for tests.
class BufferConsole : public Console {
public:
    bool ErrIsTerminal() const override { return Terminal; }
    QString OutText() const { return QString::fromUtf8(OutBytes); }
    QString ErrText() const { return QString::fromUtf8(ErrBytes); }

    QByteArray OutBytes;
    QByteArray ErrBytes;
    bool Terminal = false;

protected:
    void WriteOut(const QByteArray& bytes) override { OutBytes += bytes; }
    void WriteErr(const QByteArray& bytes) override { ErrBytes += bytes; }
};

} // namespace korvane::cli
