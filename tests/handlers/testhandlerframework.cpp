#include "handlers/promise.h"

#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

class TestHandlerFramework : public QObject
{
    Q_OBJECT
private slots:
    void promisesDeleteThemselvesWhicheverWayTheySettle();
};

void TestHandlerFramework::promisesDeleteThemselvesWhicheverWayTheySettle()
{
    QObject owner;
    auto* resolved = new Promise<QByteArray>(&owner);
    auto* rejected = new Promise<QByteArray>(&owner);
    QPointer<BasePromise> resolvedGuard(resolved), rejectedGuard(rejected);
    QByteArray seen;
    connect(resolved, &BasePromise::resolve, [&] { seen = resolved->value; });
    QSignalSpy failures(rejected, &BasePromise::reject);

    resolved->value = "png";
    emit resolved->resolve();
    emit rejected->reject(QStringLiteral("no such app"));
    QCOMPARE(seen, QByteArray("png"));
    QCOMPARE(failures.at(0).at(0).toString(), QStringLiteral("no such app"));
    QVERIFY(resolvedGuard && rejectedGuard); // still readable until the loop turns
    QTRY_VERIFY(!resolvedGuard && !rejectedGuard);
}

QTEST_GUILESS_MAIN(TestHandlerFramework)
#include "testhandlerframework.moc"
