#include "tests/support/httptestserver.h"

#include "http/httpreply.h"

#include <QDebug>
#include <QPointer>
#include <QProcess>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>
#include <QTimer>

namespace {

// Keys and certificate of this process, made on first use and gone with it.
const QTemporaryDir& keyFolder()
{
    static const QTemporaryDir folder;
    return folder;
}

QByteArray run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished() || process.exitCode() != 0)
        qFatal("%s failed: %s", qPrintable(program), process.readAllStandardError().constData());
    return process.readAllStandardOutput().trimmed();
}

QString keyFile(const QString& name, const QStringList& generate)
{
    const QString path = keyFolder().filePath(name);
    if (!QFile::exists(path))
        run("openssl", generate + QStringList{"-out", path});
    return path;
}

QString releaseKey()
{
    return keyFile("release.pem", {"genpkey", "-algorithm", "ed25519"});
}

const QString SigningTool = QStringLiteral(PAVO_SOURCE_DIR "/tools/sign-release.sh");

} // namespace

HttpTestServer::HttpTestServer(Scheme scheme, QObject* parent) : QObject(parent)
{
    if (scheme == Scheme::Https)
        useCertificateFor(hostName, QStringLiteral("IP:") + hostName);
    connect(&server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = server.nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
            connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
                buffers.remove(socket);
                socket->deleteLater();
            });
        }
    });
    if (!server.listen(QHostAddress::LocalHost))
        qWarning() << "Cannot listen:" << server.errorString();
}

HttpTestServer::HttpTestServer(const QString& hostName, quint16 port, QObject* parent)
    : HttpTestServer(Scheme::Http, parent)
{
    this->hostName = hostName;
    useCertificateFor(hostName, QStringLiteral("DNS:") + hostName);
    server.close();
    if (!server.listen(QHostAddress::LocalHost, port))
        qWarning() << "Cannot listen:" << server.errorString();
}

void HttpTestServer::useCertificateFor(const QString& subject, const QString& alternativeName)
{
    const QString key = keyFolder().filePath(subject + QStringLiteral(".key"));
    const QString certificate =
        keyFile(subject + QStringLiteral(".pem"),
                {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-days", "1",
                 "-subj", "/CN=" + subject, "-addext", "subjectAltName=" + alternativeName, "-keyout", key});
    server.certificate = QSslCertificate::fromPath(certificate).value(0);
    QFile keyData(key);
    keyData.open(QIODevice::ReadOnly);
    server.key = QSslKey(&keyData, QSsl::Ec);
    QSslConfiguration trusting = QSslConfiguration::defaultConfiguration();
    trusting.addCaCertificate(server.certificate);
    QSslConfiguration::setDefaultConfiguration(trusting);
}

QUrl HttpTestServer::url(const QString& pathAndQuery) const
{
    const QString scheme = server.certificate.isNull() ? QStringLiteral("http") : QStringLiteral("https");
    return QUrl(QStringLiteral("%1://%2:%3%4").arg(scheme, hostName).arg(server.serverPort()).arg(pathAndQuery));
}

QByteArray HttpTestServer::releaseSignature(const QByteArray& content)
{
    QTemporaryFile file;
    if (!file.open() || file.write(content) != content.size() || !file.flush())
        qFatal("Cannot write a release to sign");
    return run("bash", {SigningTool, releaseKey(), file.fileName()});
}

QByteArray HttpTestServer::releasePublicKey()
{
    return run("bash", {SigningTool, "--public-key", releaseKey()});
}

void HttpTestServer::Listener::incomingConnection(qintptr descriptor)
{
    if (certificate.isNull()) {
        QTcpServer::incomingConnection(descriptor);
        return;
    }
    auto* socket = new QSslSocket(this);
    socket->setSocketDescriptor(descriptor);
    socket->setLocalCertificate(certificate);
    socket->setPrivateKey(key);
    addPendingConnection(socket);
    socket->startServerEncryption();
}

void HttpTestServer::enqueue(const QByteArray& path, const Response& response, int times)
{
    for (int i = 0; i < times; ++i)
        queued[path].enqueue(response);
}

int HttpTestServer::count(const QByteArray& path) const
{
    return int(std::count_if(requests_.cbegin(), requests_.cend(), [&](const Request& r) { return r.path == path; }));
}

void HttpTestServer::onReadyRead(QTcpSocket* socket)
{
    QByteArray& buffer = buffers[socket];
    buffer += socket->readAll();
    Request request;
    while (takeRequest(buffer, request)) {
        requests_.append(request);
        QQueue<Response>& queue = queued[request.path];
        const Response response =
            queue.isEmpty() ? standing.value(request.path, answer(404, "not found")) : queue.dequeue();
        if (response.delay >= 0)
            QTimer::singleShot(response.delay, socket, [=] { send(socket, request, response); });
    }
}

bool HttpTestServer::takeRequest(QByteArray& buffer, Request& request)
{
    const int end = buffer.indexOf("\r\n\r\n");
    if (end < 0)
        return false;
    const QList<QByteArray> lines = buffer.left(end).split('\n');
    request.headers.clear();
    for (int i = 1; i < lines.size(); ++i) {
        const int colon = lines[i].indexOf(':');
        if (colon > 0)
            request.headers.insert(lines[i].left(colon).trimmed().toLower(), lines[i].mid(colon + 1).trimmed());
    }
    const int length = request.headers.value("content-length").toInt();
    if (buffer.size() < end + 4 + length)
        return false;
    const QList<QByteArray> start = lines[0].trimmed().split(' ');
    const QList<QByteArray> target = start.value(1).split('?');
    request.method = start.value(0);
    request.path = target.value(0);
    request.query = target.value(1);
    request.body = buffer.mid(end + 4, length);
    buffer.remove(0, end + 4 + length);
    return true;
}

void HttpTestServer::send(QTcpSocket* socket, const Request& request, const Response& response)
{
    static const QHash<int, QByteArray> reasons{
        {200, "OK"}, {204, "No Content"}, {302, "Found"}, {404, "Not Found"}, {503, "Service Unavailable"}};
    const QByteArray body = request.method == "HEAD" ? QByteArray() : response.body;
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' +
                      reasons.value(response.status, "Status") + "\r\n" + response.headers;
    head += response.sendLength ? "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n\r\n"
                                : QByteArray("Connection: close\r\n\r\n");
    const int half = response.pause > 0 ? body.size() / 2 : body.size();
    socket->write(head + body.left(half));
    QTimer::singleShot(response.pause, socket, [socket, rest = body.mid(half), close = !response.sendLength] {
        socket->write(rest);
        if (close)
            socket->disconnectFromHost();
    });
}

HttpOutcome runReply(HttpReply* reply)
{
    HttpOutcome outcome;
    QPointer<HttpReply> alive(reply);
    QObject scope; // a reply still alive at the end no longer reaches outcome
    QObject::connect(reply, &HttpReply::data, &scope, [&](const QByteArray& bytes) { outcome.body = bytes; });
    QObject::connect(reply, &HttpReply::error, &scope, [&](const QString& message) { outcome.errors.append(message); });
    QObject::connect(reply, &HttpReply::finished, &scope, [&](HttpReply* last) {
        outcome.status = last->statusCode();
        outcome.reason = last->reasonPhrase();
        ++outcome.finished;
    });
    if (!QTest::qWaitFor([&] { return alive.isNull(); }, 5000))
        qWarning() << "Reply still alive after 5 s";
    return outcome;
}
