#include "GroupBoxPaintCache.h"

#include <QEvent>
#include <QGroupBox>
#include <QPainter>

#include <utility>
#include <vector>

GroupBoxPaintCache::GroupBoxPaintCache(QWidget* window) : QObject(window), window(window)
{
    delay.setSingleShot(true);
    delay.setInterval(kDelayMs);
    connect(&delay, &QTimer::timeout, this, &GroupBoxPaintCache::makeWaiting);
    // A resized window may move or resize what lies beneath the boxes.
    window->installEventFilter(this);
    for (QGroupBox* box : window->findChildren<QGroupBox*>()) {
        if (box->isCheckable())
            continue;   // its check box reacts to the mouse
        box->installEventFilter(this);
        connect(box, &QObject::destroyed, this, [this, box] {
            pictures.remove(box);
            waiting.remove(box);
        });
    }
}

bool GroupBoxPaintCache::changesLook(int eventType)
{
    switch (eventType) {
    case QEvent::Resize:
    case QEvent::Move:
    case QEvent::ParentChange:
    case QEvent::StyleChange:
    case QEvent::PaletteChange:
    case QEvent::FontChange:
    case QEvent::EnabledChange:
    case QEvent::ActivationChange:
    case QEvent::LayoutDirectionChange:
    case QEvent::ScreenChangeInternal:
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
    if (watched == window) {
        if (event->type() == QEvent::Resize || event->type() == QEvent::StyleChange ||
            event->type() == QEvent::PaletteChange)
            forgetAll();
        return false;
    }
    auto* box = static_cast<QGroupBox*>(watched);
    if (changesLook(event->type())) {
        forget(box);
        return false;
    }
    if (event->type() != QEvent::Paint || making)
        return false;
    if (paintFromPicture(box))
        return true;
    waiting.insert(box);
    if (!delay.isActive())
        delay.start();
    return false;
}

bool GroupBoxPaintCache::paintFromPicture(QGroupBox* box)
{
    const auto found = pictures.constFind(box);
    if (found == pictures.constEnd())
        return false;
    if (!fits(box, *found)) {
        // Changed without telling (a new title): painted whole, with what is beneath, next time.
        forget(box);
        box->update();
        return false;
    }
    QPainter painter(box);
    painter.drawPixmap(0, 0, found->pixmap);
    return true;
}

void GroupBoxPaintCache::forget(QGroupBox* box)
{
    if (pictures.remove(box))
        box->setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void GroupBoxPaintCache::forgetAll()
{
    const QList<QGroupBox*> boxes = pictures.keys();
    for (QGroupBox* box : boxes)
        forget(box);
}

void GroupBoxPaintCache::makeWaiting()
{
    const QSet<QGroupBox*> boxes = std::exchange(waiting, {});
    for (QGroupBox* box : boxes)
        make(box);
}

void GroupBoxPaintCache::make(QGroupBox* box)
{
    if (pictures.contains(box) || !box->isVisible() || box->size().isEmpty())
        return;
    const qreal ratio = box->devicePixelRatioF();
    Picture picture;
    // Without an alpha channel: the window's background makes every pixel
    // opaque, and an opaque picture is drawn by copying rather than blending.
    picture.pixmap = QPixmap(box->size() * ratio);
    picture.pixmap.setDevicePixelRatio(ratio);
    picture.title = box->title();
    // What the screen shows there without the box's children: each widget
    // from the window down to the box paints its own part, as in a paint.
    std::vector<QWidget*> chain;
    for (QWidget* w = box; w; w = w->isWindow() ? nullptr : w->parentWidget())
        chain.insert(chain.begin(), w);
    making = true;
    for (QWidget* w : chain) {
        const QRect area(box->mapTo(w, QPoint(0, 0)), box->size());
        w->render(&picture.pixmap, QPoint(), QRegion(area),
                  w->isWindow() ? QWidget::DrawWindowBackground : QWidget::RenderFlags());
    }
    making = false;
    pictures.insert(box, picture);
    box->setAttribute(Qt::WA_OpaquePaintEvent, true);
}
