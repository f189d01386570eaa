#pragma once

#include "server/server.h"

// A server-to-client message: big-endian 32-bit length, the JSON segment (encrypted or not),
// then each attachment as kind (8 bits), length (32 bits) and bytes. Attachments are never
// encrypted. Clients send only the bare segment.
class Frame
{
public:
    static QByteArray encode(const QByteArray& segment, const Server::Attachments& attachments);
    // False when the bytes are not one whole, well-formed frame.
    static bool decode(const QByteArray& frame, QByteArray* segment, Server::Attachments* attachments);
};
