#pragma once

#include "http/repeatedfailurefilter.h"

#include <QMap>
#include <QObject>
#include <QVector>

#include <functional>

class App;
class HttpReply;
class Platform;
class Server;
class Website;

// The one object that ties the program together: it owns the desktop platform, starts the
// server and its handlers once the platform is ready, keeps the application list sorted by
// recent use and keeps the desktop awake while a client is connected.
class Core : public QObject
{
    Q_OBJECT
public:
    using PlatformFactory = std::function<Platform*(QObject* parent)>;
    // Decides which desktop the core drives (GNOME by default); call it before the first instance().
    static void setPlatformFactory(PlatformFactory factory);
    static Core* instance();
    ~Core() override;

    // The website catalogue by domain; it fills up as the documents arrive.
    const QMap<QString, Website*>& websites() const { return websiteCatalogue; }
    // Forgets the catalogue and downloads it again.
    void loadWebsites();
    Platform* platform() const { return desktop; }
    Server* server() const { return webSocketServer; }
    const QVector<App*>& sortedApps();

signals:
    void ready();
    void sortedAppsChanged();

public slots:
    void start();
    bool getAutostart();
    void setAutostart(bool v);
    bool getPreventSleep();
    void setPreventSleep(bool v);
    void onPlatformReady();
    void startServer();
    void onUnhandledMessage(const QString& method);
    void onInstalledAppsChanged();
    void sortApps();
    void onAppLaunched(App* app);
    void onAppTerminated(App* app);
    void onAppActivated(App* app);
    void onbrightnessChanged();
    void onClientTotalChanged(int total);

private:
    Core();
    void createHandlers();
    void inhibitSleep(const QString& reason);
    void uninhibitSleep();
    void onWebsiteIndex(HttpReply& reply);
    void addWebsite(const QString& domain, HttpReply& reply);

    QMap<QString, Website*> websiteCatalogue;
    RepeatedFailureFilter websiteFailures;
    Platform* const desktop;
    Server* webSocketServer = nullptr;
    QVector<App*> sorted;
    quint32 sleepCookie = 0;
    bool sleepInhibited = false;
};
