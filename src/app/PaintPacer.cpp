#include "PaintPacer.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

PaintPacer::PaintPacer(QWidget* window) : QObject(window), window(window)
{
    heldBack.setSingleShot(true);
    connect(&heldBack, &QTimer::timeout, this, &PaintPacer::paintHeldBack);
    window->installEventFilter(this);
}

bool PaintPacer::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != window || event->type() != QEvent::UpdateRequest || releasing)
        return QObject::eventFilter(watched, event);
    if (heldBack.isActive())
        return true;
    const qint64 since = lastPaint.isValid() ? lastPaint.elapsed() : kFrameMs;
    if (since >= kFrameMs) {
        lastPaint.start();
        return QObject::eventFilter(watched, event);
    }
    heldBack.start(static_cast<int>(kFrameMs - since));
    return true;
}

void PaintPacer::paintHeldBack()
{
    // The window still counts its update request as pending, so it asks for
    // no other: this one paints whatever has changed since.
    lastPaint.start();
    releasing = true;
    QEvent request(QEvent::UpdateRequest);
    QCoreApplication::sendEvent(window, &request);
    releasing = false;
}
