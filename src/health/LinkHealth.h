#pragma once
#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <cstdint>
#include <vector>

class proto_Vorlen_v2;

// Link health of one port, counted from the engine's public signals only:
//  - a transmission is every frame the engine emits through _transmit_data;
//    it is a repeat when it carries the same bytes as the one before it and
//    no reply came in between (the engine's second and third attempts);
//  - a reply is every valid frame the engine handled: its summary log line
//    ("Принят ожидаемый ответ...", "Принят неожидаемый ответ...", or a
//    refusal "ОТВЕТ МК - ..."); copies the engine drops are not replies;
//  - a time-out is the engine giving a request up after its last attempt
//    ("ОШИБКА - Выполнение команды остановлено - исчерпаны попытки");
//  - a checksum error is a received block failing the frame checksum
//    ("ОШИБКА - Неверная контрольная сумма принятых данных");
//  - a round trip runs from the last transmission to the reply that ends it.
// Round trips go into a histogram (0.1 ms steps up to 1 s, exact above), so
// a port polled for days keeps a median in fixed memory.
class LinkHealth : public QObject
{
    Q_OBJECT
public:
    explicit LinkHealth(QObject* parent = nullptr);

    // Connects to the engine's _transmit_data and log signals.
    void attach(proto_Vorlen_v2* engine);
    // Starts counting afresh (the window calls it when a port opens).
    void reset();

    void noteTransmission(const uint8_t* frame, uint32_t size);
    void noteLogLine(const QString& line);

    uint64_t transmissions() const { return sent; }
    uint64_t replies() const { return answered; }
    uint64_t repeats() const { return repeated; }
    uint64_t timeouts() const { return givenUp; }
    uint64_t checksumErrors() const { return badChecksums; }
    // Median round trip in milliseconds; negative while no round trip is known.
    double medianRoundTripMs() const;
    // One Russian line: "ответов 12, повторов 0, тайм-аутов 0, ошибок CRC 0, медиана 3,1 мс".
    QString summary() const;

signals:
    void changed();

private:
    void noteReply();

    static constexpr uint32_t kFineSteps = 10000;   // 0.1 ms steps up to 1 s
    uint64_t sent = 0, answered = 0, repeated = 0, givenUp = 0, badChecksums = 0;
    std::vector<uint8_t> lastFrame;
    bool awaitingReply = false;
    QElapsedTimer sinceTransmission;
    std::vector<uint32_t> fine;          // counts per 0.1 ms step
    std::vector<double> slow;            // round trips of a second and more, in ms
    uint64_t samples = 0;
};
