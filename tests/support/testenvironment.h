#pragma once

#include <QTemporaryDir>

// Points HOME and the XDG folders at a fresh temporary folder and sets the program's identity,
// so that settings written by a suite never touch the real user's files. Hold one as a member of
// the test object: it is constructed before any test function runs.
class TestEnvironment
{
public:
    TestEnvironment();
    QString home() const { return dir.path(); }
    // The settings file the program writes to under this HOME.
    QString settingsFile() const;

private:
    QTemporaryDir dir;
};
