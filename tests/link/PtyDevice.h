// SPDX-License-Identifier: MIT
#pragma once
// A pseudo-terminal pair for the serial port tests: the port under test opens the
// slave by its path, the test plays the device on the master side.

#include <QByteArray>
#include <QString>

#include <termios.h>

class PtyDevice {
public:
    PtyDevice();
    ~PtyDevice();
    PtyDevice(const PtyDevice&) = delete;
    PtyDevice& operator=(const PtyDevice&) = delete;

    bool IsValid() const { return m_master >= 0; }
    const QString& SlavePath() const { return m_slavePath; }
    int MasterFd() const { return m_master; }

    // Writes every byte, waiting for room up to a few seconds.
    bool Write(const QByteArray& bytes);
    // Reads until count bytes are in or timeoutMs has passed without them.
    QByteArray Read(int count, int timeoutMs = 10000);
    // Whatever has arrived, without waiting; false when the slave side is gone.
    bool ReadAvailable(QByteArray& into);
    // The device goes away: the slave side sees a hang-up.
    void CloseMaster();
    // The line settings of the slave (the master's ioctls reach the slave's termios).
    termios SlaveTermios() const;

private:
    int m_master = -1;
    QString m_slavePath;
};

// Number of threads of this process.
int ThreadCount();
// Number of open descriptors of this process.
int OpenFdCount();
