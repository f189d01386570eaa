#include "qzeroconf.h"

#include "avahiqtpoll.h"

#include <avahi-common/error.h>

#include <QDebug>
#include <QTimer>

namespace {
constexpr int reconnectDelayMs = 1000;
}

QZeroConf::QZeroConf(QObject* parent) : QObject(parent)
{
    qRegisterMetaType<QZeroConf::error_t>();
    createClient();
}

QZeroConf::~QZeroConf()
{
    if (client)
        avahi_client_free(client);
    avahi_string_list_free(txt);
}

// NO_FAIL keeps the client alive while no daemon is there; it then waits in the connecting state
// and reports running once the daemon (re)appears.
void QZeroConf::createClient()
{
    int code = 0;
    client = avahi_client_new(avahiQtPoll(), AvahiClientFlags(AVAHI_CLIENT_IGNORE_USER_CONFIG | AVAHI_CLIENT_NO_FAIL),
                              &QZeroConf::onClientState, this, &code);
    if (!client)
        qWarning() << "Cannot create Avahi client:" << avahi_strerror(code);
}

void QZeroConf::addTxtRecord(const QString& key, const QString& value)
{
    txt = avahi_string_list_add(txt, (key + QLatin1Char('=') + value).toUtf8().constData());
}

void QZeroConf::publish(const QString& name, const QString& type, const QString& domain, quint16 port)
{
    if (group) {
        emit error(RegistrationFailed);
        return;
    }
    wanted = Publication{name.toUtf8(), type.toUtf8(), domain.toUtf8(), port};
    if (!clientRunning()) {
        emit error(RegistrationFailed);
        return;
    }
    registerService();
}

void QZeroConf::unpublish()
{
    wanted.reset();
    dropGroup();
}

void QZeroConf::onClientState(AvahiClient* client, AvahiClientState state, void* self)
{
    static_cast<QZeroConf*>(self)->clientStateChanged(client, state);
}

void QZeroConf::onGroupState(AvahiEntryGroup*, AvahiEntryGroupState state, void* self)
{
    static_cast<QZeroConf*>(self)->groupStateChanged(state);
}

// The daemon's groups die with it or are reset on a host-name change, so a group we hold in any
// state but running is stale; the wanted publication is made anew once the client runs again.
void QZeroConf::clientStateChanged(AvahiClient* newClient, AvahiClientState state)
{
    client = newClient; // the first call comes from inside avahi_client_new()
    switch (state) {
    case AVAHI_CLIENT_S_RUNNING:
        if (wanted && !group)
            registerService();
        break;
    case AVAHI_CLIENT_FAILURE:
        // A failed client never recovers; this is also how it reports that the daemon went away.
        // The delay keeps a failure that repeats at once from spinning.
        dropGroup();
        QTimer::singleShot(reconnectDelayMs, this, [this, failed = newClient] {
            if (client != failed)
                return;
            avahi_client_free(client);
            createClient();
        });
        break;
    case AVAHI_CLIENT_S_REGISTERING:
    case AVAHI_CLIENT_S_COLLISION:
    case AVAHI_CLIENT_CONNECTING:
        dropGroup();
        break;
    }
}

void QZeroConf::groupStateChanged(AvahiEntryGroupState state)
{
    switch (state) {
    case AVAHI_ENTRY_GROUP_ESTABLISHED:
        emit servicePublished();
        break;
    case AVAHI_ENTRY_GROUP_COLLISION:
        dropGroup();
        emit error(NameCollision);
        break;
    case AVAHI_ENTRY_GROUP_FAILURE:
        dropGroup();
        emit error(RegistrationFailed);
        break;
    case AVAHI_ENTRY_GROUP_UNCOMMITED:
    case AVAHI_ENTRY_GROUP_REGISTERING:
        break;
    }
}

bool QZeroConf::clientRunning() const
{
    return client && avahi_client_get_state(client) == AVAHI_CLIENT_S_RUNNING;
}

void QZeroConf::registerService()
{
    group = avahi_entry_group_new(client, &QZeroConf::onGroupState, this);
    const int result = group ? addAndCommit() : avahi_client_errno(client);
    if (result == AVAHI_OK)
        return;
    qWarning() << "Cannot register service:" << avahi_strerror(result);
    dropGroup();
    // The daemon refuses a name that another of its clients holds at once, not through the group.
    emit error(result == AVAHI_ERR_COLLISION ? NameCollision : RegistrationFailed);
}

int QZeroConf::addAndCommit()
{
    const int added = avahi_entry_group_add_service_strlst(
        group, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, AVAHI_PUBLISH_UPDATE, wanted->name.constData(),
        wanted->type.constData(), wanted->domain.constData(), nullptr, wanted->port, txt);
    return added != AVAHI_OK ? added : avahi_entry_group_commit(group);
}

// Freeing the group withdraws its records from the daemon.
void QZeroConf::dropGroup()
{
    if (!group)
        return;
    avahi_entry_group_free(group);
    group = nullptr;
}
