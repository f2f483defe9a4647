#pragma once
#include <QHash>
#include <QObject>
#include <QPixmap>
#include <QSet>
#include <QString>
#include <QTimer>

class QGroupBox;
class QWidget;

// Group boxes paint their frame and title again whenever a label inside
// them changes: the labels are transparent, so the box paints beneath them,
// and the style loads its frame picture and measures the title every time.
// At the fastest polling that is most of the window's painting. Each box's
// own painting is kept as a picture, one for enabled and one for disabled,
// and drawn from it. A box without a fitting picture paints as usual; its
// picture is made once the window has been quiet for a moment.
class GroupBoxPaintCache : public QObject
{
    Q_OBJECT
public:
    static constexpr int kQuietMs = 250;

    // Every group box in the window that has no check box.
    explicit GroupBoxPaintCache(QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Picture {
        QPixmap pixmap;
        QString title;
    };
    struct Pictures {
        Picture byState[2];   // [0] disabled, [1] enabled
    };
    static bool changesLook(int eventType);
    bool fits(const QGroupBox* box, const Picture& picture) const;
    void makeWaiting();
    void make(QGroupBox* box);

    QHash<QObject*, Pictures> pictures;
    QSet<QGroupBox*> waiting;
    QTimer quiet;
    bool making = false;
};
