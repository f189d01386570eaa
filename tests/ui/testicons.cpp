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

QImage imageAt(const QString& path)
{
    return QImage(path).convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

void setWindowColor(const QColor& color)
{
    QPalette palette = QGuiApplication::palette();
    palette.setColor(QPalette::Window, color);
    QGuiApplication::setPalette(palette);
}

void writeThemeIcon(const QString& folder, const QString& name)
{
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::red);
    QVERIFY(image.save(folder + QLatin1Char('/') + name + QStringLiteral(".png")));
}
} // namespace

class TestIcons : public QObject
{
    Q_OBJECT
    TestEnvironment environment;

private slots:
    void initTestCase();
    void darkOrLightSet_data();
    void darkOrLightSet();
    void themeBeforeResources();
    void variantsOnlyBesideThePlainImage();
    void hidpiPixmap_data();
    void hidpiPixmap();
};

// A theme of our own in the temporary HOME, so the machine's themes cannot answer.
void TestIcons::initTestCase()
{
    const QString themes = environment.home() + QStringLiteral("/icons");
    const QString folder = themes + QStringLiteral("/probe/16x16/apps");
    QVERIFY(QDir().mkpath(folder));
    QFile index(themes + QStringLiteral("/probe/index.theme"));
    QVERIFY(index.open(QIODevice::WriteOnly));
    index.write("[Icon Theme]\nName=probe\nDirectories=16x16/apps\n\n[16x16/apps]\nSize=16\nType=Fixed\n");
    index.close();
    for (const char* name : {"glyph", "glyph-symbolic", "plain"})
        writeThemeIcon(folder, QString::fromLatin1(name));
    QIcon::setThemeSearchPaths({themes});
    QIcon::setThemeName(QStringLiteral("probe"));
}

void TestIcons::darkOrLightSet_data()
{
    QTest::addColumn<QColor>("window");
    QTest::addColumn<QString>("set");
    QTest::newRow("grey 128") << QColor::fromHsv(0, 0, 128) << "dark";
    QTest::newRow("grey 129") << QColor::fromHsv(0, 0, 129) << "light";
    QTest::newRow("blue 128") << QColor::fromHsv(240, 255, 128) << "dark";
}

void TestIcons::darkOrLightSet()
{
    QFETCH(QColor, window);
    QFETCH(QString, set);
    const QString expected = QStringLiteral(":/icons/%1/16/tray.png").arg(set);
    QCOMPARE(iconPath("tray", 16, window), expected);
    setWindowColor(window);
    QCOMPARE(imageOf(iconFromResources("tray")), imageAt(expected));
}

void TestIcons::themeBeforeResources()
{
    QCOMPARE(iconFromTheme(QStringLiteral("glyph")).name(), QStringLiteral("glyph-symbolic"));
    QCOMPARE(iconFromTheme(QStringLiteral("glyph-symbolic")).name(), QStringLiteral("glyph-symbolic"));
    QCOMPARE(iconFromTheme(QStringLiteral("plain")).name(), QStringLiteral("plain"));
    QVERIFY(iconFromTheme(QStringLiteral("tray")).isNull());

    QCOMPARE(icon("glyph").name(), QStringLiteral("glyph-symbolic"));
    setWindowColor(Qt::black);
    QCOMPARE(imageOf(icon("tray")), imageAt(QStringLiteral(":/icons/dark/16/tray.png")));
    QVERIFY(icon("absent").isNull());
}

void TestIcons::variantsOnlyBesideThePlainImage()
{
    setWindowColor(Qt::white);
    const QIcon probe = iconFromResources("probe");
    const QImage plain = imageAt(QStringLiteral(":/icons/light/16/tray.png"));
    QCOMPARE(imageOf(probe), plain);
    QCOMPARE(imageOf(probe, QIcon::Active), plain);
    QCOMPARE(imageOf(probe, QIcon::Selected), imageAt(QStringLiteral(":/icons/light/16/tray-color.png")));
    QCOMPARE(imageOf(probe, QIcon::Normal, QIcon::On), imageAt(QStringLiteral(":/icons/dark/16/tray.png")));

    QVERIFY(iconFromResources("orphan").isNull());
    QVERIFY(icon("orphan").isNull());
}

void TestIcons::hidpiPixmap_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<double>("ratio");
    QTest::addColumn<int>("width");
    QTest::addColumn<double>("pixmapRatio");
    const QString app = QStringLiteral(":/images/64/app.png");
    QTest::newRow("ratio 1") << app << 1.0 << 64 << 1.0;
    QTest::newRow("ratio 1.5") << app << 1.5 << 128 << 1.5;
    QTest::newRow("ratio 2") << app << 2.0 << 128 << 2.0;
    QTest::newRow("no @2x file") << QStringLiteral(":/images/single.png") << 2.0 << 64 << 1.0;
    QTest::newRow("no dot") << QStringLiteral(":/images/nodot") << 2.0 << 64 << 1.0;
}

void TestIcons::hidpiPixmap()
{
    QFETCH(QString, path);
    QFETCH(double, ratio);
    QFETCH(int, width);
    QFETCH(double, pixmapRatio);
    const QPixmap pixmap = ::hidpiPixmap(path, ratio);
    QCOMPARE(pixmap.width(), width);
    QCOMPARE(pixmap.devicePixelRatio(), pixmapRatio);
}

QTEST_MAIN(TestIcons)
#include "testicons.moc"
