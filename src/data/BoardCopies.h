#pragma once
#include <QByteArray>
#include <QList>
#include <QObject>

#include <cstdint>

class BackupFile;
class proto_Vorlen_v2;

// The records of the board behind the port as they were last read from it
// in this port session, kept apart from the engine's records, which a view
// may load or edit before writing. A copy made before a write takes its
// records from here.
class BoardCopies : public QObject
{
    Q_OBJECT
public:
    enum Record { HwConfig, FwConfig, UserData };
    static constexpr int kRecordCount = 3;

    explicit BoardCopies(proto_Vorlen_v2* engine, QObject* parent = nullptr);

    // Read from the board on this port session (and, for the user block, for its present type).
    bool has(Record r) const;
    QByteArray bytes(Record r) const { return kept[r]; }
    // The board may now hold something else (it was written to).
    void forget(Record r) { session[r] = -1; }
    // The records the running program can read.
    QList<Record> readable() const;
    // The request that reads a record.
    static uint8_t readCode(Record r);
    static QString name(Record r);
    // The board's identity and every record held, for a file.
    BackupFile backup(const QString& tool) const;

private:
    void keep(Record r, const uint8_t* data, int size);

    proto_Vorlen_v2* engine;
    QByteArray kept[kRecordCount];
    int64_t session[kRecordCount] = {-1, -1, -1};
    uint8_t userType = 0;   // the board type the user block was read for
};
