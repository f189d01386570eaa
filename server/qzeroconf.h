#pragma once

#include <QObject>
#include <QString>

#include <avahi-client/client.h>
#include <avahi-client/publish.h>

#include <optional>

// Publishes one DNS-SD service through the Avahi daemon. The client survives a missing or
// restarting daemon: the last requested publication is made again whenever the daemon is back.
class QZeroConf : public QObject
{
    Q_OBJECT
public:
    enum error_t {
        NoError = 0,
        RegistrationFailed = -1,
        NameCollision = -2,
        BrowserFailed = -3,
    };
    Q_ENUM(error_t)

    explicit QZeroConf(QObject* parent = nullptr);
    ~QZeroConf() override;

    void addTxtRecord(const QString& key, const QString& value);
    void publish(const QString& name, const QString& type, const QString& domain, quint16 port);
    void unpublish();
    // True from the commit on, while registration may still be in progress.
    bool isPublished() const { return group != nullptr; }

signals:
    void servicePublished();
    void error(QZeroConf::error_t error);

private:
    struct Publication
    {
        QByteArray name;
        QByteArray type;
        QByteArray domain;
        quint16 port;
    };

    static void onClientState(AvahiClient* client, AvahiClientState state, void* self);
    static void onGroupState(AvahiEntryGroup* group, AvahiEntryGroupState state, void* self);
    void createClient();
    void clientStateChanged(AvahiClient* client, AvahiClientState state);
    void groupStateChanged(AvahiEntryGroupState state);
    bool clientRunning() const;
    void registerService();
    int addAndCommit();
    void dropGroup();

    AvahiClient* client = nullptr;
    AvahiEntryGroup* group = nullptr;
    AvahiStringList* txt = nullptr;
    std::optional<Publication> wanted;
};
