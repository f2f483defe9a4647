#include "GroupBoxPaintCache.h"

#include <QEvent>
#include <QGroupBox>
#include <QPainter>

#include <utility>

GroupBoxPaintCache::GroupBoxPaintCache(QWidget* window) : QObject(window)
{
    quiet.setSingleShot(true);
    quiet.setInterval(kQuietMs);
    connect(&quiet, &QTimer::timeout, this, &GroupBoxPaintCache::makeWaiting);
    for (QGroupBox* box : window->findChildren<QGroupBox*>()) {
        if (box->isCheckable())
            continue;   // its check box reacts to the mouse
        box->installEventFilter(this);
        connect(box, &QObject::destroyed, this, [this, box](QObject* gone) {
            pictures.remove(gone);
            waiting.remove(box);
        });
    }
}

bool GroupBoxPaintCache::changesLook(int eventType)
{
    switch (eventType) {
    case QEvent::Resize:
    case QEvent::StyleChange:
    case QEvent::PaletteChange:
    case QEvent::FontChange:
    case QEvent::ActivationChange:
    case QEvent::LayoutDirectionChange:
    case QEvent::HoverEnter:
    case QEvent::HoverLeave:
        return true;
    default:
        return false;
    }
}

bool GroupBoxPaintCache::fits(const QGroupBox* box, const Picture& picture) const
{
    const qreal ratio = box->devicePixelRatioF();
    return !picture.pixmap.isNull() && picture.pixmap.devicePixelRatioF() == ratio &&
           picture.pixmap.size() == box->size() * ratio && picture.title == box->title();
}

bool GroupBoxPaintCache::eventFilter(QObject* watched, QEvent* event)
{
    if (changesLook(event->type())) {
        pictures.remove(watched);
        return false;
    }
    if (event->type() != QEvent::Paint || making)
        return false;
    auto* box = static_cast<QGroupBox*>(watched);
    const auto found = pictures.constFind(watched);
    const Picture* picture = found == pictures.constEnd() ? nullptr : &found->byState[box->isEnabled()];
    if (!picture || !fits(box, *picture)) {
        waiting.insert(box);
        quiet.start();
        return false;
    }
    QPainter painter(box);
    painter.drawPixmap(0, 0, picture->pixmap);
    return true;
}

void GroupBoxPaintCache::makeWaiting()
{
    const QSet<QGroupBox*> boxes = std::exchange(waiting, {});
    for (QGroupBox* box : boxes)
        make(box);
}

void GroupBoxPaintCache::make(QGroupBox* box)
{
    const qreal ratio = box->devicePixelRatioF();
    if (box->size().isEmpty())
        return;
    Picture& picture = pictures[box].byState[box->isEnabled()];
    if (fits(box, picture))
        return;
    picture.pixmap = QPixmap(box->size() * ratio);
    picture.pixmap.setDevicePixelRatio(ratio);
    picture.pixmap.fill(Qt::transparent);
    picture.title = box->title();
    // The box alone: neither its background nor its children.
    making = true;
    box->render(&picture.pixmap, QPoint(), QRegion(), QWidget::RenderFlags());
    making = false;
}
