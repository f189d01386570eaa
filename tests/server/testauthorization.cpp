#include "server/protocol.h"
#include "server/server.h"
#include "tests/support/authorizationsuite.h"
#include "tests/support/testclient.h"
#include "tests/support/warningcounter.h"

#include <QFile>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

class TestAuthorization : public AuthorizationSuite
{
    Q_OBJECT

    bool waits(TestClient& device) { return device.openExpecting(server->port(), Method::Wait); }
    bool closedAtOnce(TestClient& device)
    {
        device.open(server->port());
        return device.waitForDisconnected() && device.closeCode() == QWebSocketProtocol::CloseCodeNormal &&
               device.next().segment.isEmpty();
    }

private slots:
    void pairingWithConsent()
    {
        QSignalSpy asked(server, &Server::needUserAuthorization);
        TestClient device;
        QVERIFY(device.open(server->port()));
        QCOMPARE(device.next().segment, QByteArray(R"({"_":"wa"})"));
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked.at(0).at(1).toString(), device.deviceId);
        QCOMPARE(asked.at(0).at(2).toString(), "127.0.0.1"); // no peer name: the address, as IPv4
        QCOMPARE(asked.at(0).at(3).toString(), QString());

        // Even a file someone opened up is private again once a secret goes in.
        QFile::setPermissions(environment.settingsFile(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
        server->authorize(device.deviceId, true);
        QCOMPARE(device.nextJson().value(Key::Secret).toString().size(), 32);
        QCOMPARE(device.nextJson(), request(Method::Authentication, {{Key::Value, true}}));
        const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;
        QCOMPARE(QFile::permissions(environment.settingsFile()) & others, QFile::Permissions());

        // Admitted, but without a key: the pairing connection stays in clear.
        device.send(request(Method::Volume));
        QCOMPARE(device.next().segment, QByteArray(R"({"_":"v"})"));
        QVERIFY(device.leave());
        QTRY_VERIFY(server->clients().isEmpty());
        QCOMPARE(server->authorizedDeviceCount(), 1); // entries, not connections
    }

    void pairingRefusedTooLateOrOneAtATime()
    {
        TestClient refused("refused"), impatient("impatient"), next("next");
        QVERIFY(waits(refused));
        server->authorize(refused.deviceId, false);
        QVERIFY(refused.waitForDisconnected());
        QCOMPARE(refused.closeCode(), QWebSocketProtocol::CloseCodeNormal);

        // A refused address is turned away without a prompt for 10 s, then for twice as long after
        // each refusal, up to 10 min; an hour of quiet forgets it.
        QSignalSpy asked(server, &Server::needUserAuthorization);
        now += 9999;
        QVERIFY(closedAtOnce(impatient));
        now += 1;
        server->setPromptTimeout(50); // an unanswered prompt refuses too
        QVERIFY(waits(impatient));
        QVERIFY(impatient.waitForDisconnected());
        QCOMPARE(impatient.closeCode(), QWebSocketProtocol::CloseCodeNormal);
        server->setPromptTimeout(60000);
        now += 19999;
        QVERIFY(closedAtOnce(impatient));
        for (const int backoffs : {20000, 40000, 80000, 160000, 320000, 600000, 600000}) {
            now += backoffs;
            QVERIFY(waits(impatient));
            server->authorize(impatient.deviceId, false);
            QVERIFY(impatient.waitForDisconnected());
        }
        now += 599999;
        QVERIFY(closedAtOnce(impatient));
        QCOMPARE(asked.size(), 8);
        now += RefusalBackoff::ForgottenAfterMs - 599999;
        QVERIFY(waits(impatient));
        server->authorize(impatient.deviceId, false);
        QVERIFY(impatient.waitForDisconnected());
        now += RefusalBackoff::FirstMs;
        QVERIFY(waits(impatient));

        // Only one device waits at a time; its leaving frees the slot for the next one.
        TestClient second("second");
        QVERIFY(closedAtOnce(second));
        QVERIFY(impatient.leave());
        QTRY_VERIFY(server->connections().isEmpty());

        // The prompt about the device that left is answered while another device waits.
        QVERIFY(waits(next));
        server->authorize(impatient.deviceId, true);
        QVERIFY(server->clients().isEmpty());
        QCOMPARE(server->authorizedDeviceCount(), 0);
        server->authorize(next.deviceId, true);
        QVERIFY(next.nextJson().contains(Key::Secret));
        QVERIFY(server->isAuthorized(next.deviceId) && !server->isAuthorized(refused.deviceId));
    }

    void knownDeviceProvesItsSecretOrIsClosed()
    {
        server->setChallengeTimeout(50);
        TestClient device;
        QVERIFY(device.connectChallenged(*server));
        QVERIFY(device.waitForDisconnected()); // silent
        QCOMPARE(device.closeCode(), QWebSocketProtocol::CloseCodeNormal);
        QVERIFY(server->isAuthorized(device.deviceId));
        server->setChallengeTimeout(10000);
        QVERIFY(device.open(server->port()));
        QVERIFY(device.nextJson().contains(Key::SessionToken));
        device.answerChallenge(QString::fromLatin1(QByteArray(20, '\0').toHex()));
        QVERIFY(device.waitForDisconnected());
        QCOMPARE(device.closeCode(), QWebSocketProtocol::CloseCodeNormal);
        QVERIFY(server->isAuthorized(device.deviceId));

        QVERIFY(device.open(server->port()));
        QCOMPARE(device.next().segment, QStringLiteral(R"({"_":"au","st":"%1"})").arg(device.token).toUtf8());
        QCOMPARE(device.token.size(), 32);
        device.answerChallenge();
        const TestClient::Message verdict = device.next();
        QCOMPARE(verdict.json, request(Method::Authentication, {{Key::Value, true}}));
        QCOMPARE(verdict.segment.size(), 16 + 32); // IV and two blocks of ciphertext
        device.send(request(Method::Volume, {{Key::Value, 40}}));
        QCOMPARE(device.nextJson().value(Key::Value).toInt(), 40);
        const QByteArray png("\x89PNG\r\n\x1a\n", 8);
        server->sendJson(server->clients().constFirst(), request(Method::AppIcon), {Server::Png, png});
        const TestClient::Message icon = device.next();
        QCOMPARE(icon.json, request(Method::AppIcon));
        QCOMPARE(icon.attachments, Server::Attachments({{Server::Png, png}}));

        // A proven device whose frames stop decrypting has lost its secret: the next connection
        // under its id asks the user again. "Deny" keeps the old secret, only "Authorize" replaces it.
        const QString oldSecret = device.secret;
        for (const bool granted : {false, true}) {
            if (!device.isConnected())
                QVERIFY(device.reconnect(server->port()));
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("Cannot parse JSON"));
            device.sendRaw(R"({"_":"au","h":"sent in clear"})");
            QVERIFY(device.waitForDisconnected());
            QVERIFY(waits(device));
            server->authorize(device.deviceId, granted);
            if (granted)
                QVERIFY(device.nextJson().contains(Key::Secret) && device.nextJson().value(Key::Value).toBool());
            else
                QVERIFY(device.waitForDisconnected());
            now += RefusalBackoff::FirstMs;
        }
        QVERIFY(device.secret != oldSecret);
        QCOMPARE(server->deviceSecret(device.deviceId), device.secret);
    }

    void pairingsOutliveTheServerUntilAllAreForgotten()
    {
        TestClient kept("kept"), dropped("dropped");
        QVERIFY(kept.pair(*server) && dropped.pair(*server));
        server->deauthorize(dropped.deviceId);
        restartServer();
        QCOMPARE(server->deviceSecret(kept.deviceId), kept.secret);
        QCOMPARE(server->authorizedDeviceCount(), 1);

        // Forgetting them all closes their connections too.
        QVERIFY(kept.reconnect(server->port()));
        server->deauthorizeAll();
        QVERIFY(kept.waitForDisconnected());
        QCOMPARE(server->authorizedDeviceCount(), 0);
        QTRY_VERIFY(server->clients().isEmpty());
        restartServer();
        QCOMPARE(server->authorizedDeviceCount(), 0);
        QVERIFY(waits(kept));
    }

    // Anyone can read a paired id off the network and knock with it: whether that stranger sends
    // garbage, guesses an answer or stays silent, the device still proves itself afterwards. Nor
    // does a stranger's prompt keep it out.
    void strangersUnderAPairedIdChangeNothing()
    {
        TestClient device("device"), waiting("waiting");
        QVERIFY(device.pair(*server) && device.leave());
        QVERIFY(waits(waiting));
        server->setChallengeTimeout(50);
        for (const QByteArray& sent : {QByteArray("x"), QByteArray("guess"), QByteArray()}) {
            TestClient stranger(device.deviceId);
            QVERIFY(stranger.open(server->port()) && stranger.nextJson().contains(Key::SessionToken));
            stranger.key = QByteArray(20, 'k');
            if (sent == "guess")
                stranger.answerChallenge();
            else if (!sent.isEmpty())
                stranger.sendRaw(sent);
            QVERIFY(stranger.waitForDisconnected());
        }
        server->setChallengeTimeout(10000);
        // Challenges wait side by side, a few from one address at most.
        std::vector<std::unique_ptr<TestClient>> silent;
        for (int i = 0; i < Server::MaxChallengesPerAddress; ++i) {
            silent.push_back(std::make_unique<TestClient>(device.deviceId));
            QVERIFY(silent.back()->open(server->port()) && silent.back()->nextJson().contains(Key::SessionToken));
        }
        QVERIFY(closedAtOnce(device));
        silent.clear();
        QTRY_COMPARE(server->connections().size(), 1);

        // Nothing but an answer is read before admission, and that is said once, not per message.
        WarningCounter denied("^Permission denied");
        QVERIFY(device.open(server->port()) && device.nextJson().contains(Key::SessionToken));
        for (int i = 0; i < 3; ++i)
            device.send(request(Method::Volume));
        device.answerChallenge();
        QCOMPARE(device.nextJson(), request(Method::Authentication, {{Key::Value, true}}));
        QCOMPARE(denied.count(), 1);
        QVERIFY(waiting.isConnected());
    }

    void strayAnswersDoNotDecideForTheWaitingDevice()
    {
        TestClient admitted("admitted"), challenged("challenged");
        QVERIFY(admitted.pair(*server));
        QVERIFY(challenged.connectChallenged(*server));
        QSignalSpy count(server, &Server::clientCountChanged);

        // Right and wrong answers alike, from a connection that was not challenged.
        const QJsonObject right =
            request(Method::Authentication, {{Key::ChallengeAnswer, QString::fromLatin1(challenged.key.toHex())}});
        const QJsonObject wrong = request(Method::Authentication, {{Key::ChallengeAnswer, "wrong"}});
        QCOMPARE(admitted.replyAfter({right, wrong, request(Method::Authentication)}, request(Method::Volume)),
                 request(Method::Volume));
        QVERIFY(challenged.isConnected());
        QCOMPARE(server->clients().size(), 1);

        challenged.answerChallenge();
        QCOMPARE(challenged.nextJson().value(Key::Value).toBool(), true);
        QCOMPARE(server->clients().size(), 2);
        QCOMPARE(count.size(), 1);
    }

    // Ids become settings keys: separators, control characters and very long ids are refused like
    // a missing one. A damaged secret in the file pairs nobody; the other entries still count.
    void idsArePlainNamesAndSecretsAreTokens()
    {
        for (const QString& id : QStringList{"/", "a/b", "\\", QString(129, 'i'), "tab\tbed", QString()}) {
            TestClient odd(id);
            QVERIFY2(closedAtOnce(odd), qPrintable(id));
        }
        TestClient longest(QString(128, 'i'));
        QVERIFY(longest.pair(*server));

        const QString good = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdef";
        const QString damaged[] = {good.left(31), good + "0", QString(good).replace(5, 1, '-'), good + "\n", QString()};
        QSettings settings;
        settings.setValue("au/good", good);
        for (const QString& secret : damaged)
            settings.setValue(QStringLiteral("au/damaged-%1").arg(secret.size()) + secret.right(1), secret);
        settings.setValue("au/a/b", good);
        settings.sync();
        WarningCounter ignored("^Ignoring a damaged pairing");
        restartServer();
        QCOMPARE(ignored.count(), 6);
        QCOMPARE(server->authorizedDeviceIds(), QStringList({"good", longest.deviceId}));
        TestClient damagedDevice("damaged-31e");
        QVERIFY(waits(damagedDevice));
    }
};

QTEST_MAIN(TestAuthorization)
#include "testauthorization.moc"
