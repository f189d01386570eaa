#pragma once

#include <QRegularExpression>
#include <QtGlobal>

// Counts the log messages that match a pattern while it lives, so that a test can tell that
// something was logged exactly once, or not at all. Messages still reach the test log. Counters
// may nest, each living shorter than the one before.
class WarningCounter
{
public:
    explicit WarningCounter(const QString& pattern);
    ~WarningCounter();
    int count() const { return matches; }

private:
    static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message);

    QRegularExpression pattern;
    int matches = 0;
    WarningCounter* outer;
    QtMessageHandler previous;
};
