#pragma once
#include <QString>

class QWidget;

// Every modal dialog and outside program the window uses goes through here,
// so tests can answer them without a modal loop.
class Dialogs
{
public:
    virtual ~Dialogs() = default;
    // The mode gate's refusal: "Ошибка!" with the informative text.
    virtual void gateRefused(const QString& informative);
    virtual void warning(QWidget* parent, const QString& title, const QString& text);
    virtual void information(QWidget* parent, const QString& title, const QString& text);
    // Yes/No question, no default button; true on Yes.
    virtual bool question(QWidget* parent, const QString& title, const QString& text);
    virtual QString openFileName(QWidget* parent, const QString& caption, const QString& dir, const QString& filter);
    // The file dialog asks before an existing file is replaced; empty when cancelled.
    virtual QString saveFileName(QWidget* parent, const QString& caption, const QString& path, const QString& filter);
    // Opens a reference document with the named program (Windows) or the
    // desktop's default handler; false when it could not be started.
    virtual bool openDocument(QWidget* parent, const QString& program, const QString& path);
};
