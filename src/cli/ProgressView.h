#pragma once
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTextStream>
#include <QTimer>

class BoardSession;

// Shows how every board's command goes. On a terminal: one line per board
// with a bar, redrawn in place (ANSI cursor up, erase line) at most ten
// times a second. Otherwise: a plain line when a board's stage changes, its
// percentage passes a tenth, or it ends.
class ProgressView : public QObject
{
public:
    // columns: the terminal's width; a longer line is cut so that every
    // board keeps exactly one line to redraw.
    ProgressView(QTextStream& stream, bool terminal, int columns, QObject* parent = nullptr);

    void add(BoardSession* session);
    // The last drawing, before the summary is printed.
    void finish();

private:
    struct Row {
        BoardSession* session;
        QString lastStage;
        int lastTenth = -1;
        bool endShown = false;
    };

    void update(int row);
    void redraw();
    QString barLine(const BoardSession* s) const;
    void printPlain(Row& row);

    QTextStream& out;
    bool terminal;
    int columns;
    QList<Row> rows;
    int drawnLines = 0;
    QTimer redrawTimer;
    int portWidth = 0;
};
