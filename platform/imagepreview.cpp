#include "platform/imagepreview.h"

#include <QImageReader>

#include <algorithm>

namespace {
// A header is only a claim: these bounds keep a crafted one from reserving gigabytes.
constexpr int LargestStatedEdge = 30000;
constexpr qint64 LargestStatedPixels = 100'000'000;
// Formats without a scaled decoder materialise the whole image first; 16 megapixels is 64 MB.
constexpr qint64 LargestFullDecodePixels = 16'000'000;

bool isDecodable(const QSize& stated, bool decodesScaled)
{
    if (stated.isEmpty() || stated.width() > LargestStatedEdge || stated.height() > LargestStatedEdge)
        return false;
    const qint64 pixels = qint64(stated.width()) * stated.height();
    return pixels <= (decodesScaled ? LargestStatedPixels : LargestFullDecodePixels);
}

// Fits width x LargestPreviewEdge; a very tall image becomes narrower rather than taller.
QSize previewSize(const QSize& stated, int width)
{
    QSize size(width, std::max(1, qRound(qreal(stated.height()) * width / stated.width())));
    if (size.height() > LargestPreviewEdge)
        size = stated.scaled(width, LargestPreviewEdge, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    return size;
}
} // namespace

QPixmap scaledImagePreview(const QString& path, int width)
{
    width = std::min(width, LargestPreviewEdge);
    if (width <= 0)
        return QPixmap();
    QImageReader reader(path);
    const QSize stated = reader.size();
    if (!reader.canRead() || !isDecodable(stated, reader.supportsOption(QImageIOHandler::ScaledSize)))
        return QPixmap();
    // Enlarging adds no detail for the client and costs time and memory here.
    reader.setScaledSize(previewSize(stated, std::min(width, stated.width())));
    return QPixmap::fromImage(reader.read());
}
