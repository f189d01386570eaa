#include "server/protocol.h"
#include "server/server.h"
#include "tests/support/authorizationsuite.h"
#include "tests/support/testclient.h"

#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

#include <functional>

// Pairing with a code, the mutual challenge and sealed frames, against a real server on loopback.
class TestSecureProtocol : public AuthorizationSuite
{
    Q_OBJECT

    static bool closedNormally(TestClient& device)
    {
        return device.waitForDisconnected() && device.closeCode() == QWebSocketProtocol::CloseCodeNormal;
    }
    // The device is still paired under its old secret and proves itself without a prompt.
    bool stillPaired(TestClient& device)
    {
        QSignalSpy asked(server, &Server::needUserAuthorization);
        return server->deviceSecret(device.deviceId) == device.secret && device.reconnect(server->port()) &&
               asked.isEmpty();
    }

private slots:
    void pairingShowsTheCodeAndNeverSendsTheSecret()
    {
        QSignalSpy asked(server, &Server::needUserAuthorization);
        TestClient device;
        device.secure = true;
        QVERIFY(device.open(server->port()));
        const QJsonObject commitment = device.nextJson();
        QCOMPARE(commitment.value(Key::Commitment).toString().size(), 64);
        // Requests before admission stay unanswered; a key before the user is asked is not.
        device.send(request(Method::Volume));
        QVERIFY(asked.isEmpty());
        device.sendPairingKey();
        const QJsonObject wait = device.nextJson();
        QCOMPARE(wait.value(Key::Method).toString(), Method::Wait);
        QCOMPARE(wait.value(Key::PublicKey).toString().size(), 64);
        QCOMPARE(asked.size(), 1);
        QVERIFY(QRegularExpression("^[0-9]{6}$").match(device.code).hasMatch());
        QCOMPARE(asked.at(0).at(4).toString(), device.code);

        server->authorize(device.deviceId, true);
        QCOMPARE(device.nextJson(), request(Method::Authentication, {{Key::Value, true}}));
        QCOMPARE(device.secret.size(), 32);

        // Admitted and sealed both ways; an attachment travels sealed with its reply.
        device.send(request(Method::Volume, {{Key::Value, 30}}));
        QCOMPARE(device.nextJson().value(Key::Value).toInt(), 30);
        const QByteArray png("\x89PNG\r\n\x1a\n", 8);
        server->sendJson(server->clients().constFirst(), request(Method::AppIcon), {Server::Png, png});
        QCOMPARE(device.next().attachments, Server::Attachments({{Server::Png, png}}));
        for (const QByteArray& wire : qAsConst(device.wireBytes)) {
            QVERIFY(!wire.contains(device.secret.toLatin1()) && !wire.contains(device.secret.toLatin1().toHex()));
            QVERIFY(!wire.contains(png));
        }
        QVERIFY(stillPaired(device));
    }

    // The pairing shares the waiting slot, the user's time and the back-off with protocol 1.
    void pairingKeepsTheLimits()
    {
        TestClient secure("secure"), older("older");
        secure.secure = true;
        server->setPromptTimeout(50);
        QVERIFY(secure.open(server->port()) && secure.nextJson().contains(Key::Commitment));
        older.open(server->port());
        QVERIFY(closedNormally(older));
        QVERIFY(closedNormally(secure)); // its key never came: refused
        QVERIFY(!server->isAuthorized(secure.deviceId));
        secure.open(server->port());
        QVERIFY(closedNormally(secure) && secure.wireBytes.isEmpty());
        now += RefusalBackoff::FirstMs;
        server->setPromptTimeout(60000);

        // A key that is malformed, of low order, or sent twice closes the connection: nothing stored.
        const QString lowOrder = QString(64, '0');
        for (const QString& key : QStringList{"zz", QString(64, 'A'), lowOrder, QString()}) {
            QVERIFY(secure.open(server->port()) && secure.nextJson().contains(Key::Commitment));
            if (key.isEmpty()) { // the second one in clear, as a client that missed the first reply would
                secure.sendPairingKey();
                QCOMPARE(secure.nextMethod(), Method::Wait);
                const QString again = QString::fromLatin1(KeyAgreement().publicKey().toHex());
                secure.sendRaw(QJsonDocument(request(Method::Authentication, {{Key::PublicKey, again}})).toJson());
            } else {
                secure.send(request(Method::Authentication, {{Key::PublicKey, key}}));
            }
            QVERIFY2(closedNormally(secure), qPrintable(key));
        }
        QCOMPARE(server->authorizedDeviceCount(), 0);
        QVERIFY(secure.pair(*server));
    }

    // Each side proves that it holds the secret; a wrong or malformed answer closes the connection
    // and leaves the pairing as it was.
    void reconnectionIsMutual()
    {
        TestClient device;
        device.secure = true;
        QVERIFY(device.pair(*server) && device.leave());
        QVERIFY(stillPaired(device) && device.serverProven && device.leave());

        const QString secret = device.secret;
        const QString other = QString(secret).replace(0, 1, secret.startsWith('A') ? "B" : "A");
        const QList<std::function<void()>> wrongAnswers = {
            [&] {
                device.secret = other;
                device.answerChallenge();
                device.secret = secret;
            },
            [&] {
                device.send(request(Method::Authentication, {{Key::Nonce, QString(64, 'a')}}));
            },
            [&] {
                device.send(
                    request(Method::Authentication, {{Key::Nonce, QString(64, 'A')}, {Key::Proof, QString(64, 'A')}}));
            },
            [&] { device.sendPairingKey(); }, // out of turn
        };
        for (const auto& answer : wrongAnswers) {
            QVERIFY(device.open(server->port()) && device.nextJson().contains(Key::Nonce));
            answer();
            QVERIFY(closedNormally(device));
            QVERIFY(server->clients().isEmpty());
        }
        // A desktop that holds another secret for the id cannot admit the device.
        QSettings().setValue("au/" + device.deviceId, other);
        restartServer();
        QVERIFY(!device.reconnect(server->port()));
        QVERIFY(server->clients().isEmpty());
        QCOMPARE(device.secret, secret);
    }

    // Whatever arrives altered, again, out of order or from the wrong direction closes the
    // connection, and the device stays paired. (Which byte is altered is the crypto suite's matter.)
    void tamperedFramesCloseAndForgetNothing()
    {
        TestClient device;
        device.secure = true;
        QVERIFY(device.pair(*server));
        const QJsonObject volume = request(Method::Volume, {{Key::Value, 5}});
        const QList<std::function<void()>> tamperings = {
            [&] {
                QByteArray frame = device.seal(volume);
                frame[0] = char(frame[0] ^ 1);
                device.sendRaw(frame);
            },
            [&] { device.sendRaw(device.seal(volume).chopped(1)); },
            [&] {
                const QByteArray frame = device.seal(volume);
                device.sendRaw(frame);
                QCOMPARE(device.nextJson().value(Key::Value).toInt(), 5);
                device.sendRaw(frame);
            },
            [&] {
                const QByteArray first = device.seal(volume);
                device.sendRaw(device.seal(volume));
                device.sendRaw(first);
            },
            [&] { device.sendRaw(device.wireBytes.constLast()); }, // the server's own verdict, sent back
        };
        for (const auto& tamper : tamperings) {
            if (!device.isConnected())
                QVERIFY(device.reconnect(server->port()));
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("did not open"));
            tamper();
            QVERIFY(closedNormally(device));
            QVERIFY(stillPaired(device));
        }
        // A frame that opens proves the secret, so one that then does not parse forgets nothing.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Cannot parse JSON"));
        device.sendRaw(device.seal(QByteArray("{\"_\":")));
        QVERIFY(closedNormally(device));
        QVERIFY(stillPaired(device));
    }

    void olderClientsCanBeTurnedAway()
    {
        QVERIFY(Server::allowsOlderClients());
        TestClient older("older"), paired("paired"), secure("secure");
        secure.secure = true;
        QVERIFY(paired.pair(*server) && paired.leave());
        Server::setAllowOlderClients(false);
        QSignalSpy asked(server, &Server::needUserAuthorization);
        for (TestClient* device : {&older, &paired}) {
            device->open(server->port());
            QVERIFY(closedNormally(*device) && device->wireBytes.isEmpty());
        }
        QVERIFY(asked.isEmpty());
        QVERIFY(secure.pair(*server));
        Server::setAllowOlderClients(true);
        QVERIFY(paired.reconnect(server->port()));
    }
};

QTEST_MAIN(TestSecureProtocol)
#include "testsecureprotocol.moc"
