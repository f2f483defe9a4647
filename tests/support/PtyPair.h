#pragma once
#include <QByteArray>
#include <QString>

// A raw-mode pseudo-terminal pair: the test holds the master side and gives
// the slave's path to the code under test, which opens it like a serial port.
class PtyPair
{
public:
    PtyPair();
    ~PtyPair();
    bool isValid() const { return masterFd >= 0; }
    QString slavePath() const { return path; }
    void write(const QByteArray& bytes);
    // Reads what the other side wrote, waiting up to timeoutMs for at least minBytes.
    QByteArray read(int minBytes, int timeoutMs);
    void closeMaster();

private:
    int masterFd = -1;
    int slaveKeepFd = -1;
    QString path;
};
