// Renders every page of every tab widget of the main window to PNG files, so the
// fixed layout can be inspected without a display:
//   QT_QPA_PLATFORM=offscreen render_form <out-dir> [--long]
// With --long the status labels carry their longest realistic texts instead of
// the start placeholders.
#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPixmap>
#include <QTabWidget>
#include <QTextStream>

#include "MainWindow.h"

namespace {

// Every tab widget above `w` shows the page that holds it.
void revealAncestors(QWidget* w)
{
    for (QWidget* parent = w->parentWidget(); parent; parent = parent->parentWidget()) {
        auto* tabs = qobject_cast<QTabWidget*>(parent);
        if (!tabs)
            continue;
        for (int i = 0; i < tabs->count(); ++i) {
            if (tabs->widget(i) == w || tabs->widget(i)->isAncestorOf(w)) {
                tabs->setTabEnabled(i, true);
                tabs->setCurrentIndex(i);
            }
        }
    }
}

void setLongTexts(MainWindow& window)
{
    const QList<QPair<const char*, QString>> texts = {
        {"info_WorkMode_label", "<font color = 'green'>Основная программа фотоколориметра</font>"},
        {"info_bl_vers_Label", "<font color = 'blue'>Версия загрузчика: </font>255.255"},
        {"info_SWConfig_ok_label", "<font color = 'green'>успешно</font>"},
        {"info_atMode_Label", "<font color = 'red'>включен, данные BLE транслируеются в USB</font>"},
        {"info_devType_label", "<font color = 'green'>100. Мультидатчик - фотоколориметр</font>"},
        {"info_Errors", "<font color = 'red'>Ошибка программного обеспечения. Неподдерживаемая версия платы</font>"},
        {"bl_fwConf_status_label", "Ошибка. Данные недостоверны"},
        {"bl_fwConf_len_label", "4294967295 байт"},
        {"bl_fwConf_CRC_label", "0xffffffff"},
        {"archive_CurrentStatus_label", "Загрузка архива из энергонезависимой памяти"},
        {"data_Accel_devStatus_label", "<font color = 'red'>Отключен. Исчерпаны попытки</font>"},
        {"data_Press_devStatus_label", "<font color = 'red'>Отключен. Исчерпаны попытки</font>"},
        {"data_SHT_devStatus_label", "<font color = 'red'>Отключен. Исчерпаны попытки</font>"},
        {"data_MAX_devStatus_label", "<font color = 'black'>Не инициализировано</font>"},
        {"exchange_ConductScale_label", "<font color = 'green'>Подтяжка 100К</font>"},
        {"exchange_Light_label", "<font color = 'red'>Нет ответа</font>"},
        {"hwConfig_devInit_label", "Загрузчик фотоколориметра"},
    };
    for (const auto& t : texts)
        if (auto* label = window.findChild<QLabel*>(QString::fromLatin1(t.first)))
            label->setText(t.second);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        QTextStream(stderr) << "usage: render_form <out-dir> [--long]\n";
        return 2;
    }
    const QDir outDir(args.at(1));
    if (!QDir().mkpath(outDir.absolutePath())) {
        QTextStream(stderr) << "cannot create " << outDir.absolutePath() << "\n";
        return 1;
    }

    MainWindow window;
    window.resize(1366, 690);
    window.show();
    // A closed port greys the whole tab widget; the picture should show the pages as they look in use.
    window.findChild<QTabWidget*>(QStringLiteral("cmds"))->setEnabled(true);
    if (args.contains(QStringLiteral("--long")))
        setLongTexts(window);

    int written = 0;
    const auto tabWidgets = window.findChildren<QTabWidget*>();
    for (QTabWidget* tabs : tabWidgets) {
        for (int i = 0; i < tabs->count(); ++i) {
            revealAncestors(tabs->widget(i));
            QApplication::processEvents();
            const QString file = outDir.filePath(QStringLiteral("%1_%2_%3.png")
                                                     .arg(tabs->objectName())
                                                     .arg(i)
                                                     .arg(tabs->widget(i)->objectName()));
            if (!window.grab().save(file)) {
                QTextStream(stderr) << "cannot write " << file << "\n";
                return 1;
            }
            ++written;
        }
    }
    QTextStream(stdout) << written << " pages written to " << outDir.absolutePath() << "\n";
    return 0;
}
