// SPDX-License-Identifier: MIT
#pragma once
// Where korvanectl writes: results to standard output, messages to standard error.
// Port jobs write from their own threads; every call writes whole lines at once.

#include <QByteArray>
#include <QMutex>
#include <QString>

namespace korvane::cli {

// A port name for text output: control characters (and the backslash) escaped, so
// that a name cannot break the lines or the tab-separated columns.
QString portShown(const QString& port);

class Console {
public:
    virtual ~Console() = default;
    void out(const QString& text);
    // Bytes as they are (a configuration file for read -o -).
    void outBytes(const QByteArray& bytes);
    // One line; a line break inside the text becomes a blank.
    void err(const QString& line);
    // Progress is shown only to someone watching.
    virtual bool errIsTerminal() const = 0;
    // Success lines are for someone watching; a script has the exit status.
    virtual bool outIsTerminal() const = 0;
    // All of standard input (diff -, write -).
    virtual QByteArray readIn() = 0;

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
    bool outIsTerminal() const override;
    QByteArray readIn() override;

protected:
    void writeOut(const QByteArray& bytes) override;
    void writeErr(const QByteArray& bytes) override;
};

// Kept in memory, for tests.
class BufferConsole : public Console {
public:
    bool errIsTerminal() const override { return terminal; }
    bool outIsTerminal() const override { return outTerminal; }
    QByteArray readIn() override { return inBytes; }
    QString outText() const { return QString::fromUtf8(outBytes); }
    QString errText() const { return QString::fromUtf8(errBytes); }

    QByteArray outBytes;
    QByteArray errBytes;
    bool terminal = false;
    bool outTerminal = true; // as someone watching, unless a test says otherwise
    QByteArray inBytes;

protected:
    void writeOut(const QByteArray& bytes) override { outBytes += bytes; }
    void writeErr(const QByteArray& bytes) override { errBytes += bytes; }
};

} // namespace korvane::cli
