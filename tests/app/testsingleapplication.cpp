// Instances as real processes. The probe carries the program's identity under a temporary HOME and
// TMPDIR, so its block and socket never meet a running program. Two different users would need a
// second account; that case is not tried here.
#include "tests/support/testenvironment.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QProcess>
#include <QSharedMemory>
#include <QtEndian>
#include <QtTest>

#include <cstring>
#include <memory>
#include <pwd.h>
#include <unistd.h>

namespace {

const QString probePath = QStringLiteral(PROBE_PATH);
const QByteArray user = getpwuid(geteuid())->pw_name;

// Derived here on its own from identity, path and user.
QString blockName(const QString& executable)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const QByteArray& part :
         {QByteArray("SingleApplication"), QByteArray("Pavo Server"), QByteArray("Corvin Osmunda"),
          QByteArray("osmunda.org"), QByteArray("1.5"), QFileInfo(executable).canonicalFilePath().toUtf8(), user})
        hash.addData(part);
    return QString::fromLatin1(hash.result().toBase64()).replace('/', '_');
}

QByteArray initMessage(const QString& name, quint16 checksumError)
{
    QByteArray message;
    QDataStream out(&message, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_5_6);
    out << name.toLatin1() << qint8(1) << quint32(7);
    out << quint16(qChecksum(message.constData(), message.size()) ^ checksumError);
    return message;
}

// Sends each frame after its length, as a starting instance does; counts acknowledgements until
// the primary stops answering.
int exchange(const QString& name, const QList<QByteArray>& frames)
{
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(5000))
        return -1;
    int acknowledged = 0;
    for (const QByteArray& frame : frames) {
        QByteArray header;
        QDataStream(&header, QIODevice::WriteOnly) << quint64(frame.size());
        for (const QByteArray& part : {header, frame}) {
            socket.write(part);
            if (socket.bytesAvailable() < 1 && !socket.waitForReadyRead(5000))
                return acknowledged;
            acknowledged += socket.read(1) == "\n";
        }
    }
    return acknowledged;
}

// A probe left running by a failed check is asked to quit, so that it takes its block along.
struct QuitProbe
{
    void operator()(QProcess* process) const
    {
        process->closeWriteChannel();
        process->waitForFinished(5000);
        delete process;
    }
};
using Probe = std::unique_ptr<QProcess, QuitProbe>;

// The probe inherits the temporary HOME, XDG folders and TMPDIR.
Probe start(const QString& path = probePath)
{
    Probe process(new QProcess);
    process->start(path, QStringList());
    return process;
}

QByteArray nextLine(QProcess& process, int timeout = 10000)
{
    while (!process.canReadLine())
        if (!process.waitForReadyRead(timeout))
            return process.readAllStandardError();
    return process.readLine().trimmed();
}

bool endsWell(QProcess& process)
{
    return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

} // namespace

class TestSingleApplication : public QObject
{
    Q_OBJECT
    TestEnvironment environment;

private slots:
    void initTestCase();
    void laterStartsEndQuietly();
    void killedPrimaryDoesNotBlock();
    void handshakeChecks();
    void tornBlockTakenOver();
};

void TestSingleApplication::initTestCase()
{
    const QString temp = environment.home() + "/tmp";
    QVERIFY(QDir().mkpath(temp));
    qputenv("TMPDIR", temp.toUtf8());
}

void TestSingleApplication::laterStartsEndQuietly()
{
    const Probe primary = start();
    QCOMPARE(nextLine(*primary), QByteArray("primary"));
    // The second one proves that a leaving secondary leaves the primary's claim be, and that USER
    // does not stand in for the login name.
    for (const char* userVariable : {"", "someone-else"}) {
        if (*userVariable)
            qputenv("USER", userVariable);
        QElapsedTimer timer;
        timer.start();
        const Probe later = start();
        QVERIFY(endsWell(*later));
        QVERIFY2(timer.elapsed() < 1500, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(later->readAllStandardOutput() + later->readAllStandardError(), QByteArray());
        QCOMPARE(nextLine(*primary), QByteArray("started"));
    }
    qunsetenv("USER");

    const QString copyPath = QDir::tempPath() + "/pavo-server-copy";
    QVERIFY(QFile::copy(probePath, copyPath));
    const Probe copy = start(copyPath);
    QCOMPARE(nextLine(*copy), QByteArray("primary"));
    copy->closeWriteChannel();
    QVERIFY(endsWell(*copy));
    primary->closeWriteChannel();
    QVERIFY(endsWell(*primary));
}

void TestSingleApplication::killedPrimaryDoesNotBlock()
{
    const Probe killed = start();
    QCOMPARE(nextLine(*killed), QByteArray("primary"));
    killed->kill();
    QVERIFY(killed->waitForFinished(10000));

    const Probe next = start();
    QCOMPARE(nextLine(*next), QByteArray("primary"));
    const Probe later = start();
    QVERIFY(endsWell(*later));
    QCOMPARE(nextLine(*next), QByteArray("started"));
}

void TestSingleApplication::handshakeChecks()
{
    const Probe primary = start();
    QCOMPARE(nextLine(*primary), QByteArray("primary"));
    const QString name = blockName(probePath);
    // A wrong one gets its length acknowledged, its message not.
    QCOMPARE(exchange(name, {initMessage(name, 1)}), 1);
    QCOMPARE(exchange(name, {initMessage(blockName("/usr/bin/pavo-server"), 0)}), 1);
    QCOMPARE(exchange(name, {initMessage(name, 0), "hello"}), 4);
    // Had a wrong message been taken, its line would come first.
    QCOMPARE(nextLine(*primary), QByteArray("started"));
    QCOMPARE(nextLine(*primary), QByteArray("message 7 hello"));
}

void TestSingleApplication::tornBlockTakenOver()
{
    // Lets go of an orphan a failed run may have left, then holds a torn block, so that the
    // probe's clean-up of orphans cannot remove it.
    QSharedMemory(blockName(probePath)).attach();
    QSharedMemory torn(blockName(probePath));
    QVERIFY(torn.create(152));
    char* bytes = static_cast<char*>(torn.data());
    std::memset(bytes, 1, 152);
    qToUnaligned(quint16(qChecksum(bytes, 144) ^ 1), bytes + 144);

    QElapsedTimer timer;
    timer.start();
    const Probe primary = start();
    QCOMPARE(nextLine(*primary, 15000), QByteArray("primary"));
    QVERIFY(timer.elapsed() >= 5000);
    QVERIFY(primary->readAllStandardError().contains(
        "SingleApplication: Shared memory block has been in an inconsistent state from more than 5s. "
        "Assuming primary instance failure."));
    QVERIFY(torn.lock());
    QCOMPARE(bytes[0], char(1));
    QCOMPARE(qFromUnaligned<qint64>(bytes + 8), primary->processId());
    QCOMPARE(QByteArray(bytes + 16), user);
    QVERIFY(torn.unlock());

    primary->closeWriteChannel();
    QVERIFY(endsWell(*primary));
    QVERIFY(torn.lock());
    QCOMPARE(qFromUnaligned<qint64>(bytes + 8), qint64(-1));
    QCOMPARE(qFromUnaligned<quint16>(bytes + 144), qChecksum(bytes, 144));
    QVERIFY(torn.unlock());
}

QTEST_GUILESS_MAIN(TestSingleApplication)
#include "testsingleapplication.moc"
