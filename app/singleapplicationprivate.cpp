#include "app/singleapplicationprivate.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QRandomGenerator>
#include <QSharedMemory>
#include <QThread>

#include <cstring>
#include <pwd.h>
#include <unistd.h>

namespace {

constexpr int blockChecksumLength = offsetof(InstanceBlock, checksum);
constexpr int inconsistencyLimit = 5000;
constexpr QDataStream::Version streamVersion = QDataStream::Qt_5_6;

// Spreads instances started together so that they do not take turns in lockstep.
void randomWait()
{
    QThread::msleep(QRandomGenerator::global()->bounded(8, 18));
}

quint16 checksumOf(const InstanceBlock& block)
{
    return qChecksum(reinterpret_cast<const char*>(&block), blockChecksumLength);
}

QString loginName()
{
    const passwd* entry = getpwuid(geteuid());
    const QString name = entry ? QString::fromLocal8Bit(entry->pw_name) : QString();
    return name.isEmpty() ? qEnvironmentVariable("USER") : name;
}

int remaining(int timeout, const QElapsedTimer& timer)
{
    return qMax(0, timeout - int(timer.elapsed()));
}

void acknowledge(QLocalSocket* socket)
{
    socket->write("\n", 1);
    socket->flush();
}

} // namespace

SingleApplicationPrivate::SingleApplicationPrivate(SingleApplication* q, SingleApplication::Options options)
    : q(q), options(options), blockName(computeBlockName())
{
}

SingleApplicationPrivate::~SingleApplicationPrivate()
{
    if (socket)
        socket->close();
    if (server)
        releasePrimary();
}

// Everything that makes two starts "the same program" enters the name; the path keeps a copy
// elsewhere (or a test build) apart from the installed program.
QString SingleApplicationPrivate::computeBlockName() const
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData("SingleApplication", 17);
    hash.addData(QCoreApplication::applicationName().toUtf8());
    hash.addData(QCoreApplication::organizationName().toUtf8());
    hash.addData(QCoreApplication::organizationDomain().toUtf8());
    hash.addData(QCoreApplication::applicationVersion().toUtf8());
    const QByteArray appImage = qgetenv("APPIMAGE");
    hash.addData(appImage.isEmpty() ? QCoreApplication::applicationFilePath().toUtf8() : appImage);
    if (options.testFlag(SingleApplication::User))
        hash.addData(loginName().toUtf8());
    return QString::fromLatin1(hash.result().toBase64()).replace('/', '_');
}

SingleApplicationPrivate::Outcome SingleApplicationPrivate::claimInstance(int timeout)
{
    randomWait();
    // A segment left by a crashed primary has no process attached: attaching and letting go
    // removes it, so this start creates a fresh block.
    QSharedMemory(blockName).attach();
    memory = new QSharedMemory(blockName, this);
    if (!openBlock() || !waitForConsistentBlock())
        return Outcome::Failed;
    if (!block()->primary) {
        becomePrimary();
        memory->unlock();
        return Outcome::Primary;
    }
    memory->unlock();
    connectToPrimary(timeout, NewInstance);
    return Outcome::Secondary;
}

InstanceBlock* SingleApplicationPrivate::block() const
{
    return static_cast<InstanceBlock*>(memory->data());
}

void SingleApplicationPrivate::initialiseBlock()
{
    InstanceBlock* b = block();
    std::memset(b, 0, sizeof(InstanceBlock));
    b->primaryPid = -1;
    b->checksum = checksumOf(*b);
}

// Returns with the block locked, or false after a critical message.
bool SingleApplicationPrivate::openBlock()
{
    if (memory->create(sizeof(InstanceBlock))) {
        if (!memory->lock())
            return fatal("SingleApplication: Unable to lock memory block after create.");
        initialiseBlock();
        return true;
    }
    if (memory->error() != QSharedMemory::AlreadyExists)
        return fatal("SingleApplication: Unable to create block.");
    if (!memory->attach())
        return fatal("SingleApplication: Unable to attach to shared memory block.");
    if (!memory->lock())
        return fatal("SingleApplication: Unable to lock memory block after attach.");
    return true;
}

// A block another start is still writing becomes consistent within moments; one that stays torn
// belonged to a primary that died mid-write.
bool SingleApplicationPrivate::waitForConsistentBlock()
{
    QElapsedTimer timer;
    timer.start();
    while (checksumOf(*block()) != block()->checksum) {
        if (timer.elapsed() > inconsistencyLimit) {
            qWarning("SingleApplication: Shared memory block has been in an inconsistent state from more than 5s. "
                     "Assuming primary instance failure.");
            initialiseBlock();
        }
        memory->unlock();
        randomWait();
        if (!memory->lock())
            return fatal("SingleApplication: Unable to lock memory after random wait.");
    }
    return true;
}

void SingleApplicationPrivate::becomePrimary()
{
    InstanceBlock* b = block();
    b->primary = true;
    b->primaryPid = QCoreApplication::applicationPid();
    qstrncpy(b->primaryUser, loginName().toUtf8().constData(), sizeof(b->primaryUser));
    b->checksum = checksumOf(*b);
    instanceNumber = 0;

    QLocalServer::removeServer(blockName);
    server = new QLocalServer(this);
    server->setSocketOptions(options.testFlag(SingleApplication::User) ? QLocalServer::UserAccessOption
                                                                       : QLocalServer::WorldAccessOption);
    if (!server->listen(blockName))
        qWarning() << "SingleApplication: Cannot listen for other instances:" << server->errorString();
    connect(server, &QLocalServer::newConnection, this, &SingleApplicationPrivate::slotConnectionEstablished);
}

void SingleApplicationPrivate::releasePrimary()
{
    if (!memory->lock()) {
        qWarning() << "SingleApplication: Cannot lock the block to release it:" << memory->errorString();
        return;
    }
    server->close();
    InstanceBlock* b = block();
    b->primary = false;
    b->primaryPid = -1;
    std::memset(b->primaryUser, 0, sizeof(b->primaryUser));
    b->checksum = checksumOf(*b);
    memory->unlock();
    memory->detach();
}

bool SingleApplicationPrivate::fatal(const char* message) const
{
    qCritical("%s", message);
    qCritical().noquote() << "SingleApplication:" << memory->error() << memory->errorString();
    return false;
}

bool SingleApplicationPrivate::connectToPrimary(int timeout, ConnectionType type)
{
    QElapsedTimer timer;
    timer.start();
    if (!socket)
        socket = new QLocalSocket(this);
    if (socket->state() == QLocalSocket::ConnectedState)
        return true;
    while (socket->state() != QLocalSocket::ConnectedState) {
        randomWait();
        if (socket->state() != QLocalSocket::ConnectingState)
            socket->connectToServer(blockName, QIODevice::ReadWrite);
        if (socket->state() == QLocalSocket::ConnectingState)
            socket->waitForConnected(remaining(timeout, timer));
        if (socket->state() != QLocalSocket::ConnectedState && timer.elapsed() >= timeout)
            return false;
    }

    const QByteArray message = initMessage(type);
    QByteArray header;
    QDataStream out(&header, QIODevice::WriteOnly);
    out.setVersion(streamVersion);
    out << quint64(message.size());
    return writeConfirmed(header, timeout, timer) && writeConfirmed(message, timeout, timer);
}

QByteArray SingleApplicationPrivate::initMessage(ConnectionType type) const
{
    QByteArray message;
    QDataStream out(&message, QIODevice::WriteOnly);
    out.setVersion(streamVersion);
    out << blockName.toLatin1() << qint8(type) << instanceNumber;
    out << qChecksum(message.constData(), message.size());
    return message;
}

bool SingleApplicationPrivate::writeConfirmed(const QByteArray& frame, int timeout, const QElapsedTimer& timer)
{
    socket->write(frame);
    socket->flush();
    if (socket->bytesAvailable() < 1 && !socket->waitForReadyRead(remaining(timeout, timer)))
        return false;
    return socket->read(1).size() == 1;
}

void SingleApplicationPrivate::slotConnectionEstablished()
{
    while (QLocalSocket* client = server->nextPendingConnection()) {
        connections.insert(client, ConnectionInfo());
        connect(client, &QLocalSocket::disconnected, this, [this, client] { slotClientConnectionClosed(client); });
        connect(client, &QLocalSocket::readyRead, this, [this, client] { slotDataAvailable(client); });
        slotDataAvailable(client);
    }
}

void SingleApplicationPrivate::slotDataAvailable(QLocalSocket* client)
{
    auto it = connections.find(client);
    while (it != connections.end() && readStep(client, *it))
        it = connections.find(client);
}

void SingleApplicationPrivate::slotClientConnectionClosed(QLocalSocket* client)
{
    if (connections.remove(client))
        client->deleteLater();
}

// Reads one header or one frame; false when more bytes are needed or the connection was dropped.
bool SingleApplicationPrivate::readStep(QLocalSocket* client, ConnectionInfo& info)
{
    if (info.expectsHeader) {
        if (client->bytesAvailable() < qint64(sizeof(quint64)))
            return false;
        QDataStream in(client);
        in.setVersion(streamVersion);
        in >> info.length;
        info.expectsHeader = false;
        acknowledge(client);
        return true;
    }
    if (quint64(client->bytesAvailable()) < info.length)
        return false;
    const QByteArray frame = client->read(qint64(info.length));
    info.expectsHeader = true;
    if (!info.initialised)
        return acceptInitMessage(client, info, frame);
    acknowledge(client);
    emit q->receivedMessage(info.instanceId, frame);
    return true;
}

// A peer that does not know the name or garbles its first message has nothing to say to us.
bool SingleApplicationPrivate::acceptInitMessage(QLocalSocket* client, ConnectionInfo& info, const QByteArray& message)
{
    QDataStream in(message);
    in.setVersion(streamVersion);
    QByteArray name;
    qint8 type = 0;
    quint32 instanceId = 0;
    quint16 checksum = 0;
    in >> name >> type >> instanceId;
    const qint64 checkedLength = in.device()->pos();
    in >> checksum;
    if (in.status() != QDataStream::Ok || name != blockName.toLatin1() ||
        checksum != qChecksum(message.constData(), uint(checkedLength))) {
        client->abort();
        return false;
    }
    acknowledge(client);
    info.initialised = true;
    info.instanceId = instanceId;
    if (type == NewInstance)
        emit q->instanceStarted();
    return true;
}
