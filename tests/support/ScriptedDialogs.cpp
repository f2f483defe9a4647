#include "ScriptedDialogs.h"

void ScriptedDialogs::gateRefused(const QString& informative)
{
    shown.append({QStringLiteral("gate"), QStringLiteral("Ошибка!"), informative});
}

void ScriptedDialogs::warning(QWidget*, const QString& title, const QString& text)
{
    shown.append({QStringLiteral("warning"), title, text});
}

void ScriptedDialogs::information(QWidget*, const QString& title, const QString& text)
{
    shown.append({QStringLiteral("information"), title, text});
}

bool ScriptedDialogs::question(QWidget*, const QString& title, const QString& text)
{
    shown.append({QStringLiteral("question"), title, text});
    return questionAnswers.isEmpty() ? true : questionAnswers.dequeue();
}

QString ScriptedDialogs::openFileName(QWidget*, const QString& caption, const QString& dir, const QString& filter)
{
    lastFileCaption = caption;
    lastFileFilter = filter;
    lastFileDir = dir;
    shown.append({QStringLiteral("file"), caption, filter});
    return fileAnswers.isEmpty() ? QString() : fileAnswers.dequeue();
}

QString ScriptedDialogs::saveFileName(QWidget*, const QString& caption, const QString&, const QString& filter)
{
    shown.append({QStringLiteral("save"), caption, filter});
    return fileAnswers.isEmpty() ? QString() : fileAnswers.dequeue();
}

bool ScriptedDialogs::openDocument(QWidget*, const QString& program, const QString& path)
{
    shown.append({QStringLiteral("document"), program, path});
    return true;
}
