#pragma once
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

class QWidget;

// Paints the window at most about 30 times a second. Every changed label,
// progress step or pane batch asks for a paint of the whole window's dirty
// region; at the fastest polling that is a paint per reply. A request that
// comes sooner than a frame after the last paint is held back and the
// window is painted once at the end of the frame, with everything that
// changed meanwhile. Exposure (the first paint, a window uncovered) is not
// held back.
class PaintPacer : public QObject
{
    Q_OBJECT
public:
    static constexpr int kFrameMs = 33;

    explicit PaintPacer(QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void paintHeldBack();

    QWidget* window;
    QElapsedTimer lastPaint;
    QTimer heldBack;
    bool releasing = false;
};
