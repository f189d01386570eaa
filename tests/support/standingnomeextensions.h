#pragma once

#include <QStringList>

// A gnome-extensions command for a temporary HOME, put first on PATH, so that the real extension
// scripts run without GNOME Shell: it appends each command line to a log and fails with the text
// of GNOME_EXTENSIONS_FAIL on standard error when that variable is set.
class StandInGnomeExtensions
{
public:
    explicit StandInGnomeExtensions(const QString& home);
    // The command lines run so far, one per entry ("enable pavo@osmunda.org").
    QStringList commands() const;
    void clear();

private:
    QString log;
};
