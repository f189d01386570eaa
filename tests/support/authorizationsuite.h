#pragma once

#include "server/server.h"
#include "tests/support/testenvironment.h"

#include <QObject>

// For suites about pairing and admission: before each test a fresh server with the
// authentication handler and an echo under "v", on a clock the test moves, and no pairings.
class AuthorizationSuite : public QObject
{
    Q_OBJECT

protected:
    // Pairings must outlive the server: a new one reads them back from the settings file.
    void restartServer();

    TestEnvironment environment;
    Server* server = nullptr;
    qint64 now = 0; // the server's clock, in milliseconds

private slots:
    void init();
    void cleanup();
};
