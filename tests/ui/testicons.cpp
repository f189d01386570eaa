#include "tests/support/testenvironment.h"
#include "ui/icons.h"

#include <QDir>
#include <QGuiApplication>
#include <QPalette>
#include <QtTest>

namespace {
QImage imageOf(const QIcon& icon, QIcon::Mode mode = QIcon::Normal, QIcon::State state = QIcon::Off)
{
    return icon.pixmap(QSize(20, 16), mode, state).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

QImage imageAt(const char* set, const char* name)
{
    const QString path = QStringLiteral(":/icons/%1/16/%2.png").arg(set, name);
    return QImage(path).convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

void setWindowColor(const QColor& color)
{
    QPalette palette = QGuiApplication::palette();
    palette.setColor(QPalette::Window, color);
    QGuiApplication::setPalette(palette);
}
} // namespace

class TestIcons : public QObject
{
    Q_OBJECT
    TestEnvironment environment;

private slots:
    // A theme of our own in the temporary HOME, so the machine's themes cannot answer.
    void initTestCase()
    {
        const QString themes = environment.home() + QStringLiteral("/icons");
        QVERIFY(QDir().mkpath(themes + QStringLiteral("/probe/16x16/apps")));
        QFile index(themes + QStringLiteral("/probe/index.theme"));
        QVERIFY(index.open(QIODevice::WriteOnly));
        index.write("[Icon Theme]\nName=probe\nDirectories=16x16/apps\n\n[16x16/apps]\nSize=16\nType=Fixed\n");
        index.close();
        QImage image(16, 16, QImage::Format_ARGB32);
        image.fill(Qt::red);
        for (const char* name : {"glyph", "glyph-symbolic", "plain"})
            QVERIFY(image.save(themes + QStringLiteral("/probe/16x16/apps/%1.png").arg(name)));
        QIcon::setThemeSearchPaths({themes});
        QIcon::setThemeName(QStringLiteral("probe"));
    }

    void themeThenResources()
    {
        QCOMPARE(iconFromTheme(QStringLiteral("glyph")).name(), QStringLiteral("glyph-symbolic"));
        QCOMPARE(iconFromTheme(QStringLiteral("glyph-symbolic")).name(), QStringLiteral("glyph-symbolic"));
        QCOMPARE(iconFromTheme(QStringLiteral("plain")).name(), QStringLiteral("plain"));
        QVERIFY(icon("absent").isNull());
        // What the theme lacks comes from the built-in set for the window colour.
        const QColor dark = QColor::fromHsv(0, 0, 128);
        const QColor light = QColor::fromHsv(0, 0, 129);
        QCOMPARE(iconPath("tray", 16, dark), QStringLiteral(":/icons/dark/16/tray.png"));
        QCOMPARE(iconPath("tray", 16, light), QStringLiteral(":/icons/light/16/tray.png"));
        setWindowColor(dark);
        QCOMPARE(imageOf(icon("tray")), imageAt("dark", "tray"));
        setWindowColor(light);
        QCOMPARE(imageOf(icon("tray")), imageAt("light", "tray"));
    }

    // The suite's own resources add "probe" with two variants, and "orphan" with a variant only.
    void variantsOnlyBesideThePlainImage()
    {
        setWindowColor(Qt::white);
        const QIcon probe = iconFromResources("probe");
        QCOMPARE(imageOf(probe), imageAt("light", "tray"));
        QCOMPARE(imageOf(probe, QIcon::Selected), imageAt("light", "tray-color"));
        QCOMPARE(imageOf(probe, QIcon::Normal, QIcon::On), imageAt("dark", "tray"));
        QVERIFY(icon("orphan").isNull());
    }

    // The "@2x" file only for a dense screen, and only where it exists beside a path with a dot.
    void densePixmaps()
    {
        const QList<std::tuple<const char*, double, bool>> cases = {{":/images/64/app.png", 1.0, false},
                                                                    {":/images/64/app.png", 1.5, true},
                                                                    {":/images/single.png", 2.0, false},
                                                                    {":/images/nodot", 2.0, false}};
        for (const auto& [path, ratio, dense] : cases) {
            const QPixmap pixmap = hidpiPixmap(QString::fromLatin1(path), ratio);
            QVERIFY2(pixmap.width() == (dense ? 128 : 64) && pixmap.devicePixelRatio() == (dense ? ratio : 1.0), path);
        }
    }
};

QTEST_MAIN(TestIcons)
#include "testicons.moc"
