#include <QApplication>
#include <QStandardPaths>

#include "MainWindow.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    // The user data folder, where the copies made before each write go, is named after the program.
    QCoreApplication::setApplicationName(QStringLiteral("rconf"));
    MainWindow window;
    window.setBackupDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation));
    window.showMaximized();
    return QApplication::exec();
}
