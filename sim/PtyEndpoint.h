#pragma once
#include <QByteArray>
#include <QString>

namespace vboard {

// The board's end of a pseudo-terminal: the master side, non-blocking, with
// both sides in raw mode before anything is written, and a symbolic link
// to the slave device at a fixed path for the configurator to open.
class PtyEndpoint
{
public:
    PtyEndpoint() = default;
    ~PtyEndpoint();
    PtyEndpoint(const PtyEndpoint&) = delete;
    PtyEndpoint& operator=(const PtyEndpoint&) = delete;

    // Creates the terminal and the link; on failure a Russian reason in *error.
    bool open(const QString& linkPath, QString* error);
    // Closes both sides (the open slave sees a hang-up) and removes the link.
    void close();
    bool isOpen() const { return master >= 0; }
    int masterFd() const { return master; }
    QString slavePath() const { return slave; }

    // Non-blocking; -1 on error, otherwise the bytes taken.
    qint64 write(const char* data, qint64 size);
    // Bytes written to the slave that its reader has not taken yet.
    int unreadBySlave() const;
    // Everything available now; *hangUp is set when the terminal is unusable.
    QByteArray readAvailable(bool* hangUp);

private:
    int master = -1;
    int slaveKeep = -1;
    QString slave;
    QString link;
};

} // namespace vboard
