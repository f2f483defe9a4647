#pragma once
// Shared by the engine tests: an engine with its outputs recorded, and reply
// frames built byte by byte the way the board sends them.
#include <QByteArray>
#include <QList>
#include <QObject>
#include <QStringList>

#include "Crc16.h"
#include "TestBytes.h"
#include "proto_Vorlen_v2.h"

inline QByteArray filled(int size, int seed = 1)
{
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i)
        b[i] = char((i * 7 + seed) & 0xFF);
    return b;
}

struct EngineProbe {
    proto_Vorlen_v2 proto;
    QStringList logs;
    QList<QByteArray> sent;
    QStringList prompts;

    EngineProbe()
    {
        QObject::connect(&proto, &proto_Vorlen_v2::log, [this](const QString& t) { logs << t; });
        QObject::connect(&proto, &proto_Vorlen_v2::_transmit_data, [this](uint8_t* buf, uint32_t size) {
            sent << QByteArray(reinterpret_cast<const char*>(buf), int(size));
        });
        proto.setGatePrompt([this](const QString& t) { prompts << t; });
    }

    void send(uint32_t code, const QByteArray& payload = QByteArray())
    {
        proto.sendCommand(code, reinterpret_cast<const uint8_t*>(payload.constData()), uint32_t(payload.size()));
    }

    void receive(QByteArray block)
    {
        proto.parseReceived(reinterpret_cast<uint8_t*>(block.data()), uint32_t(block.size()));
    }

    void clear()
    {
        logs.clear();
        sent.clear();
        prompts.clear();
    }
};
