#include "platform/imagepreview.h"

#include "platform/regularfile.h"

#include <QImageReader>

#include <algorithm>

namespace {
// A header is only a claim: these bounds keep a crafted one from reserving gigabytes.
constexpr int LargestStatedEdge = 30000;
constexpr qint64 LargestStatedPixels = 100'000'000;
// Every other decoder holds the whole image on the way, or at least its coefficients, and takes
// seconds for it: 16 megapixels is 64 MB.
constexpr qint64 LargestFullDecodePixels = 16'000'000;
// Markers ahead of the frame header: application data, tables, comments.
constexpr int LargestJpegPreamble = 64;

quint16 bigEndian(const uchar* bytes)
{
    return quint16(bytes[0] << 8 | bytes[1]);
}

// A baseline or extended sequential JPEG: libjpeg decodes those at an eighth of their size
// without the full image. A progressive one keeps every coefficient until its last scan.
bool isSequentialJpeg(QFile& file)
{
    uchar marker[4];
    if (file.read(reinterpret_cast<char*>(marker), 2) != 2 || bigEndian(marker) != 0xFFD8)
        return false;
    for (int segment = 0; segment < LargestJpegPreamble; ++segment) {
        if (file.read(reinterpret_cast<char*>(marker), 4) != 4 || marker[0] != 0xFF)
            return false;
        if (marker[1] == 0xC0 || marker[1] == 0xC1)
            return true;
        const bool otherFrame = marker[1] >= 0xC2 && marker[1] <= 0xCF && marker[1] != 0xC4 && marker[1] != 0xCC;
        const quint16 length = bigEndian(marker + 2);
        if (otherFrame || length < 2 || !file.seek(file.pos() + length - 2))
            return false;
    }
    return false;
}

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
    const std::unique_ptr<QFile> file = width > 0 ? openRegularFile(path) : nullptr;
    if (!file)
        return QPixmap();
    const bool sequentialJpeg = isSequentialJpeg(*file);
    if (!file->seek(0))
        return QPixmap();
    QImageReader reader(file.get());
    const QSize stated = reader.size();
    if (!reader.canRead() || !isDecodable(stated, sequentialJpeg && reader.format() == "jpeg"))
        return QPixmap();
    // Enlarging adds no detail for the client and costs time and memory here.
    reader.setScaledSize(previewSize(stated, std::min(width, stated.width())));
    return QPixmap::fromImage(reader.read());
}
