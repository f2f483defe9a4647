#include "InfoJob.h"

#include "BoardText.h"
#include "Records.h"

void InfoJob::start()
{
    s.connectBoard([this] {
        s.setStage(QStringLiteral("чтение конфигурации FW"));
        s.ask(rec::cmd::getFwConfig, QByteArray(), [this] { show(); });
    });
}

void InfoJob::show()
{
    const DevInfo& info = s.status();
    const uint8_t* fw = s.engine().fwConfigRecord();
    s.report() << BoardText::statusLines(info) << BoardText::fwConfigLines(info, fw);
    s.details().insert(QStringLiteral("fwConfig"), BoardText::fwConfigJson(info, fw));
    s.succeed(QStringLiteral("Статус получен"));
}
