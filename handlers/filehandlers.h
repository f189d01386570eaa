#pragma once

#include "handlers/messagehandler.h"

// The entries of one directory as a file browser shows them: directories first, then by name the
// way the user's language sorts, hidden and special files left out. Any path the desktop user can
// read may be listed; one that cannot be read lists as empty.
class DirectoryListingHandler : public MessageHandler
{
    Q_OBJECT
public:
    using MessageHandler::MessageHandler;
    void handle(const QJsonObject& request, QWebSocket* connection) override;
};

// The icon of a file by path, or of a file type by suffix when no path is given.
class FileIconHandler : public MessageHandler
{
    Q_OBJECT
public:
    using MessageHandler::MessageHandler;
    void handle(const QJsonObject& request, QWebSocket* connection) override;
};

// A picture of a file's content; the reply always carries the attachment, empty when there is no
// picture, so the client can stop waiting.
class FilePreviewHandler : public MessageHandler
{
    Q_OBJECT
public:
    using MessageHandler::MessageHandler;
    void handle(const QJsonObject& request, QWebSocket* connection) override;
};

// Opens a file on the desktop with the named application, or the default one for an empty id.
class FileOpenHandler : public MessageHandler
{
    Q_OBJECT
public:
    using MessageHandler::MessageHandler;
    void handle(const QJsonObject& request, QWebSocket* connection) override;
};
