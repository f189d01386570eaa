// The README's run command as a new user runs it: in a fresh copy of the tree under HOME, on a
// machine without a desktop, as root with no avahi-daemon (the suite has a network of its own).
#include "server/protocol.h"
#include "tests/support/avahidaemon.h"
#include "tests/support/testclient.h"
#include "tests/support/testenvironment.h"

#include <QDirIterator>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QtTest>

#include <csignal>

namespace {
constexpr int BuildMs = 20 * 60 * 1000;

// Runs a program to its end in the given folder; its output, or a null string when it failed.
QString outputOf(const QStringList& command, const QString& directory = QString())
{
    QProcess process;
    process.setWorkingDirectory(directory);
    process.start(command.first(), command.mid(1));
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        qWarning() << command << "failed:" << process.readAllStandardError();
        return QString();
    }
    const QByteArray output = process.readAllStandardOutput();
    return output.isEmpty() ? QStringLiteral("") : QString::fromUtf8(output);
}

// A pipeline, its arguments as $1, $2...
QString outputOf(const QString& pipeline, const QStringList& arguments, const QString& directory = QString())
{
    return outputOf(QStringList{"bash", "-c", pipeline, "bash"} + arguments, directory);
}

// The compiler cache the developer has, if any: asked before the suite moves HOME.
QString compilerCache()
{
    return outputOf("command -v ccache >/dev/null && ccache -k cache_dir", {}).trimmed();
}

// The npm packages the developer's build fetched: the suite's network reaches no registry.
QString packageCache()
{
    return outputOf("npm config get cache", {}).trimmed();
}

QString runCommand(const QString& readme)
{
    const QString text = QString::fromUtf8(fileContent(readme));
    const int start = text.indexOf("<!-- run-command -->");
    const int end = text.indexOf("<!-- /run-command -->");
    if (start < 0 || end < start)
        return QString();
    QStringList lines = text.mid(start, end - start).split('\n');
    lines.removeFirst();
    lines.removeAll("```");
    return lines.join('\n').trimmed();
}

// The last lines of a long output, for a failure message.
QString tail(const QString& text)
{
    return text.section('\n', -12);
}

QSet<QString> filesUnder(const QString& root)
{
    QSet<QString> files;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files.insert(it.next());
    return files;
}

QImage ownCapture(const QString& display, const QString& window)
{
    QProcess process;
    process.start("bash",
                  {"-c", R"(xwd -display "$1" -id "$2" -silent | xwdtopnm 2>/dev/null)", "bash", display, window});
    process.waitForFinished(20000);
    return QImage::fromData(process.readAllStandardOutput()).convertToFormat(QImage::Format_RGB32);
}

// The pairing prompt's window on the display, known by its role; empty while none is shown.
QString promptWindow()
{
    return outputOf(R"(for window in $(xdotool search --onlyvisible --classname '^pavo-server$'); do
                         xprop -id "$window" WM_WINDOW_ROLE | grep -q '"pairing-prompt"' && echo "$window"
                       done; true)",
                    {})
        .trimmed();
}

bool isUniform(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != image.pixel(0, 0))
                return false;
        }
    }
    return true;
}
} // namespace

class TestFirstRun : public QObject
{
    Q_OBJECT
    const QString cacheDir = compilerCache();
    const QString npmCache = packageCache();
    TestEnvironment environment;
    QTemporaryDir tmp; // the run command's TMPDIR
    QTemporaryDir scratch;
    QString tree = environment.home() + "/pavo-server";
    QSet<QString> filesOfTheCopy;
    QString command;
    QProcess run;
    QString output;
    QString display;
    quint16 port = 0;
    TestClient device;

    QProcessEnvironment userEnvironment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString& name : env.keys()) {
            if (name.startsWith("XDG_") || name.startsWith("DBUS_SESSION") || name.startsWith("QT_"))
                env.remove(name);
        }
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.insert("TMPDIR", tmp.path());
        env.insert("npm_config_cache", npmCache);
        env.insert("npm_config_offline", "true");
        if (!cacheDir.isEmpty()) {
            env.insert("CMAKE_CXX_COMPILER_LAUNCHER", "ccache");
            env.insert("CCACHE_DIR", cacheDir);
            // Hits across copies in different folders.
            env.insert("CCACHE_BASEDIR", tree);
            env.insert("CCACHE_NOHASHDIR", "true");
        }
        return env;
    }

    // Reads what the prompt looks like on the screen and in its own window.
    void verifyPromptIsDrawn(const QString& window)
    {
        const QString geometry = outputOf({"xdotool", "getwindowgeometry", "--shell", window});
        QRegularExpressionMatch match =
            QRegularExpression(R"(X=(\d+)\s+Y=(\d+)\s+WIDTH=(\d+)\s+HEIGHT=(\d+))").match(geometry);
        QVERIFY2(match.hasMatch(), qPrintable(geometry));
        const QRect area(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt(),
                         match.captured(4).toInt());
        const QString screenshot = scratch.filePath("screen.png");
        auto onScreen = [&] {
            QFile::remove(screenshot);
            if (outputOf({"bash", "tools/screenshot.sh", display, screenshot}, tree).isNull())
                return QImage();
            return QImage(screenshot).convertToFormat(QImage::Format_RGB32).copy(area);
        };
        QImage prompt;
        QTRY_VERIFY_WITH_TIMEOUT(!(prompt = ownCapture(display, window)).isNull() && !isUniform(prompt), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(onScreen(), prompt, 5000);
    }

    // Starts the run command in a process group of its own, as a terminal does, and reads its banner.
    void startRun()
    {
        output.clear();
        run.setProcessEnvironment(userEnvironment());
        run.setWorkingDirectory(tree);
        run.setProcessChannelMode(QProcess::MergedChannels);
        run.start("setsid", {"bash", "-c", command});
        QVERIFY(run.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(output.contains("Stop with Ctrl-C.") || run.state() == QProcess::NotRunning, BuildMs);
        QVERIFY2(run.state() == QProcess::Running, qPrintable(tail(output)));
        const QRegularExpressionMatch banner =
            QRegularExpression(R"(virtual display (:\d+) [\s\S]*?\(ws://127\.0\.0\.1:(\d+)/)").match(output);
        QVERIFY2(banner.hasMatch(), qPrintable(tail(output)));
        display = banner.captured(1);
        port = quint16(banner.captured(2).toUInt());
        qputenv("DISPLAY", display.toUtf8()); // for xdotool
    }

    // Ctrl-C: a quiet end that leaves nothing in TMPDIR, and nothing under HOME outside the build folder.
    void interruptRun()
    {
        const int said = output.size();
        kill(pid_t(-run.processId()), SIGINT);
        QVERIFY(run.waitForFinished(20000));
        QCOMPARE(run.exitStatus(), QProcess::NormalExit);
        QCOMPARE(run.exitCode(), 0);
        QVERIFY2(!output.mid(said).contains("X11"), qPrintable(output.mid(said)));
        QCOMPARE(QDir(tmp.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
        QStringList strays;
        // Build products only: the build folder, and the page's npm packages, which the bundler and
        // node find only beside the page's modules.
        for (const QString& file : filesUnder(environment.home()) - filesOfTheCopy) {
            const bool built = file.startsWith(tree + "/build/") || file.startsWith(tree + "/web/node_modules/");
            if (!built && file != tree + "/build" && file != tree + "/web/node_modules")
                strays.append(file);
        }
        QVERIFY2(strays.isEmpty(), qPrintable(strays.join(' ')));
    }

private slots:
    void initTestCase()
    {
        // A terminal's Ctrl-C reaches the run command only where SIGINT is not ignored.
        signal(SIGINT, SIG_DFL);
        QDir().mkpath(tree);
        QVERIFY(!outputOf("git ls-files -z --cached --others --exclude-standard | "
                          "tar --null --ignore-failed-read -T - -cf - | tar -C \"$1\" -xf -",
                          {tree}, SOURCE_DIR)
                     .isNull());
        command = runCommand(tree + "/README.md");
        QVERIFY(!command.isEmpty());
        filesOfTheCopy = filesUnder(environment.home());
        connect(&run, &QProcess::readyRead, this, [this] { output += QString::fromUtf8(run.readAll()); });
    }

    // A run that a failed check left behind.
    void cleanup()
    {
        if (run.state() != QProcess::NotRunning) {
            kill(pid_t(-run.processId()), SIGTERM);
            run.waitForFinished();
        }
    }

    // The first run: an honest banner, pairing through the prompt script, the desktop's
    // applications with their icons, a second start while it runs, and Ctrl-C.
    void firstRun()
    {
        startRun();
        QVERIFY(!QTest::currentTestFailed());
        QVERIFY2(output.contains("not published for clients to find: no avahi-daemon runs"), qPrintable(tail(output)));

        QProcess noPrompt; // only the prompt is answered: with none open, the script waits, then fails
        noPrompt.start("bash", {tree + "/tools/answer-prompt.sh", display, "authorize", "1"});
        QVERIFY(noPrompt.waitForFinished(20000));
        QCOMPARE(noPrompt.exitCode(), 1);
        QVERIFY(noPrompt.readAllStandardError().startsWith("No pairing prompt"));

        QVERIFY(device.open(port));
        QCOMPARE(device.nextMethod(), Method::Wait);
        QString prompt;
        QTRY_VERIFY_WITH_TIMEOUT(!(prompt = promptWindow()).isEmpty(), 10000);
        // The welcome lies under it, open since the start.
        QVERIFY(!outputOf({"xdotool", "search", "--onlyvisible", "--name", "^Pavo Server$"}).isNull());
        verifyPromptIsDrawn(prompt);
        QVERIFY(!QTest::currentTestFailed());
        QVERIFY(!outputOf({"bash", "tools/answer-prompt.sh", display, "authorize"}, tree).isNull());
        QVERIFY(!device.nextJson().value(Key::Secret).toString().isEmpty());
        QVERIFY(device.nextJson().value(Key::Value).toBool());

        // Asked while the desktop side is still being switched on, the very first list already
        // holds its applications: no client should see an empty desktop.
        device.send(request(Method::InstalledApps));
        QStringList ids;
        for (int lists = 0, i = 0; i < 20 && lists < 1; ++i) {
            const QJsonObject message = device.nextJson();
            if (message.value(Key::Method).toString() != Method::InstalledApps)
                continue;
            ++lists;
            for (const QJsonValue& app : message.value(Key::Apps).toArray())
                ids.append(app.toObject().value(Key::Id).toString());
        }
        ids.sort();
        QCOMPARE(ids, QStringList({"org.gnome.Terminal.desktop", "org.gnome.TextEditor.desktop"}));
        for (const QString& id : ids) {
            device.send(request(Method::AppIcon, {{Key::Id, id}, {Key::Size, 32}}));
            TestClient::Message icon;
            for (int i = 0; i < 20 && icon.json.value(Key::Method).toString() != Method::AppIcon; ++i)
                icon = device.next();
            QCOMPARE(icon.attachments.size(), 1);
            QCOMPARE(QImage::fromData(icon.attachments.first().second).width(), 32);
        }
        QVERIFY(device.leave());

        QProcess second;
        second.setProcessEnvironment(userEnvironment());
        second.setWorkingDirectory(tree);
        second.start("bash", {"-c", command});
        QVERIFY(second.waitForFinished(60000));
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(QString::fromUtf8(second.readAll()).contains(QString(":%1").arg(port)));

        interruptRun();
    }

    // The next run, where the machine's avahi-daemon runs: the banner says the program is found,
    // and it is; the device paired in the first run is still paired.
    void nextRunPublishedAndPaired()
    {
        AvahiDaemon avahi(scratch.path());
        QVERIFY(avahi.start());
        startRun();
        QVERIFY(!QTest::currentTestFailed());
        QVERIFY2(output.contains(R"(Clients on this network find it as "_pavo._tcp".)"), qPrintable(tail(output)));
        auto published = [this] {
            for (const AvahiDaemon::Service& service : AvahiDaemon::browse()) {
                if (service.port == port)
                    return true;
            }
            return false;
        };
        QTRY_VERIFY_WITH_TIMEOUT(published(), 10000);
        QVERIFY(device.reconnect(port));
        QVERIFY(device.leave());
        interruptRun();
    }
};

QTEST_GUILESS_MAIN(TestFirstRun)
#include "testfirstrun.moc"
