#pragma once
#include <QByteArray>
#include <QList>

namespace vboard {

// Cuts request frames out of the byte stream read from the pseudo-terminal.
// Requests may arrive in pieces or several at once; the length field says
// where a frame ends. Garbage in front of a frame is dropped up to the next
// start byte, and a start byte whose frame never completes is given up by
// expire(), so one stray byte cannot swallow the following requests.
class RequestAssembler
{
public:
    // Appends bytes and returns the complete frames now available (checksum
    // not checked: a damaged request still gets the board's refusal).
    QList<QByteArray> feed(const QByteArray& bytes);
    // Gives up a held incomplete frame: drops its start byte and rescans.
    QList<QByteArray> expire();
    bool isHolding() const { return !buffer.isEmpty(); }
    int heldBytes() const { return buffer.size(); }

private:
    QList<QByteArray> extract();
    QByteArray buffer;
};

} // namespace vboard
