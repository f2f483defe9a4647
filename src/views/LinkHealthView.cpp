#include "LinkHealthView.h"

#include <QLabel>
#include <QStatusBar>

#include "WindowEvents.h"
#include "ui_MainWindow.h"

namespace {
constexpr int kRefreshMs = 500;
}

LinkHealthView::LinkHealthView(const ViewContext& ctx, QObject* parent)
    : QObject(parent), label(new QLabel(ctx.ui->statusbar))
{
    label->setObjectName(QStringLiteral("linkHealth_label"));
    ctx.ui->statusbar->addPermanentWidget(label);
    counts.attach(ctx.proto);
    refreshTimer.setSingleShot(true);
    refreshTimer.setInterval(kRefreshMs);
    connect(&refreshTimer, &QTimer::timeout, this, &LinkHealthView::refresh);
    connect(&counts, &LinkHealth::changed, this, [this] {
        if (!refreshTimer.isActive())
            refreshTimer.start();
    });
    connect(ctx.events, &WindowEvents::portOpened, this, [this] {
        counts.reset();
        refresh();
    });
}

QString LinkHealthView::text() const
{
    return QStringLiteral("Связь: ") + counts.summary();
}

void LinkHealthView::refresh()
{
    const QString t = text();
    if (label->text() != t)
        label->setText(t);
}
