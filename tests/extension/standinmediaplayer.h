#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QStringList>

// A media player on the session bus, as media keys find one: org.mpris.MediaPlayer2.<name> with
// the player interface's commands and PlaybackStatus. It records the commands it receives.
class StandInMediaPlayer : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus MEMBER playbackStatus)
public:
    StandInMediaPlayer(const QString& name, const QString& playbackStatus);
    bool registerOn(QDBusConnection connection);

    QStringList commands;

signals:
    void commanded();

public slots:
    Q_SCRIPTABLE void PlayPause() { record(QStringLiteral("PlayPause")); }
    Q_SCRIPTABLE void Next() { record(QStringLiteral("Next")); }
    Q_SCRIPTABLE void Previous() { record(QStringLiteral("Previous")); }

private:
    void record(const QString& command);

    QString service;
    QString playbackStatus;
};
