#include "server/frame.h"

#include <QDataStream>

QByteArray Frame::encode(const QByteArray& segment, const Server::Attachments& attachments)
{
    QByteArray frame;
    QDataStream out(&frame, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::BigEndian);
    out << qint32(segment.size());
    out.writeRawData(segment.constData(), segment.size());
    for (const Server::Attachment& attachment : attachments) {
        out << qint8(attachment.first) << qint32(attachment.second.size());
        out.writeRawData(attachment.second.constData(), attachment.second.size());
    }
    return frame;
}

namespace {
bool readBlock(QDataStream& in, QByteArray* block)
{
    qint32 length = 0;
    in >> length;
    if (in.status() != QDataStream::Ok || length < 0 || length > in.device()->bytesAvailable())
        return false;
    block->resize(length);
    return in.readRawData(block->data(), length) == length;
}
} // namespace

bool Frame::decode(const QByteArray& frame, QByteArray* segment, Server::Attachments* attachments)
{
    QDataStream in(frame);
    in.setByteOrder(QDataStream::BigEndian);
    if (!readBlock(in, segment))
        return false;
    attachments->clear();
    while (!in.atEnd()) {
        qint8 kind = 0;
        in >> kind;
        QByteArray bytes;
        if (!readBlock(in, &bytes))
            return false;
        attachments->append({Server::MessageType(kind), bytes});
    }
    return true;
}
