// The protocol engine on its own. A row runs steps (requests, reads, repeats,
// a programming start) and compares in order all the engine did: log lines,
// signals, frames sent; then every record, so a reply fills its own record only.
#include <QElapsedTimer>
#include <QtTest>

#include "Crc16.h"
#include "FrameCodec.h"
#include "TestBytes.h"
#include "VirtualBoard.h"
#include "WaitTimes.h"
#include "proto_Vorlen_v2.h"

namespace {

const QString kStop = QStringLiteral("СТОП - выполнение команды остановлено");
const QString kBadCrc = QStringLiteral("ОШИБКА - Неверная контрольная сумма принятых данных");
const QString kGiveUp = QStringLiteral("ОШИБКА - Выполнение команды остановлено - исчерпаны попытки");
QString attempt(int n) { return QStringLiteral("Отправка команды, попытка %1").arg(n); }

// A trace written short, '|' between entries: "+D" and "~D" an expected and an unexpected reply described D
// (and the stop line), "short C got need" a reply too short, "try N" an attempt; crc, len, copy, refused.
QStringList T(const QString& shorthand)
{
    const QMap<QString, QString> words = {{"crc", kBadCrc}, {"len", "ОШИБКА - Длина посылки в протоколе не соответствует принятой"},
                                          {"copy", "Принят повторный ответ на уже выполненную команду - пропущен"},
                                          {"refused", "ОТВЕТ МК - недопустимая команда, ошибка контрольной суммы, или формата запроса"}};
    QStringList out;
    for (const QString& t : shorthand.split('|')) {
        const QStringList w = t.split(' ');
        if (t.startsWith('+') || t.startsWith('~'))
            out << (t[0] == '+' ? "Принят ожидаемый ответ на команду - " : "Принят неожидаемый ответ на другую команду - ") + t.mid(1) << kStop;
        else if (w[0] == "short")
            out << QStringLiteral("ОШИБКА - ответ слишком короткий для команды 0x%1: принято %2 байт, требуется не менее %3").arg(w[1], w[2], w[3]);
        else
            out << (w[0] == "try" ? attempt(w[1].toInt()) : words.value(t, t));
    }
    return out;
}

QByteArray filled(int size, int seed = 1)
{
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i)
        b[i] = char((i * 7 + seed) & 0xFF);
    return b;
}
QByteArray withCrc(QByteArray b)   // a block carrying its own CRC, as a frame or the hardware configuration
{
    b.append(2, '\0');
    Crc16().append(raw(b), uint16_t(b.size()));
    return b;
}
QByteArray flip(QByteArray b, int at, int bits = 1)   // the CRC no longer fits
{
    b[at] = char(b.at(at) ^ bits);
    return b;
}
QByteArray resealed(QByteArray frame, int at, int value) { return withCrc(flip(frame, at, frame.at(at) ^ value).left(frame.size() - 2)); }
// A frame in a trace: header and CRC; data a signal hands out: bytes, or size and CRC.
QString sent(const QByteArray& f) { return "> " + f.left(4).toHex() + '.' + f.right(2).toHex(); }
QString data(const QByteArray& b)
{
    return b.size() <= 8 ? QString(b.toHex()) : QStringLiteral("%1:%2").arg(b.size()).arg(Crc16().calc(u8(b), uint16_t(b.size())), 0, 16);
}
QString data(const uint8_t* p, uint32_t n) { return data(QByteArray(reinterpret_cast<const char*>(p), int(n))); }
// Steps: r bytes received, s request (code, payload), p repeat, g programming start, h hardware configuration
// write, u user data write, c its continuation, f request sent from the next reply signal, w wait for an event.
QByteArray rx(const QByteArray& b) { return 'r' + b; }
QByteArray tx(int code, const QByteArray& p = QByteArray()) { return 's' + QByteArray(1, char(code)) + p; }
const QByteArray kRepeat("p"), kWait("w");
QByteArray board(int progMode, int devType = 1) { return bytes({progMode, 1, 1, 0, 64, 0, devType, 0, 0x12}); }

enum Record { Info, Hw, Fw, Raw, Exchange, PcRaw, ArchiveStatus, User, Archive, Stat, Page };
QList<QByteArray> records(const proto_Vorlen_v2& e)
{
    auto b = [](const uint8_t* p, int n) { return QByteArray(reinterpret_cast<const char*>(p), n); };
    const DevInfo& d = e.deviceInfo();
    return {bytes({d.progMode, d.flags, d.freePages, d.bleBridge, d.devType, d.errorCode, d.blVersion}),
            b(e.hwConfigRecord(), 288), b(e.fwConfigRecord(), 60), b(e.rawDataRecord(), 256), b(e.exchangeRecord(), 64),
            b(e.pcRawRecord(), 256), b(e.archiveStatusRecord(), 30),
            b(e.userDataRecord(), 255) + char(e.userDataLength()) + char(e.userDataReached()),
            b(e.archiveRecords(), 6400), b(e.statRecord(), 60), b(e.pageRecord(), 1024)};
}

struct Probe {
    proto_Vorlen_v2 e;
    QStringList trace, prompts;
    QByteArray followUp;

    Probe()
    {
        using P = proto_Vorlen_v2;
        QObject::connect(&e, &P::log, [this](const QString& t) { trace << t; });
        QObject::connect(&e, &P::_transmit_data, [this](uint8_t* b, uint32_t n) { trace << sent(QByteArray(reinterpret_cast<char*>(b), int(n))); });
        const QList<QPair<void (P::*)(), const char*>> plain = {
            {&P::cmd_getInfo_received, "#info"}, {&P::cmd_RawData_received, "#raw"}, {&P::cmd_DataExchange_received, "#exchange"},
            {&P::cmd_archiveControl_received, "#archive"}, {&P::cmd_ArchiveData_received, "#records"}, {&P::cmd_fwConfig_updated, "#fw"},
            {&P::cmd_hwConfig_readed, "#hw"}, {&P::cmd_Reload_Request, "#reload"}, {&P::cmd_stat_received, "#stat"}};
        for (const auto& s : plain)
            QObject::connect(&e, s.first, [this, s] { trace << s.second; });
        QObject::connect(&e, &P::cmd_userData_sent, [this](int o, int l, int t) { trace << QStringLiteral("#userSent %1 %2 %3").arg(o).arg(l).arg(t); });
        QObject::connect(&e, &P::cmd_userData_readed, [this](uint n) { trace << QStringLiteral("#userRead %1").arg(n); });
        QObject::connect(&e, &P::cmd_fwPage_writedBlock, [this](int pg, int bl) { trace << QStringLiteral("#blockWrite %1 %2").arg(pg).arg(bl); });
        QObject::connect(&e, &P::cmd_program_progress, [this](int pc, bool ok) { trace << QStringLiteral("#progress %1 %2").arg(pc).arg(int(ok)); });
        QObject::connect(&e, &P::programmingChanged, [this](bool on) { trace << QStringLiteral("#programming %1").arg(int(on)); });
        QObject::connect(&e, &P::cmd_atCmd_received, [this](uint8_t* p, uint32_t n) { trace << "#at " + data(p, n); });
        QObject::connect(&e, &P::cmd_fwPage_readed, [this](uint8_t* p, uint32_t n) { trace << "#page " + data(p, n); });
        QObject::connect(&e, &P::cmd_fwPage_readedBlock,
                         [this](int pg, int bl, uint8_t* p) { trace << QStringLiteral("#blockRead %1 %2 ").arg(pg).arg(bl) + data(p, 4); });
        // The status and archive views ask for more from inside the reply signal.
        for (auto s : {&P::cmd_getInfo_received, &P::cmd_ArchiveData_received})
            QObject::connect(&e, s, [this] { run(followUp.isEmpty() ? QByteArray() : 's' + std::exchange(followUp, {})); });
        e.setGatePrompt([this](const QString& t) { prompts << t; });
    }

    void run(const QByteArray& step)
    {
        const QByteArray b = step.mid(1);
        const int n = trace.size();
        std::vector<uint8_t> exact(b.begin(), b.end());   // exact size, so any over-read is caught
        switch (step.isEmpty() ? 0 : step.at(0)) {
        case 'r': return e.parseReceived(exact.data(), uint32_t(exact.size()));
        case 's': return e.sendCommand(exact[0], exact.data() + 1, uint32_t(exact.size() - 1));
        case 'p': return e.repeatCommand();
        case 'g': return e.startProgramming(exact.data(), uint32_t(exact.size()));
        case 'h': return e.writeHwConfig(exact.data());
        case 'u': return e.writeUserData(exact.data(), uint8_t(exact.size()));
        case 'c': return e.continueUserDataWrite(exact[0], exact[1], exact[2]);
        case 'f': followUp = b; return;
        case 'w': QTRY_VERIFY(trace.size() > n);
        }
    }
};

} // namespace

class EngineTest : public QObject
{
    Q_OBJECT
private slots:
    void rows_data();
    void rows();
    void gate_data();
    void gate();
    void timelineWithRealTimer();
};

// The first step is the request pending before the row (or none); the trace starts after it.
static void row(const char* name, const QList<QByteArray>& steps, const QStringList& trace, int record = -1,
                const QByteArray& want = QByteArray(), int at = 0, const QByteArray& status = board(0))
{
    QTest::newRow(name) << status << steps << trace << record << want << at;
}

static QList<QByteArray> pieces(const QByteArray& pending, const QByteArray& frame, QList<int> cuts)
{
    QList<QByteArray> out{pending};
    cuts << frame.size();
    for (int i = 0, from = 0; i < cuts.size(); from = cuts[i++])
        out << rx(frame.mid(from, cuts[i] - from));
    return out;
}

void EngineTest::rows_data()
{
    QTest::addColumn<QByteArray>("status");   // the status reply taken first
    QTest::addColumn<QList<QByteArray>>("steps");
    QTest::addColumn<QStringList>("trace");
    QTest::addColumn<int>("record");          // the one record that changes, -1 none
    QTest::addColumn<QByteArray>("want");     // its bytes from offset at
    QTest::addColumn<int>("at");
    // Frames spelt out byte by byte pin the checksum; the rest are built by the codec.
    const QByteArray s = wireFrame(0, board(0)), x = wireFrame(0xFE, filled(60, 9)), r = bytes({0xAA, 0x06, 0x00, 0xFF, 0x81, 0xBD}), none;
    const QByteArray page = filled(1024, 41), cfg = filled(60, 47), big = QByteArray(2042, 'Z');
    // Requests: the start line, and the frame with what the command table copies of the payload.
    auto request = [&](const char* name, const QByteArray& step, const QByteArray& frame, const QString& line) {
        row(name, {none, step}, {"СТАРТ - " + line, sent(frame), attempt(1)});
    };
    // Replies to a request of the same code, one read each.
    auto reply = [](const char* name, int code, const QByteArrayList& payloads, const QString& trace, int record = -1,
                    const QByteArray& want = QByteArray(), int at = 0, const QByteArray& status = board(0)) {
        QList<QByteArray> steps{tx(code)};
        for (const QByteArray& p : payloads)
            steps << rx(wireFrame(uint8_t(code), p));
        row(name, steps, T(trace), record, want, at, status);
    };
    const QByteArray p2 = bytes({5, 3}), p3 = bytes({3, 2, 1}), at = bytes({0x80, 0x25, 0, 0, 0x41, 0x54, 0x0D, 0x0A});
    request("getInfo", tx(0, p3), bytes({0xAA, 0x06, 0x00, 0x00, 0xC1, 0xFD}), "Запрос состояния устройства (getInfo)");
    request("exchange", tx(0x10, p2), wireFrame(0x10, p2), "Запрос данных обмена (get_DataExchange)");
    request("archive start", tx(0x20, cfg.left(30)), wireFrame(0x20, cfg.left(30)), "запуск сохранения нового архива (archiveControl)");
    request("archive data", tx(0x21, bytes({0, 8})), bytes({0xAA, 0x08, 0x00, 0x21, 0x00, 0x08, 0xA8, 0x1C}), "запрос архивных данных, адрес = 0, количество = 8");
    request("hardware read", tx(0x31, p3), wireFrame(0x31), "Запрос на чтение аппаратной конфигурации (get_HW_Config)");
    request("user read", tx(0x41, p3), wireFrame(0x41), "Запрос на чтение пользовательских калибровочных данных (get_UserData)");
    request("AT", tx(0x50, at), wireFrame(0x50, at), "Отправка AT-Команды BLE модулю (BLE_ATCmd)");
    request("largest request", tx(0x50, big), wireFrame(0x50, big), "Отправка AT-Команды BLE модулю (BLE_ATCmd)");
    request("page write", tx(0x80, p2 + page), wireFrame(0x80, p2 + page), "Запрос на запись страницы FLASH памяти № 5");
    request("page read keeps one byte", tx(0x81, p2), wireFrame(0x81, bytes({5, 0})), "Запрос на чтение страницы FLASH памяти № 5");
    request("page read, no page", tx(0x81), wireFrame(0x81), "Запрос на чтение страницы FLASH памяти № 0");
    request("configuration read", tx(0x83, p3), wireFrame(0x83), "Запрос на чтение конфигурации прошивки (get_FW_Config)");
    request("bootloader", tx(0x84, p3), wireFrame(0x84), "Запрос команды на запуск загрузчика (bootloader_init)");
    request("block read keeps two", tx(0x8B, p3), wireFrame(0x8B, bytes({3, 2, 0})), "Запрос на чтение страницы FLASH по блокам. Страница № 3. Блок №2");
    request("statistics", tx(0xFE), wireFrame(0xFE), "запрос на чтение данных статистики платы");
    request("statistics reset", tx(0xFE, bytes({0x94, 0x2B})), wireFrame(0xFE, bytes({0x94, 0x2B})), "запрос на сброс данных статистики платы");
    const QString hwLine = "СТАРТ - Запрос на запись аппаратной конфигурации (set_HW_Config)|" + sent(wireFrame(0x30, withCrc(filled(288, 3)))) + "|try 1";
    row("hardware write carries the record", {none, 'h' + filled(288, 3), tx(0x30, p3)}, T(hwLine + '|' + hwLine), Hw, filled(288, 3));
    const QString userLine = "СТАРТ - Запрос на запись пользовательских калибровочных данных (set_UserData)|%1|try 1";
    row("user data in chunks", {none, 'u' + filled(100, 29), 'c' + bytes({0, 64, 0}), 'c' + bytes({64, 36, 1})},
        T(userLine.arg(sent(wireFrame(0x40, bytes({0, 64, 0}) + filled(64, 29)))) + '|' +
          userLine.arg(sent(wireFrame(0x40, bytes({64, 36, 1}) + filled(100, 29).mid(64))))), User, filled(100, 29) + QByteArray(155, 0) + char(100) + char(100));
    // Refused requests leave the pending one as it was: its repeat is the same frame.
    const QString repeated = sent(wireFrame(0)) + "|try 2";
    row("unknown codes", {tx(0x31), tx(0x01, p2), tx(0x42), tx(0xFF), kRepeat}, T(sent(wireFrame(0x31)) + "|try 2"));
    row("request too long", {tx(0), tx(0x50, big + 'Z'), kRepeat},
        T("ОШИБКА - Запрос слишком длинный: 2043 байт данных при допустимых 2042. Команда не отправлена|" + repeated));

    // Replies decoded into their records.
    row("status", {tx(0), rx(bytes({0xAA, 0x0F, 0, 0, 1, 1, 1, 0, 0x40, 0, 1, 0, 0x12, 0x83, 0xCA}))}, T("#info|+запрос статуса"), Info,
        bytes({1, 3, 64, 0, 1, 0, 0x12}));
    reply("status flags by bit 0", 0, {bytes({10, 2, 3, 0, 5, 1, 100, 0x83, 0x21})}, "#info|+запрос статуса", Info, bytes({10, 2, 5, 1, 100, 0x83, 0x21}));
    reply("archive status", 0x20, {filled(30, 3), filled(29), filled(31)}, "#archive|+запроса статуса архива|+запроса статуса архива - формат "
          "ответа некорректный|+запроса статуса архива - формат ответа некорректный", ArchiveStatus, filled(30, 3));
    reply("archive records", 0x21, {bytes({8, 2}) + filled(128, 11), bytes({0, 0}), bytes({3})},
          "#records|+запроса архивных данных|#records|+запроса архивных данных|short 21 7 8|+запроса архивных данных", Archive, filled(128, 11), 8 * 64);
    const QString past = "ОШИБКА - архивные данные выходят за пределы архива (100 записей), лишние %1 байт отброшены|#records|~запроса архивных данных";
    row("archive records past the end", {none, rx(wireFrame(0x21, bytes({98, 4}) + filled(256, 4))), rx(wireFrame(0x21, bytes({255, 1}) + filled(64)))},
        T(past.arg(128) + '|' + past.arg(64)), Archive, filled(128, 4), 98 * 64);
    const QString rawDone = "RawData: пакет данных обработан|#raw|", badRaw = "RawData: ОШИБКА - неверная длина пакета|";
    const QString unknown = "RawData: ОШИБКА - источник данных неизвестен|";
    for (const auto& c : QList<std::tuple<int, int, int, QString>>{{1, 255, -1, badRaw}, {2, 256, Raw, rawDone}, {4, 300, Raw, rawDone},
                                                                  {100, 256, PcRaw, "#raw|"}, {100, 257, -1, badRaw}, {0, 256, -1, unknown}, {5, 256, -1, unknown}}) {
        const QByteArray packet = filled(std::get<1>(c), 13);
        QByteArray kept = std::get<2>(c) == PcRaw ? packet : QByteArray(256, '\0');
        for (const rec::raw::Slice& sl : rec::raw::kSlices)   // a laboratory packet keeps only its slices
            if (std::get<2>(c) == Raw)
                kept.replace(int(sl.offset), int(sl.length), packet.mid(int(sl.offset), int(sl.length)));
        reply(qPrintable(QStringLiteral("raw %1 %2").arg(std::get<0>(c)).arg(std::get<1>(c))), 0x1F, {packet},
              std::get<3>(c) + "+запроса физических данных платы", std::get<2>(c), kept, 0, board(1, std::get<0>(c)));
    }
    reply("exchange", 0x10, {filled(64, 19)}, "#exchange|+запроса данных обмена", Exchange, filled(64, 19), 0, board(1, 1));
    reply("exchange 63", 0x10, {filled(63)}, "ExchangeData: ОШИБКА - неверная длина пакета|+запроса данных обмена", -1, none, 0, board(1, 4));
    reply("exchange pc", 0x10, {filled(64)}, "RawData: ОШИБКА - данные фотоколориметра пока недоступны для чтения. Читать через debugData|"
          "+запроса данных обмена", -1, none, 0, board(11, 100));
    reply("exchange type 0", 0x10, {filled(64)}, unknown + "+запроса данных обмена", -1, none, 0, board(1, 0));
    const QString hw = "HW Config: Аппаратная конфигурация загружена|#hw|+чтения аппаратной конфигурации";
    const QString hwCrc = "|HW Config: ОШИБКА - некорректная контрольная сумма|+чтения аппаратной конфигурации";
    reply("hardware configuration", 0x31, {withCrc(filled(288, 21))}, hw, Hw, filled(288, 21));
    reply("hardware configuration refused", 0x31, {withCrc(filled(287)), flip(withCrc(filled(288)), 5), withCrc(filled(288)) + filled(10)},
          "HW Config: ОШИБКА - длина считанной конфигурации не соответсвует установленной|+чтения аппаратной конфигурации" + hwCrc + hwCrc);
    reply("hardware configuration longer", 0x31, {withCrc(filled(300, 24))},
          "HW Config: ОШИБКА - конфигурация длиннее установленной (300 байт), сохранены первые 288 байт|" + hw, Hw, filled(288, 24));
    const QString written = "+записи пользовательских калибровочных данных. Успешная запись", read = "|+чтения пользовательских калибровочных данных.";
    reply("user data echo", 0x40, {bytes({0, 64, 0}), bytes({64, 36})}, "#userSent 0 64 0|" + written + "|short 40 8 9|" + written);
    reply("user data read", 0x41, {filled(44, 31)}, "#userRead 44" + read, User, filled(44, 31));
    reply("user data too long", 0x41, {filled(300, 37)},
          "ОШИБКА - пользовательские данные длиннее 255 байт (300), сохранены первые 255|#userRead 255" + read, User, filled(255, 37));
    reply("AT answers", 0x50, {none, bytes({0, 0xC2, 1, 0}) + "OK\r\n", at.left(4), p3},
          "+отправки AT-команды|#at 4f4b0d0a|+Принят ответ на АТ-команду от BLE модуля, на скорости 115200|#at |"
          "+Принят ответ на АТ-команду от BLE модуля, на скорости 9600|short 50 9 10|+отправки AT-команды");
    reply("largest reply", 0x50, {big}, "#at " + data(big.mid(4)) + "|+Принят ответ на АТ-команду от BLE модуля, на скорости 1515870810");
    reply("reply one too long", 0x50, {big + 'Z'}, "len");
    reply("page write", 0x80, {bytes({3})}, "+ записи страницы Flash памяти № 3");
    reply("page read", 0x81, {bytes({3}) + page, bytes({4}) + filled(1023)},
          "#page " + data(page) + "|+ чтения страницы Flash памяти № 3|short 81 1030 1031|+ чтения страницы Flash памяти № ", Page, page);
    row("blocks", {none, rx(wireFrame(0x8A, bytes({5, 6}))), rx(wireFrame(0x8B, bytes({7, 1, 0xDE, 0xAD, 0xBE, 0xEF}))), rx(wireFrame(0x8B, bytes({7})))},
        T("#blockWrite 5 6|~ записи страницы Flash памяти № 5. Блок № 6|#blockRead 7 1 deadbeef|"
          "~ чтения страницы Flash памяти № 7. Блок № 1|short 8b 7 8|~ чтения страницы Flash памяти № "));
    const QString fw = "#fw|+чтения программной конфигурации. Успешное чтение";
    row("another family's status forgets the record", {tx(0x83), rx(wireFrame(0x83, cfg)), rx(wireFrame(0, board(10)))},
        T(fw + "|#info|~запрос статуса"), Info, bytes({10, 3, 64, 0, 1, 0, 0x12}));
    reply("configuration", 0x83, {cfg + filled(4), filled(59)}, fw + "|short 83 65 66|+чтения программной конфигурации. Успешное чтение", Fw, cfg);
    reply("statistics", 0xFE, {filled(60, 9), filled(2)}, "#stat|+чтения статистики платы|short fe 8 66|+чтения статистики платы", Stat, filled(60, 9));
    reply("hardware written", 0x30, {none}, "+записи аппаратной конфигурации. Успешная запись");
    reply("bootloader started", 0x84, {none}, "#reload|+ запуск загрузчика");
    row("refused bootloader", {tx(0x84), rx(r)}, {"ОТВЕТ МК - загрузчик уже запущен, или неверный формат команды", kStop});
    row("refused main program", {tx(0x85), rx(r)}, {"ОТВЕТ МК - основная программа уже запущена, или неверный формат команды", kStop});
    row("refused other", {tx(0x30), rx(r)}, T("refused|" + kStop));

    // Frame checks: a rejected read leaves the request waiting, to be repeated; replies in pieces, as USB
    // serial drivers deliver them; reads joined and mixed with junk while a status request waits.
    const QString S = "#info|+запрос статуса", X = "#stat|~чтения статистики платы", R = "refused|" + kStop;
    const QByteArray junk = bytes({0x01, 0x55, 0x37}), stray = bytes({0xAA}), f = wireFrame(0x83, cfg);
    auto stream = [&](const char* name, const QList<QByteArray>& reads, const QString& lines) {
        QList<QByteArray> steps{tx(0)};
        for (const QByteArray& read : reads)
            steps << (read == kRepeat || read == kWait ? read : rx(read));
        row(name, steps, T(lines), lines.contains("#stat") ? Stat : -1, filled(60, 9));
    };
    stream("empty read", {none}, "crc");
    stream("start byte alone", {stray}, "crc");
    stream("wrong start byte", {resealed(wireFrame(0, filled(9)), 0, 0x55)}, "ОШИБКА - Неверный заголовок посылки");
    stream("length field short", {resealed(wireFrame(0, filled(9)), 1, 14)}, "len");
    stream("length field long", {resealed(wireFrame(0, filled(9)), 1, 20)}, "len");
    stream("five bytes", {bytes({0xAA, 0x05, 0x00, 0x52, 0xB0})}, "len");
    stream("unknown reply code", {wireFrame(0x77)}, "~");
    stream("half a reply, then silence", {s.left(8), kWait, kRepeat, s.mid(8)}, "crc|" + repeated + "|crc");
    for (const QList<int>& cuts : QList<QList<int>>{{3}, {1}, {2, 30}, {3, 5, 9, 20, 40, 65}})
        row(qPrintable(QStringLiteral("pieces cut at %1").arg(cuts.first())), pieces(tx(0x83), f, cuts), T(fw), Fw, cfg);
    row("page in USB packets", pieces(tx(0x81, bytes({9})), wireFrame(0x81, bytes({9}) + page),
                                      {64, 128, 192, 256, 320, 384, 448, 512, 576, 640, 704, 768, 832, 896, 960, 1024}),
        T("#page " + data(page) + "|+ чтения страницы Flash памяти № 9"), Page, page);
    stream("two replies in one read", {s + x}, S + '|' + X);
    stream("same reply twice in one read", {s + s}, S + "|copy");
    stream("junk before a reply", {junk + s}, "crc|" + S);
    stream("junk between replies", {s + junk + x}, S + "|crc|" + X);
    stream("read without a start byte", {junk}, "crc");
    stream("stray start byte, impossible length", {stray + s + x}, "crc|" + S + '|' + X);
    stream("stray start byte, plausible length", {stray + r}, "crc|" + R);
    stream("stray start byte alone, then replies", {stray, s, x}, "crc|" + S + '|' + X);
    stream("impossible length across reads", {stray, bytes({0xFF, 0xFF, 0x00, 0x01})}, "crc");
    stream("length byte one too long", {flip(s, 1, 0x1F) + x}, "crc|" + X);
    stream("length byte far too long", {flip(s, 1, 0x80) + x}, "crc|" + X);
    stream("damaged reply between good ones", {s + flip(x, 30) + r}, S + "|crc|" + R);
    stream("lost tail, next reply whole", {x.left(5), s}, "crc|" + S);
    stream("joined across three reads", {s.left(2), s.mid(2) + x.left(1), x.mid(1) + r}, S + '|' + X + '|' + R);

    // Transactions: a copy of a reply is no news until its request is sent again.
    const QString info = "СТАРТ - Запрос состояния устройства (getInfo)|" + sent(wireFrame(0)) + "|try 1";
    row("copy of a reply", {tx(0), rx(s), rx(s)}, T(S + "|copy"));
    row("same reply to a new request", {tx(0), rx(s), tx(0), rx(s)}, T(S + '|' + info + '|' + S));
    row("same reply to a follow-up", {tx(0), "f" + bytes({0}), rx(s), rx(s)}, T("#info|" + info + "|+запрос статуса|" + S));
    row("refusal to another request", {tx(0x31), rx(r), tx(0x83), rx(r)},
        T(R + "|СТАРТ - Запрос на чтение конфигурации прошивки (get_FW_Config)|" + sent(wireFrame(0x83)) + "|try 1|" + R));
    row("new request replaces the pending one", {tx(0xFE), tx(0), kRepeat, rx(x)}, T(info + '|' + repeated + '|' + X), Stat, filled(60, 9));
    const QString next = sent(wireFrame(0x21, bytes({8, 8})));
    row("follow-up keeps its time-out", {tx(0x21, bytes({0, 8})), "f" + bytes({0x21, 8, 8}), rx(wireFrame(0x21, bytes({0, 8}) + filled(512))), kRepeat},
        T("#records|СТАРТ - запрос архивных данных, адрес = 8, количество = 8|" + next + "|try 1|+запроса архивных данных|" + next + "|try 2"),
        Archive, filled(512));

    // Programming: the run hears of a reply after its stop line; three silent attempts end it.
    const QByteArray image = filled(1024, 61);
    const QString run = "#programming 1|#progress 0 1|" + info + '|', w = sent(wireFrame(0x80, bytes({0}) + image));
    row("programming gives up", {none, 'g' + image, rx(s), kRepeat, kRepeat, kRepeat, kRepeat},
        T(run + S + "|ПРОГРАММИРОВАНИЕ::: Режим бутлоадера проверен|#progress 20 1|СТАРТ - Запрос на запись страницы FLASH памяти № 0|" + w +
          "|try 1|ПРОГРАММИРОВАНИЕ::: Старт программирования, запись страницы 0|" + w + "|try 2|" + w + "|try 3|" + kGiveUp +
          "|ПРОГРАММИРОВАНИЕ::: Завершено|#programming 0|" + kGiveUp));
    row("short status is no bootloader check", {none, 'g' + image, rx(wireFrame(0))},
        T(run + "short 00 6 15|+запрос статуса|ПРОГРАММИРОВАНИЕ::: ОШИБКА - статус устройства не получен, режим бутлоадера не проверен|"
                "#programming 0|#progress 20 0"));
}

void EngineTest::rows()
{
    QFETCH(QByteArray, status);
    QFETCH(QList<QByteArray>, steps);
    QFETCH(QStringList, trace);
    QFETCH(int, record);
    QFETCH(QByteArray, want);
    QFETCH(int, at);
    Probe p;
    feedReply(p.e, 0x00, status);
    p.run(steps.takeFirst());
    QList<QByteArray> expected = records(p.e);
    if (record >= 0)
        expected[record].replace(at, want.size(), want);
    p.trace.clear();
    for (const QByteArray& step : steps)
        p.run(step);
    QTRY_COMPARE(p.trace, trace);
    p.run(rx({}));   // an empty read is rejected at once, unless a piece is still held
    QCOMPARE(p.trace.mid(trace.size()), QStringList{kBadCrc});
    QCOMPARE(records(p.e), expected);
}

void EngineTest::gate_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("progMode");
    QTest::addColumn<QString>("refusal");   // empty: allowed
    const QString boot = " недоступна в режиме бутлоадера", main = " недоступна в режиме основной программы";
    const QList<int> needMain = {0x20, 0x21, 0x40, 0x41, 0x84};
    const QMap<int, QString> gated = {
        {0x20, "запуска и чтения статуса архива" + boot}, {0x21, "запроса архивных данных" + boot},
        {0x40, "записи пользовательских калибровочных данных" + boot}, {0x41, "чтения пользовательских калибровочных данных" + boot},
        {0x84, "запуска загрузчика невозможна. Уже загружено"}, {0x30, "записи аппаратной конфигурации" + main},
        {0x80, "записи прошивки" + main}, {0x81, "чтения прошивки" + main}, {0x82, "записи программной конфигурации" + main},
        {0x85, "запуска основной программы невозможна. Уже загружено"}};
    for (int mode : {0, 1, 10, 11, 7})
        for (int code : {0x00, 0x10, 0x1F, 0x20, 0x21, 0x30, 0x31, 0x40, 0x41, 0x50, 0x80, 0x81, 0x82, 0x83, 0x84, 0x85, 0x8A, 0x8B, 0xFE}) {
            const bool open = !gated.contains(code) || mode % 10 == int(needMain.contains(code));
            QTest::addRow("0x%02x mode %d", code, mode) << code << mode << (open ? QString() : "Команда " + gated.value(code));
        }
}

// The mode gate asks before anything is sent, refuses what the board's program refuses, and refuses
// without a prompt too (told on the debug channel).
void EngineTest::gate()
{
    QFETCH(int, code);
    QFETCH(int, progMode);
    QFETCH(QString, refusal);
    Probe p;
    feedStatus(p.e, uint8_t(progMode));
    p.trace.clear();
    QCOMPARE(p.e.isCommandAvailable(uint32_t(code)), refusal.isEmpty());
    QCOMPARE(p.prompts + p.trace, refusal.isEmpty() ? QStringList() : QStringList{refusal});
    if (progMode % 10 < 2)
        QCOMPARE(refusal.isEmpty(), vboard::VirtualBoard::accepts(progMode % 10 ? vboard::Program::Main : vboard::Program::Bootloader, uint8_t(code)));
    p.e.setGatePrompt(nullptr);
    if (!refusal.isEmpty())
        QTest::ignoreMessage(QtDebugMsg, qPrintable(refusal));
    QCOMPARE(p.e.isCommandAvailable(uint32_t(code)), refusal.isEmpty());
}

// The one test of the real waits: three transmissions 1000 ms apart, then the give-up; a piece of a
// reply held 100 ms from the latest piece.
void EngineTest::timelineWithRealTimer()
{
    QCOMPARE(WaitTimes::divisor(), 1);   // the program's own waits: nothing in this test program shortens them
    QElapsedTimer clock;
    QList<qint64> at;   // taken where the signals arrive, not where the test wakes up
    Probe p;
    QObject::connect(&p.e, &proto_Vorlen_v2::log, [&] { at << clock.nsecsElapsed(); });
    clock.start();
    p.run(tx(0x83));
    QTRY_VERIFY_WITH_TIMEOUT(p.trace.endsWith(kGiveUp), 8000);
    QCOMPARE(p.trace, T(QStringLiteral("СТАРТ - Запрос на чтение конфигурации прошивки (get_FW_Config)|%1|try 1|%1|try 2|%1|try 3|")
                            .arg(sent(wireFrame(0x83))) + kGiveUp));
    for (int i : {2, 3, 4})   // nanoseconds
        QVERIFY2(at[i] - at[i - 1] >= 999500000 && at[i] - at[i - 1] <= 2000000000, qPrintable(QString::number(at[i] - at[i - 1])));
    // A reply after the give-up is still taken; pieces 60 ms apart make one frame though they span
    // more than the hold.
    const QStringList fw = T("#fw|+чтения программной конфигурации. Успешное чтение");
    p.trace.clear();
    p.run(rx(wireFrame(0x83, filled(60, 5))));
    QCOMPARE(p.trace, fw);
    const QByteArray f = wireFrame(0x83, filled(60, 6));
    for (int i = 0; i < 5; ++i)
        QTimer::singleShot(60 * i, &p.e, [&p, f, i] { p.run(rx(f.mid(14 * i, 14))); });
    QTRY_COMPARE(p.trace, fw + fw);
    QCOMPARE(records(p.e)[Fw], filled(60, 6));
    // A lone piece is given up 100 ms after it came.
    p.trace.clear();
    const qint64 pieceAt = clock.nsecsElapsed();
    p.run(rx(f.left(10)));
    QTRY_COMPARE(p.trace, QStringList{kBadCrc});
    QVERIFY2(at.last() - pieceAt >= 99500000 && at.last() - pieceAt <= 1100000000, qPrintable(QString::number(at.last() - pieceAt)));
}

QTEST_GUILESS_MAIN(EngineTest)
#include "test_engine.moc"
