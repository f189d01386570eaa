#include "server/keyagreement.h"
#include "server/keyschedule.h"
#include "server/sealedchannel.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

namespace {

using Role = KeySchedule::Role;

QByteArray hex(const QJsonObject& object, const QString& key)
{
    return QByteArray::fromHex(object.value(key).toString().toLatin1());
}

QJsonObject readVectors()
{
    QFile file(QStringLiteral(PROTOCOL2_VECTORS));
    if (!file.open(QIODevice::ReadOnly))
        qWarning() << "Cannot read" << file.fileName();
    return QJsonDocument::fromJson(file.readAll()).object();
}

} // namespace

// The vector file was computed by an implementation independent of ours; the browser remote
// checks itself against the same file.
class TestProtocol2Crypto : public QObject
{
    Q_OBJECT
    const QJsonObject vectors = readVectors();
    const QString deviceId = vectors.value("deviceId").toString();
    const QJsonObject reconnection = vectors.value("reconnection").toObject();
    const QString secret = vectors.value("pairing").toObject().value("secret").toString();

    KeySchedule::SessionKeys reconnectionKeys() const
    {
        return {hex(reconnection, "clientToServerKey"), hex(reconnection, "serverToClientKey")};
    }

private slots:
    void pairingReproducesVectors()
    {
        const QJsonObject pairing = vectors.value("pairing").toObject();
        QVERIFY(!deviceId.isEmpty() && pairing.value("rejectedBytes").toArray().size() > 0);
        const KeyAgreement client = KeyAgreement::fromPrivateKey(hex(pairing, "clientPrivateKey"));
        const KeyAgreement server = KeyAgreement::fromPrivateKey(hex(pairing, "serverPrivateKey"));
        QCOMPARE(client.publicKey(), hex(pairing, "clientPublicKey"));
        QCOMPARE(server.publicKey(), hex(pairing, "serverPublicKey"));
        QCOMPARE(KeySchedule::commitment(server.publicKey()), hex(pairing, "commitment"));

        const QByteArray shared = client.sharedSecret(server.publicKey());
        QCOMPARE(shared, hex(pairing, "sharedSecret"));
        QCOMPARE(server.sharedSecret(client.publicKey()), shared);
        const QByteArray transcript = KeySchedule::transcriptHash(client.publicKey(), server.publicKey(), deviceId);
        QCOMPARE(transcript, hex(pairing, "transcriptHash"));
        QCOMPARE(KeySchedule::pairingCode(shared, transcript), pairing.value("code").toString());
        QCOMPARE(KeySchedule::pairingSecret(shared, transcript), secret);

        // The pairing connection is sealed at once, its public keys standing in for the nonces.
        const QJsonObject session = vectors.value("pairingSession").toObject();
        const KeySchedule::SessionKeys keys = KeySchedule::sessionKeys(secret, client.publicKey(), server.publicKey());
        QCOMPARE(keys.clientToServer, hex(session, "clientToServerKey"));
        QCOMPARE(keys.serverToClient, hex(session, "serverToClientKey"));
    }

    void reconnectionReproducesVectors()
    {
        const QByteArray serverNonce = hex(reconnection, "serverNonce");
        const QByteArray clientNonce = hex(reconnection, "clientNonce");
        const QByteArray clientProof = hex(reconnection, "clientProof");
        const QByteArray serverProof = hex(reconnection, "serverProof");
        QCOMPARE(KeySchedule::proof(Role::Client, secret, deviceId, serverNonce, clientNonce), clientProof);
        QCOMPARE(KeySchedule::proof(Role::Server, secret, deviceId, serverNonce, clientNonce), serverProof);
        QVERIFY(KeySchedule::proofMatches(clientProof, Role::Client, secret, deviceId, serverNonce, clientNonce));
        // A proof is bound to its role, the secret, the id and both nonces.
        QVERIFY(!KeySchedule::proofMatches(clientProof, Role::Server, secret, deviceId, serverNonce, clientNonce));
        QVERIFY(!KeySchedule::proofMatches(clientProof, Role::Client, secret.left(31) + 'x', deviceId, serverNonce,
                                           clientNonce));
        QVERIFY(
            !KeySchedule::proofMatches(clientProof, Role::Client, secret, deviceId + 'x', serverNonce, clientNonce));
        QVERIFY(!KeySchedule::proofMatches(clientProof, Role::Client, secret, deviceId, clientNonce, serverNonce));
        QVERIFY(
            !KeySchedule::proofMatches(clientProof.left(31), Role::Client, secret, deviceId, serverNonce, clientNonce));
        QVERIFY(!KeySchedule::proofMatches({}, Role::Client, {}, deviceId, serverNonce, clientNonce));

        const KeySchedule::SessionKeys keys = KeySchedule::sessionKeys(secret, clientNonce, serverNonce);
        QCOMPARE(keys.clientToServer, reconnectionKeys().clientToServer);
        QCOMPARE(keys.serverToClient, reconnectionKeys().serverToClient);
    }

    void framesReproduceVectors()
    {
        SealedChannel server(Role::Server, reconnectionKeys());
        SealedChannel client(Role::Client, reconnectionKeys());
        for (const QJsonValue& value : vectors.value("frames").toArray()) {
            const QJsonObject frame = value.toObject();
            const bool fromServer = frame.value("direction").toString() == "serverToClient";
            QByteArray opened;
            QCOMPARE((fromServer ? server : client).seal(hex(frame, "plain")), hex(frame, "sealed"));
            QVERIFY((fromServer ? client : server).open(hex(frame, "sealed"), &opened));
            QCOMPARE(opened, hex(frame, "plain"));
        }
    }

    // Each failure leaves the receiver's count alone, so the genuine frames still open after it.
    void alteredReplayedReorderedOrReflectedFramesFailToOpen()
    {
        SealedChannel server(Role::Server, reconnectionKeys());
        SealedChannel client(Role::Client, reconnectionKeys());
        const QByteArray first = server.seal(R"({"_":"v","v":40})");
        const QByteArray second = server.seal(R"({"_":"vm","v":true})");
        QByteArray opened;
        for (int position : {0, 7, int(first.size()) - SealedChannel::TagSize, int(first.size()) - 1}) {
            QByteArray flipped = first;
            flipped[position] = char(flipped.at(position) ^ 0x04);
            QVERIFY2(!client.open(flipped, &opened), qPrintable(QString::number(position)));
        }
        QVERIFY(!client.open(first.left(SealedChannel::TagSize - 1), &opened));
        QVERIFY(!client.open(second, &opened));
        QVERIFY(!server.open(first, &opened));
        QVERIFY(opened.isEmpty());

        QVERIFY(client.open(first, &opened));
        QCOMPARE(opened, R"({"_":"v","v":40})");
        QVERIFY(!client.open(first, &opened));
        QVERIFY(client.open(second, &opened));
        QCOMPARE(opened, R"({"_":"vm","v":true})");
    }

    void keyAgreementRefusesWorthlessPeerKeys()
    {
        const KeyAgreement ours;
        const KeyAgreement theirs;
        QVERIFY(ours.isValid() && ours.publicKey() != theirs.publicKey());
        QCOMPARE(ours.sharedSecret(theirs.publicKey()), theirs.sharedSecret(ours.publicKey()));
        // Zero and one are points of small order: every private key agrees with them on zero.
        QByteArray one(KeyAgreement::KeySize, '\0');
        one[0] = 1;
        for (const QByteArray& peer : {QByteArray(KeyAgreement::KeySize, '\0'), one, ours.publicKey().left(31)})
            QVERIFY(ours.sharedSecret(peer).isEmpty());
        QVERIFY(!KeyAgreement::fromPrivateKey(QByteArray(31, 'k')).isValid());
    }
};

QTEST_GUILESS_MAIN(TestProtocol2Crypto)
#include "testprotocol2crypto.moc"
