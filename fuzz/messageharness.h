#pragma once

#include "tests/support/testclient.h"

#include <QPointer>

#include <memory>

class Server;
class TestPlatform;

// Drives the server's incoming message path in-process, on the scripted desktop: loopback devices
// are connected once, one admitted and one still pending, and each input is handed to the server
// as the binary message its connection just received. Connections an input got closed are opened
// again before that input ends, the waiting ones alone when they can. Encrypted, both devices are
// known: the admitted one answered its challenge, the pending one has not yet. Secure, they speak
// protocol 2, and a third device, unknown, has received the commitment and owes its pairing key.
class MessageHarness
{
public:
    enum Mode { Plain, Encrypted, Secure };
    enum Peer { Admitted, Pending, Pairing };

    explicit MessageHarness(Mode mode);
    ~MessageHarness();

    // Sealed messages are encrypted under the peer's session key first, so that the parser and
    // the handlers see the fuzzed text; unsealed ones reach the decryption as they are.
    void deliver(Peer peer, const QByteArray& message, bool sealed);
    // Opens again what the input closed. Called within the input, so that the new connections'
    // memory balances the old ones' (else libFuzzer takes it for a leak and scans the whole heap
    // after nearly every input), but outside its time limit: it is the harness's work, not the
    // server's.
    void recover();

private:
    struct Device
    {
        std::unique_ptr<TestClient> client;
        QPointer<QWebSocket> connection; // the server's end
    };

    void forgetCalls();
    bool healthy() const;
    bool admittedHealthy() const;
    bool waitingHealthy(Peer peer) const;
    void reconnect();
    bool readmit();
    bool reopenWaiting();
    void disconnectAll();
    bool pairAdmitted();
    bool openWaiting(Peer peer);
    bool readyKnown();
    bool open(Device& device, const QString& id);
    std::unique_ptr<TestClient> client(const QString& id) const;
    QByteArray seal(Peer peer, const QByteArray& message);
    void quietReplies(Device& device);

    const Mode mode;
    TestPlatform* platform = nullptr;
    Server* server = nullptr;
    Device devices[3];
};
