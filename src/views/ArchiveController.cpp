#include "ArchiveController.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDate>
#include <QDir>
#include <QSaveFile>
#include <QStringList>
#include <QTableWidgetItem>
#include <QTime>

#include <algorithm>

#include "ArchiveChart.h"
#include "ArchiveCsv.h"
#include "Dialogs.h"
#include "LittleEndian.h"
#include "MeasurementText.h"
#include "Records.h"
#include "proto_Vorlen_v2.h"
#include "ui_MainWindow.h"

namespace {

struct ArchiveRate {
    uint32_t periodMs;
    const char* statusText;
};

// Index = item of archive_Start_RecFreq_comboBox.
const ArchiveRate kArchiveRates[] = {
    {10, "100 точек в секунду"},    {20, "50 точек в секунду"},     {25, "40 точек в секунду"},
    {50, "20 точек в секунду"},     {100, "10 точек в секунду"},    {200, "5 точек в секунду"},
    {250, "4 точки в секунду"},     {500, "2 точки в секунду"},     {1000, "1 точка в секунду"},
    {60000, "1 точка в минуту"},    {600000, "1 точка в 10 минут"}, {900000, "1 точка в 15 минут"},
    {1800000, "1 точка в 30 минут"}, {3600000, "1 точка в час"},
};
constexpr int kArchiveRateCount = static_cast<int>(sizeof kArchiveRates / sizeof kArchiveRates[0]);

QString periodText(uint32_t periodMs)
{
    for (const ArchiveRate& r : kArchiveRates)
        if (r.periodMs == periodMs)
            return QString::fromUtf8(r.statusText);
    return QString();
}

// The board reports its count in a byte, but the engine keeps at most 100
// records: a load never goes past that.
uint32_t recordsToLoad(const uint8_t* status)
{
    return std::min<uint32_t>(status[rec::archive::kCount], rec::archive::kMaxRecords);
}

QString number(double v)
{
    return QString::number(v, 'g', 6);
}

enum ArchiveRow {
    RowTime, RowAdcTemp, RowVolt0, RowVolt1, RowVolt2, RowVolt3, RowAccScale, RowAccX, RowAccY, RowAccZ,
    RowLight, RowHumidity, RowShtTemp, RowPressure, RowPressTemp, RowConduct, RowCount
};

const QStringList& archiveRowHeaders()
{
    static const QStringList headers = {
        QStringLiteral("Время измерения"),     QStringLiteral("Температура АЦП"),
        QStringLiteral("Напряжение, канал 0"), QStringLiteral("Напряжение, канал 1"),
        QStringLiteral("Напряжение, канал 2"), QStringLiteral("Напряжение, канал 3"),
        QStringLiteral("Акселерометр, шкала"), QStringLiteral("Акселерометр, ось X"),
        QStringLiteral("Акселерометр, ось Y"), QStringLiteral("Акселерометр, ось Z"),
        QStringLiteral("Датчик освещенности"), QStringLiteral("Влажность"),
        QStringLiteral("Температура Д_влажн"), QStringLiteral("Давление"),
        QStringLiteral("Температура Д_давл"),  QStringLiteral("Шкала кондуктометра"),
    };
    return headers;
}

// The sixteen texts of one archive record's column (rows 1..15; row 0, the
// time, depends on the start stamp and is filled by the caller).
QStringList recordTexts(const uint8_t* r)
{
    using namespace rec::meas;
    const QString degC = QStringLiteral(" °C");   // Latin C in this table
    const QString off = QStringLiteral("Отключен");
    const uint8_t bits = r[kAnswerBits];

    QStringList t;
    for (int i = 0; i < RowCount; ++i)
        t << QString();
    t[RowAdcTemp] = number(le::i16(r + kAdcTemp) / 100.0) + degC;
    t[RowVolt0] = number(le::f32(r + kVolt1)) + QStringLiteral(" В");
    t[RowVolt1] = number(le::f32(r + kVolt2)) + QStringLiteral(" В");
    t[RowVolt2] = number(le::f32(r + kVolt3)) + QStringLiteral(" В");
    t[RowVolt3] = number(le::f32(r + kVolt4)) + QStringLiteral(" В");
    if (bits & kBitAccel) {
        t[RowAccScale] = MeasurementText::accelScale(r[kAccScale]);
        t[RowAccX] = QString::number(le::i16(r + kAccX));
        t[RowAccY] = QString::number(le::i16(r + kAccY));
        t[RowAccZ] = QString::number(le::i16(r + kAccZ));
    } else {
        t[RowAccScale] = t[RowAccX] = t[RowAccY] = t[RowAccZ] = off;
    }
    t[RowLight] = (bits & kBitLight) ? number(le::f32(r + kLight)) + QStringLiteral(" Люкс") : off;
    if (bits & kBitHumidity) {
        t[RowHumidity] = number(le::u16(r + kHumidity) / 100.0) + QStringLiteral(" %RH");
        t[RowShtTemp] = number(le::i16(r + kShtTemp) / 100.0) + degC;
    } else {
        t[RowHumidity] = t[RowShtTemp] = off;
    }
    if (bits & kBitPressure) {
        t[RowPressure] = number(le::f32(r + kPressure)) + QStringLiteral(" мБар");
        t[RowPressTemp] = number(le::i16(r + kPressTemp) / 100.0) + degC;
    } else {
        t[RowPressure] = t[RowPressTemp] = off;
    }
    t[RowConduct] = MeasurementText::pullup(r[kConductCode]);
    return t;
}

} // namespace

ArchiveController::ArchiveController(const ViewContext& context, QObject* parent)
    : QObject(parent),
      ctx(context),
      chart(std::make_unique<ArchiveChart>(ctx.ui->archive_chartChannels_listWidget, ctx.ui->archive_chart_GroupBox))
{
    connect(ctx.proto, &proto_Vorlen_v2::cmd_archiveControl_received, this, &ArchiveController::showStatus);
    connect(ctx.proto, &proto_Vorlen_v2::cmd_ArchiveData_received, this, &ArchiveController::chunkReceived);
    connect(ctx.ui->archive_exportCsv_Button, &QPushButton::clicked, this, &ArchiveController::exportCsv);
    ctx.ui->archive_exportCsv_Button->setEnabled(false);

    QTableWidget* table = ctx.ui->archive_Data_tableWidget;
    auto* copy = new QAction(QStringLiteral("Копировать"), table);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    connect(copy, &QAction::triggered, this, &ArchiveController::copySelection);
    table->addAction(copy);
    table->setContextMenuPolicy(Qt::ActionsContextMenu);
}

ArchiveController::~ArchiveController() = default;

void ArchiveController::requestStatus()
{
    if (!ctx.proto->isCommandAvailable(rec::cmd::archiveControl))
        return;
    ctx.proto->sendCommand(rec::cmd::archiveControl, nullptr, 0);
}

void ArchiveController::startRecording()
{
    using namespace rec::archive;
    uint8_t block[kBlockSize] = {};

    int rate = ctx.ui->archive_Start_RecFreq_comboBox->currentIndex();
    if (rate < 0 || rate >= kArchiveRateCount)
        rate = 0;   // the form's default rate
    le::put32(block + kPeriod, kArchiveRates[rate].periodMs);
    block[kCount] = static_cast<uint8_t>(ctx.ui->archive_Start_RecQtt_spinBox->value());

    const QDateTime now = clock();
    const QDate d = now.date();
    const QTime t = now.time();
    block[kYear] = static_cast<uint8_t>((d.year() + 48) & 0xFF);
    block[kMonth] = static_cast<uint8_t>(d.month());
    block[kDay] = static_cast<uint8_t>(d.day());
    block[kHour] = static_cast<uint8_t>(t.hour());
    block[kMinute] = static_cast<uint8_t>(t.minute());
    block[kSecond] = static_cast<uint8_t>(t.second());

    if (!ctx.proto->isCommandAvailable(rec::cmd::archiveControl))
        return;
    ctx.proto->sendCommand(rec::cmd::archiveControl, block, kBlockSize);
}

void ArchiveController::showStatus()
{
    using namespace rec::archive;
    const uint8_t* s = ctx.proto->archiveStatusRecord();
    const uint8_t state = s[kState];

    if (state == 0) {
        ctx.ui->archive_CurrentStatus_label->setText(QStringLiteral("Архив не инициализирован"));
        ctx.ui->archive_CurrentDateTime_DateTimeEdit->setDateTime(clock());
        ctx.ui->archive_CurrentRecordsQtt_label->setText(QStringLiteral("НЕДОСТУПНО"));
        ctx.ui->archive_CurrentTimeStamp_label->setText(QStringLiteral("НЕДОСТУПНО"));
        ctx.ui->archive_Record_progressBar->hide();
        return;
    }
    if (state == 1)
        ctx.ui->archive_CurrentStatus_label->setText(QStringLiteral("Идет процесс сохранения данных"));
    else if (state == 2)
        ctx.ui->archive_CurrentStatus_label->setText(QStringLiteral("Загрузка архива из энергонезависимой памяти"));
    else if (state == 3)
        ctx.ui->archive_CurrentStatus_label->setText(QStringLiteral("Архивирование завершено"));

    ctx.ui->archive_Record_progressBar->setMaximum(s[kCount]);
    ctx.ui->archive_Record_progressBar->setValue(s[kStored]);
    ctx.ui->archive_Record_progressBar->show();

    const QDate date(2000 + s[kYear], s[kMonth], s[kDay]);
    if (date.isValid()) {
        QTime time(s[kHour], s[kMinute], s[kSecond], 0);
        if (!time.isValid())
            time = QTime(0, 0, 0);
        ctx.ui->archive_CurrentDateTime_DateTimeEdit->setDateTime(QDateTime(date, time));
    }
    ctx.ui->archive_CurrentRecordsQtt_label->setText(QString::number(s[kCount]));
    ctx.ui->archive_CurrentTimeStamp_label->setText(periodText(le::u32(s + kPeriod)));
}

void ArchiveController::loadRecords()
{
    using namespace rec::archive;
    const uint8_t* s = ctx.proto->archiveStatusRecord();
    const uint32_t onBoard = s[kCount];

    if (onBoard == 0) {
        ctx.dialogs()->information(ctx.window, QStringLiteral("Ошибка"),
                                   QStringLiteral("Нет информации для загрузки"));
        return;
    }
    if (s[kState] == 1) {
        ctx.dialogs()->information(ctx.window, QStringLiteral("Ошибка"),
                                   QStringLiteral("Дождитесь окончания записи архива"));
        return;
    }
    const uint32_t total = recordsToLoad(s);
    if (onBoard > total)
        ctx.log(QStringLiteral("Архив: на плате %1 записей, загружаются первые %2").arg(onBoard).arg(total));

    const uint32_t n = std::min(total, kMaxChunk);
    if (ctx.proto->isCommandAvailable(rec::cmd::archiveData)) {
        const uint8_t request[2] = {0, static_cast<uint8_t>(n)};
        ctx.proto->sendCommand(rec::cmd::archiveData, request, sizeof request);
    }
    loadedCount = 0;
    chunkCount = n;
}

void ArchiveController::chunkReceived()
{
    // A reply with no chunk outstanding (none asked for), or one for another
    // block (a late duplicate of a repeated request), must not start or
    // advance a load: counting it would skip the records still to come.
    if (chunkCount == 0 || ctx.proto->lastArchiveAddress() != static_cast<uint8_t>(loadedCount))
        return;
    const uint32_t total = recordsToLoad(ctx.proto->archiveStatusRecord());

    loadedCount += chunkCount;
    ctx.ui->archive_loading_progressBar->setMaximum(static_cast<int>(total));
    ctx.ui->archive_loading_progressBar->setValue(static_cast<int>(std::min(loadedCount, total)));

    const uint32_t remaining = total > loadedCount ? total - loadedCount : 0;
    chunkCount = std::min(remaining, rec::archive::kMaxChunk);

    if (chunkCount > 0) {
        const uint8_t request[2] = {static_cast<uint8_t>(loadedCount), static_cast<uint8_t>(chunkCount)};
        ctx.proto->sendCommand(rec::cmd::archiveData, request, sizeof request);
    } else {
        showTable();
    }
}

void ArchiveController::showTable()
{
    using namespace rec::archive;
    QTableWidget* table = ctx.ui->archive_Data_tableWidget;
    const uint32_t total = recordsToLoad(ctx.proto->archiveStatusRecord());

    table->clearContents();
    table->setRowCount(RowCount);
    table->setColumnCount(static_cast<int>(total));
    table->setVerticalHeaderLabels(archiveRowHeaders());

    const uint32_t shown = std::min(loadedCount, total);
    shownCount = shown;
    ctx.ui->archive_exportCsv_Button->setEnabled(shown > 0);
    chart->show(ctx.proto->archiveRecords(), shown, ctx.ui->archive_CurrentDateTime_DateTimeEdit->dateTime());
    if (shown == 0)
        return;

    const QDateTime start = ctx.ui->archive_CurrentDateTime_DateTimeEdit->dateTime();
    const uint32_t t0 = le::u32(ctx.proto->archiveRecords() + rec::meas::kRunTime);
    for (uint32_t k = 0; k < shown; ++k) {
        const uint8_t* r = ctx.proto->archiveRecords() + k * kRecordSize;
        QStringList texts = recordTexts(r);
        const uint32_t elapsed = le::u32(r + rec::meas::kRunTime) - t0;   // wraps like the board's counter
        texts[RowTime] = start.addMSecs(static_cast<qint64>(elapsed)).toString(QStringLiteral("hh:mm:ss:zzz"));
        for (int row = 0; row < RowCount; ++row)
            table->setItem(row, static_cast<int>(k), new QTableWidgetItem(texts[row]));
    }
}

void ArchiveController::exportCsv()
{
    if (shownCount == 0)
        return;
    // A load under way is overwriting the records the table shows.
    if (chunkCount > 0) {
        ctx.dialogs()->information(ctx.window, QStringLiteral("Ошибка"), QStringLiteral("Дождитесь окончания загрузки архива"));
        return;
    }
    const QDateTime start = ctx.ui->archive_CurrentDateTime_DateTimeEdit->dateTime();
    const QString suggested = QDir::home().filePath(
        QStringLiteral("archive-%1.csv").arg(start.toString(QStringLiteral("yyyy-MM-dd_HH-mm-ss"))));
    const QString path = ctx.dialogs()->saveFileName(ctx.window, QStringLiteral("Экспорт архива в CSV"), suggested,
                                                     QStringLiteral("Таблицы CSV (*.csv)"));
    if (path.isEmpty())
        return;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(ArchiveCsv::build(ctx.proto->archiveRecords(), shownCount, start)) < 0 || !file.commit()) {
        ctx.dialogs()->warning(ctx.window, QStringLiteral("Ошибка"),
                               QStringLiteral("Не удалось записать файл %1: %2")
                                   .arg(QDir::toNativeSeparators(path), file.errorString()));
        return;
    }
    ctx.log(QStringLiteral("Архив: %1 записей сохранено в файл %2").arg(shownCount).arg(QDir::toNativeSeparators(path)));
}

void ArchiveController::copySelection()
{
    // The rectangle around the selection; unselected cells inside it stay empty.
    const QTableWidget* table = ctx.ui->archive_Data_tableWidget;
    const QList<QTableWidgetSelectionRange> ranges = table->selectedRanges();
    if (ranges.isEmpty())
        return;
    int top = ranges.first().topRow(), bottom = ranges.first().bottomRow();
    int left = ranges.first().leftColumn(), right = ranges.first().rightColumn();
    for (const QTableWidgetSelectionRange& r : ranges) {
        top = std::min(top, r.topRow());
        bottom = std::max(bottom, r.bottomRow());
        left = std::min(left, r.leftColumn());
        right = std::max(right, r.rightColumn());
    }
    QStringList lines;
    for (int row = top; row <= bottom; ++row) {
        QStringList cells;
        for (int column = left; column <= right; ++column) {
            const QTableWidgetItem* item = table->item(row, column);
            cells << (item && item->isSelected() ? item->text() : QString());
        }
        lines << cells.join(QLatin1Char('\t'));
    }
    QApplication::clipboard()->setText(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}
