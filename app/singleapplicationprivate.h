#pragma once

#include "app/singleapplication.h"

#include <QHash>
#include <QObject>

#include <cstddef>

class QElapsedTimer;
class QLocalServer;
class QLocalSocket;
class QSharedMemory;

// The shared-memory block every instance of the program agrees on, in native byte order.
struct InstanceBlock
{
    bool primary;
    quint32 secondaries;
    qint64 primaryPid;
    char primaryUser[128];
    // CRC-16 over every byte before it: a block torn by a crash is told from a sound one.
    quint16 checksum;
};
static_assert(sizeof(InstanceBlock) == 152, "the block layout is shared with other builds");
static_assert(offsetof(InstanceBlock, checksum) == 144, "the block layout is shared with other builds");

class SingleApplicationPrivate : public QObject
{
    Q_OBJECT

public:
    enum class Outcome { Primary, Secondary, Failed };
    enum ConnectionType : qint8 { NewInstance = 1, SecondaryInstance = 2 };

    SingleApplicationPrivate(SingleApplication* q, SingleApplication::Options options);
    ~SingleApplicationPrivate() override;

    // Becomes the primary, or tells the primary about this start; Failed after a critical message.
    Outcome claimInstance(int timeout);

private slots:
    void slotConnectionEstablished();
    void slotDataAvailable(QLocalSocket* socket);
    void slotClientConnectionClosed(QLocalSocket* socket);

private:
    struct ConnectionInfo
    {
        bool initialised = false;
        bool expectsHeader = true;
        quint64 length = 0;
        quint32 instanceId = 0;
    };

    QString computeBlockName() const;
    InstanceBlock* block() const;
    void initialiseBlock();
    bool openBlock();
    bool waitForConsistentBlock();
    void becomePrimary();
    void releasePrimary();
    bool fatal(const char* message) const;

    bool connectToPrimary(int timeout, ConnectionType type);
    QByteArray initMessage(ConnectionType type) const;
    bool writeConfirmed(const QByteArray& frame, int timeout, const QElapsedTimer& timer);

    bool readStep(QLocalSocket* socket, ConnectionInfo& info);
    bool acceptInitMessage(QLocalSocket* socket, ConnectionInfo& info, const QByteArray& message);

    SingleApplication* q;
    SingleApplication::Options options;
    QString blockName;
    QSharedMemory* memory = nullptr;
    QLocalServer* server = nullptr;
    QLocalSocket* socket = nullptr;
    quint32 instanceNumber = 0;
    QHash<QLocalSocket*, ConnectionInfo> connections;
};
