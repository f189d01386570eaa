#include "platform/imagepreview.h"
#include "server/core.h"
#include "server/protocol.h"
#include "tests/support/testclient.h"
#include "tests/support/testcore.h"
#include "tests/support/testenvironment.h"
#include "tests/support/testplatform.h"

#include <QJsonArray>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {
QJsonArray entries(const QStringList& directories, const QStringList& files)
{
    QJsonArray list;
    for (const QString& name : directories)
        list.append(QJsonObject{{Key::Name, name}, {Key::FileType, "d"}});
    for (const QString& name : files)
        list.append(QJsonObject{{Key::Name, name}});
    return list;
}

QSize pngSize(const TestClient::Message& message)
{
    if (message.attachments.size() != 1 || message.attachments.at(0).first != Server::Png)
        return QSize(-1, -1);
    return QImage::fromData(message.attachments.at(0).second, "PNG").size();
}

// A bitmap header that claims 60000 x 60000 pixels and holds none.
void writeBmpClaim(const QString& path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QByteArray::fromHex("424d36000000000000003600000028000000" // file header, info size
                                   "60ea000060ea000001001800") +          // width, height, planes, depth
               QByteArray(24, '\0'));
}

void writeBlack(const QString& path, int width, int height, QImage::Format format)
{
    QImage image(width, height, format);
    image.fill(Qt::black);
    QVERIFY(image.save(path));
}

qint64 statusKb(const QString& field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    const QRegularExpression line(QLatin1Char('^') + field + QStringLiteral(":\\s*(\\d+)"),
                                  QRegularExpression::MultilineOption);
    return line.match(QString::fromLatin1(status.readAll())).captured(1).toLongLong();
}

// Resident memory the call added at its peak, in MB.
template <typename Call> qint64 peakGrowthMb(Call call)
{
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    if (clearRefs.open(QIODevice::WriteOnly))
        clearRefs.write("5"); // restarts the peak count
    clearRefs.close();
    const qint64 before = statusKb("VmRSS");
    call();
    return (statusKb("VmHWM") - before) / 1024;
}
} // namespace

class TestFileHandlers : public QObject
{
    Q_OBJECT
    TestEnvironment environment;
    TestPlatform* platform = nullptr;
    TestClient client;
    QString tree;

    QString inTree(const QString& name) const { return tree + QLatin1Char('/') + name; }
    QJsonArray listing(const QString& path)
    {
        client.send(request(Method::DirectoryListing, {{Key::Path, path}}));
        return client.nextJson().value(Key::Files).toArray();
    }
    void verifySilent(const QList<QJsonObject>& silent)
    {
        const QJsonObject probe = request(Method::DirectoryListing, {{Key::Path, inTree("b")}});
        QCOMPARE(client.replyAfter(silent, probe).value(Key::Method).toString(), Method::DirectoryListing);
    }

private slots:
    void initTestCase()
    {
        tree = environment.home() + QStringLiteral("/tree");
        for (const char* directory : {"b", "Zeta", "locked", ".cache"})
            QVERIFY(QDir(tree).mkpath(QString::fromUtf8(directory)));
        for (const char* file : {"A.txt", "c.txt", "D.txt", "é.txt", "f.txt", ".hidden", "locked/inside.txt"}) {
            QFile created(inTree(QString::fromUtf8(file)));
            QVERIFY(created.open(QIODevice::WriteOnly));
        }
        QVERIFY(QFile::link(inTree("b"), inTree("linked")));
        QVERIFY(QFile::link(inTree("c.txt"), inTree("shortcut.txt")));
        QVERIFY(QFile::link(inTree("nowhere"), inTree("dangling")));
        QCOMPARE(mkfifo(QFile::encodeName(inTree("fifo")).constData(), 0600), 0);
        QCOMPARE(chmod(QFile::encodeName(inTree("locked")).constData(), 0), 0);
        platform = startTestCore();
        QVERIFY(platform);
        QVERIFY(client.pair(*Core::instance()->server()));
    }
    void init() { platform->calls.clear(); }

    void listingFollowsTheFileBrowsersRules()
    {
        client.send(request(Method::DirectoryListing, {{Key::Path, tree}}));
        const QJsonObject reply = client.nextJson();
        QCOMPARE(reply.value(Key::Path).toString(), tree);
        QCOMPARE(reply.value(Key::Name).toString(), QStringLiteral("tree"));
        // Directories (links by their target) first, then by name ignoring case, accents sorting
        // with their letter; hidden names, the pipe and the dangling link are left out.
        QCOMPARE(
            reply.value(Key::Files).toArray(),
            entries({"b", "linked", "locked", "Zeta"}, {"A.txt", "c.txt", "D.txt", "é.txt", "f.txt", "shortcut.txt"}));
    }

    void listingOfHomeMissingAndUnreadableDirectories()
    {
        client.send(request(Method::DirectoryListing));
        const QJsonObject home = client.nextJson();
        QCOMPARE(home.value(Key::Path).toString(), environment.home());
        QCOMPARE(home.value(Key::Name).toString(), QDir(environment.home()).dirName());
        QVERIFY(home.value(Key::Files).toArray().contains(QJsonObject{{Key::Name, "tree"}, {Key::FileType, "d"}}));

        client.send(request(Method::DirectoryListing, {{Key::Path, inTree("missing")}}));
        QCOMPARE(client.nextJson(),
                 (request(Method::DirectoryListing,
                          {{Key::Path, inTree("missing")}, {Key::Name, "missing"}, {Key::Files, QJsonArray()}})));
        // Permissions do not stop root, as in CI: then the directory is simply readable.
        QCOMPARE(listing(inTree("locked")), geteuid() != 0 ? QJsonArray() : entries({}, {"inside.txt"}));
        QCOMPARE(listing(inTree(".cache")), QJsonArray());
    }

    void iconsByPathOrBySuffix()
    {
        // A path wins over a suffix; only without one is the suffix asked for, and echoed.
        const QString file = inTree("A.txt");
        client.send(request(Method::FileIcon, {{Key::Size, 1024}, {Key::Path, file}, {Key::FileType, "pdf"}}));
        const TestClient::Message byPath = client.next();
        QCOMPARE(byPath.json, (request(Method::FileIcon, {{Key::Path, file}, {Key::Size, 1024}})));
        QCOMPARE(pngSize(byPath), QSize(1024, 1024));
        client.send(request(Method::FileIcon, {{Key::Size, 16}, {Key::Path, ""}, {Key::FileType, "pdf"}}));
        const TestClient::Message bySuffix = client.next();
        QCOMPARE(bySuffix.json, (request(Method::FileIcon, {{Key::FileType, "pdf"}, {Key::Size, 16}})));
        QCOMPARE(pngSize(bySuffix), QSize(16, 16));
        QCOMPARE(platform->calls, QStringList{"fileTypeIcon(pdf,16)"});

        verifySilent({request(Method::FileIcon, {{Key::Size, 15}, {Key::Path, file}}),
                      request(Method::FileIcon, {{Key::Size, 1025}, {Key::Path, file}}),
                      request(Method::FileIcon, {{Key::Size, 5000000}, {Key::FileType, "pdf"}}),
                      request(Method::FileIcon, {{Key::Size, 32}, {Key::Path, inTree("missing")}})}); // no icon
    }

    void previewsAnswerWithinBounds()
    {
        const QString image = inTree("photo.png");
        writeBlack(image, 300, 200, QImage::Format_RGB32);
        client.send(request(Method::FilePreview, {{Key::Path, image}, {Key::Width, 150}, {Key::Height, 999}}));
        TestClient::Message preview = client.next();
        QCOMPARE(preview.json,
                 (request(Method::FilePreview, {{Key::Path, image}, {Key::Width, 150}, {Key::Height, 999}})));
        QCOMPARE(pngSize(preview), QSize(150, 100));

        client.send(request(Method::FilePreview, {{Key::Path, inTree("A.txt")}, {Key::Width, 64}, {Key::Height, 64}}));
        QCOMPARE(pngSize(client.next()), QSize(64, 64)); // not an image: its icon

        // Sizes from the network are bounded before anything is drawn, but echoed as sent; an image
        // is never enlarged.
        client.send(request(Method::FilePreview, {{Key::Path, image}, {Key::Width, 100000000}, {Key::Height, -3}}));
        preview = client.next();
        QCOMPARE(preview.json.value(Key::Width).toInt(), 100000000);
        QCOMPARE(preview.json.value(Key::Height).toInt(), -3);
        QCOMPARE(pngSize(preview), QSize(300, 200));

        client.send(request(Method::FilePreview, {{Key::Path, image}}));
        QCOMPARE(client.next().attachments,
                 Server::Attachments({{Server::Png, QByteArray()}})); // width 0: nothing drawn
        verifySilent({request(Method::FilePreview, {{Key::Width, 100}})});
        QCOMPARE(platform->calls,
                 (QStringList{"filePreview(" + image + ",150,999)", "filePreview(" + inTree("A.txt") + ",64,64)",
                              "filePreview(" + image + ",2048,0)", "filePreview(" + image + ",0,0)"}));
    }

    void openPassesPathAndApplication()
    {
        verifySilent({request(Method::FileOpen, {{Key::Path, inTree("c.txt")}, {Key::Id, "editor.desktop"}}),
                      request(Method::FileOpen)});
        QCOMPARE(platform->calls, (QStringList{"openFile(" + inTree("c.txt") + ",editor.desktop)", "openFile(,)"}));
    }

    void hugeImagesDecodeScaledOrNotAtAll()
    {
        const QString huge = inTree("huge.png"); // 50 megapixels, 200 MB once decoded
        writeBlack(huge, 8660, 5774, QImage::Format_RGB888);
        QPixmap preview;
        QVERIFY(peakGrowthMb([&] { preview = scaledImagePreview(huge, 512); }) < 32);
        QCOMPARE(preview.size(), QSize(512, 341));
        QCOMPARE(preview.toImage().pixelColor(256, 170), QColor(Qt::black));

        // The first header alone claims 10 GB; the others hold real pixels, refused for their stated
        // size or, for the bitmap, for a decoder that cannot scale.
        writeBmpClaim(inTree("claim.bmp"));
        writeBlack(inTree("wide.png"), 30001, 1, QImage::Format_Mono);
        writeBlack(inTree("dense.png"), 10001, 10001, QImage::Format_Mono);
        writeBlack(inTree("whole.bmp"), 4100, 4100, QImage::Format_Mono);
        for (const char* name : {"claim.bmp", "wide.png", "dense.png", "whole.bmp"}) {
            QVERIFY(peakGrowthMb([&] { preview = scaledImagePreview(inTree(name), 512); }) < 32);
            QVERIFY2(preview.isNull(), name);
        }
    }
};

QTEST_MAIN(TestFileHandlers)
#include "testfilehandlers.moc"
