#include "tests/extension/standinmediaplayer.h"

StandInMediaPlayer::StandInMediaPlayer(const QString& name, const QString& playbackStatus)
    : service("org.mpris.MediaPlayer2." + name), playbackStatus(playbackStatus)
{
}

bool StandInMediaPlayer::registerOn(QDBusConnection connection)
{
    // Each player needs a connection of its own: they all use the same object path.
    return connection.registerService(service) &&
           connection.registerObject("/org/mpris/MediaPlayer2", this,
                                     QDBusConnection::ExportScriptableSlots | QDBusConnection::ExportAllProperties);
}

void StandInMediaPlayer::record(const QString& command)
{
    commands.append(command);
    emit commanded();
}
