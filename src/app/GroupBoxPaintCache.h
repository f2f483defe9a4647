#pragma once
#include <QHash>
#include <QObject>
#include <QPixmap>
#include <QSet>
#include <QString>
#include <QTimer>

class QGroupBox;
class QWidget;

// When a label changes, Qt paints every widget beneath it again: the labels
// are transparent, so the group box, the tab pages, the tab widgets and the
// window each paint their part under the label, and the group box loads its
// frame picture and measures its title each time. At the fastest polling
// that is most of the window's painting. So each group box keeps a picture
// of itself together with everything beneath it, and while the picture fits
// the box is drawn from it and counts as opaque: Qt then paints neither the
// box's own frame nor the widgets beneath it. A box without a fitting
// picture paints as usual; its picture is made a moment later, so a box
// painted only once, or during a short burst of work, costs no extra paint.
class GroupBoxPaintCache : public QObject
{
    Q_OBJECT
public:
    static constexpr int kDelayMs = 250;

    // Every group box in the window that has no check box.
    explicit GroupBoxPaintCache(QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Picture {
        QPixmap pixmap;
        QString title;
    };
    static bool changesLook(int eventType);
    bool fits(const QGroupBox* box, const Picture& picture) const;
    void forget(QGroupBox* box);
    void forgetAll();
    bool paintFromPicture(QGroupBox* box);
    void makeWaiting();
    void make(QGroupBox* box);

    QWidget* window;
    QHash<QGroupBox*, Picture> pictures;
    QSet<QGroupBox*> waiting;
    QTimer delay;
    bool making = false;
};
