// Instances as real processes. The probe carries the program's identity under a temporary HOME and
// TMPDIR, so its block and socket never meet a running program.
#include "tests/support/testenvironment.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QProcess>
#include <QtTest>

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

// Asked to quit when it goes, so that a probe left running by a failed check takes its block along.
// It inherits the temporary HOME, XDG folders and TMPDIR.
struct Probe : QProcess
{
    explicit Probe(const QString& path = probePath) { start(path, QStringList()); }
    ~Probe() override
    {
        closeWriteChannel();
        waitForFinished(5000);
    }
};

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
    void initTestCase()
    {
        const QString temp = environment.home() + "/tmp";
        QVERIFY(QDir().mkpath(temp));
        qputenv("TMPDIR", temp.toUtf8());
    }

    void onePrimaryPerProgramFile()
    {
        // A primary killed outright leaves its block behind, which must not stand in the way.
        Probe killed;
        QCOMPARE(nextLine(killed), QByteArray("primary"));
        killed.kill();
        QVERIFY(killed.waitForFinished(10000));

        Probe primary;
        QCOMPARE(nextLine(primary), QByteArray("primary"));
        // The second one proves that a leaving secondary leaves the primary's claim be, and that USER
        // does not stand in for the login name.
        for (const char* userVariable : {"", "someone-else"}) {
            if (*userVariable)
                qputenv("USER", userVariable);
            QElapsedTimer timer;
            timer.start();
            Probe later;
            QVERIFY(endsWell(later));
            QVERIFY2(timer.elapsed() < 1500, qPrintable(QString::number(timer.elapsed())));
            QCOMPARE(later.readAllStandardOutput() + later.readAllStandardError(), QByteArray());
            QCOMPARE(nextLine(primary), QByteArray("started"));
        }
        qunsetenv("USER");

        // A greeting with a wrong checksum or name gets its length acknowledged, its message not.
        const QString name = blockName(probePath);
        QCOMPARE(exchange(name, {initMessage(name, 1)}), 1);
        QCOMPARE(exchange(name, {initMessage(blockName("/usr/bin/pavo-server"), 0)}), 1);
        QCOMPARE(exchange(name, {initMessage(name, 0), "hello"}), 4);
        // Had a wrong message been taken, its line would come first.
        QCOMPARE(nextLine(primary), QByteArray("started"));
        QCOMPARE(nextLine(primary), QByteArray("message 7 hello"));

        const QString copyPath = QDir::tempPath() + "/pavo-server-copy";
        QVERIFY(QFile::copy(probePath, copyPath));
        Probe copy(copyPath);
        QCOMPARE(nextLine(copy), QByteArray("primary"));
        copy.closeWriteChannel();
        QVERIFY(endsWell(copy));
        primary.closeWriteChannel();
        QVERIFY(endsWell(primary));
    }
};

QTEST_GUILESS_MAIN(TestSingleApplication)
#include "testsingleapplication.moc"
