#pragma once

#include "platform/menuitem.h"

#include <QIcon>
#include <QObject>
#include <QVariantMap>

class HttpReply;
class QUrl;

// One installed desktop application. The platform owns every App; the base class keeps the
// state every platform shares (running flag and its time stamp, focus, current flag).
class App : public QObject
{
    Q_OBJECT
public:
    // Fixed to int: a role the desktop reports that we do not know stays a value, not undefined.
    enum ElementRole : int { Null = 1, Window = 2, Text = 3, TextArea = 4, List = 5, Table = 6, Button = 7 };
    Q_ENUM(ElementRole)

    explicit App(const QString& id);
    ~App() override;

    const QString& id() const { return appId; }
    const QString& name() const { return appName; }
    const QIcon& icon() const { return appIcon; }
    bool isCurrent() const { return current; }
    bool isRunning() const { return running; }
    bool isBrowser() const { return browser; }
    // Seconds since the epoch of the last start or stop; 0 for an application never seen running.
    qint64 lastUsed() const { return lastUsedTime; }
    const QString& focusedValue() const { return focusedText; }
    const QString& urlHost() const { return host; }
    // The command document exactly as the web service sent it; empty until loaded.
    const QByteArray& commandsJson() const { return commands; }
    bool areCommandsLoaded() const { return commandsAreLoaded; }

    void setRunning(bool running);
    // Pushes the newly focused element to the admitted clients as "fe".
    void focusRole(App::ElementRole role, const QString& name, const QString& value, const QVariantMap& properties);
    // Downloads the command document unless it is in; connect to commandsLoaded first. Every
    // call before the first success starts a download of its own.
    void loadCommands();
    // A browser reports the page it shows: a new host pushes that website's commands as "sc".
    void setUrl(const QUrl& url);

    virtual void setBrowser(bool browser) { this->browser = browser; }
    virtual void setCurrent(bool current);
    virtual void activate() = 0;
    virtual void quit() = 0;
    virtual void close() = 0;
    virtual void toggleMinimize() = 0;
    virtual void toggleMaximize() = 0;
    virtual void toggleFullscreen() = 0;
    virtual void scroll(int x, int y) = 0;
    virtual void performShortcut(const QString& keys) = 0;
    virtual const QList<MenuItem>& menu() = 0;
    virtual void performMenuItem(const QString& id) = 0;
    virtual void setFocusedElementValue(const QString& value) = 0;
    virtual void performFocusedElement() = 0;

signals:
    void commandsLoaded(QByteArray json);
    void focusRoleAsync(App::ElementRole role, QString name, QString value, QVariantMap properties);

public slots:
    void parseCommands(HttpReply& reply);

protected:
    QString appName;
    QIcon appIcon;

private:
    const QString appId;
    bool current = false;
    QByteArray commands;
    bool commandsAreLoaded = false;
    QString host;
    bool running = false;
    qint64 lastUsedTime = 0;
    bool browser = false;
    QString focusedText;
};

Q_DECLARE_METATYPE(App*)
