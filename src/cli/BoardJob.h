#pragma once
#include <QObject>

#include "BoardSession.h"

// What one command does with one board: a chain of the session's steps.
// The job lives as a child of its session.
class BoardJob : public QObject
{
public:
    explicit BoardJob(BoardSession* session) : QObject(session), s(*session) {}
    virtual void start() = 0;

protected:
    BoardSession& s;
};
