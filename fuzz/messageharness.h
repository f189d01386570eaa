#pragma once

#include "tests/support/testclient.h"

#include <QPointer>

#include <memory>

class Server;
class TestPlatform;

// Drives the server's incoming message path in-process, on the scripted desktop: two loopback
// devices are connected once, one admitted and one still pending, and each input is handed to the
// server as the binary message its connection just received. Connections an input got closed are
// opened again before that input ends, the pending one alone when it can. With encryption both
// devices are known: the admitted one answered its challenge, the pending one has not yet.
class MessageHarness
{
public:
    enum Peer { Admitted, Pending };

    explicit MessageHarness(bool encrypted);
    ~MessageHarness();

    // Sealed messages are encrypted under the peer's session key first, so that the parser and
    // the handlers see the fuzzed text; unsealed ones reach the decryption as they are.
    void deliver(Peer peer, const QByteArray& message, bool sealed);

private:
    struct Device
    {
        std::unique_ptr<TestClient> client;
        QPointer<QWebSocket> connection; // the server's end
    };

    void forgetCalls();
    bool healthy() const;
    bool admittedHealthy() const;
    bool pendingHealthy() const;
    void reconnect();
    bool reopenPending();
    void disconnectAll();
    bool pairAdmitted();
    bool openPending();
    bool readyEncrypted();
    bool open(Device& device, const QString& id);
    void quietReplies(Device& device);

    const bool encrypted;
    TestPlatform* platform = nullptr;
    Server* server = nullptr;
    Device devices[2];
};
