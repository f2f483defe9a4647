#include "QtForFuzzing.h"

#include <QApplication>
#include <QCoreApplication>

#include <cstdio>

namespace {

int argc = 1;
char name[] = "rconf-fuzz";
char* argv[] = {name, nullptr};

void quietHandler(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type == QtDebugMsg || type == QtInfoMsg)
        return;
    std::fprintf(stderr, "%s\n", qPrintable(text));
}

} // namespace

namespace QtForFuzzing {

void startCore()
{
    qInstallMessageHandler(quietHandler);
    new QCoreApplication(argc, argv);
}

void startWidgets()
{
    qInstallMessageHandler(quietHandler);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    new QApplication(argc, argv);
}

} // namespace QtForFuzzing
