#include "ui/qrcodeimage.h"

#include <qrencode.h>

#include <cstring>
#include <memory>

namespace {
using Code = std::unique_ptr<QRcode, decltype(&QRcode_free)>;

// Medium error correction: the code still reads through a reflection on a glossy screen.
Code encode(const QByteArray& bytes)
{
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
    return Code(bytes.isEmpty() ? nullptr : QRcode_encodeData(bytes.size(), data, 0, QR_ECLEVEL_M), &QRcode_free);
}
} // namespace

QImage QrCodeImage::draw(const QString& text, int maxSide)
{
    const Code code = encode(text.toUtf8());
    if (!code)
        return QImage();
    const int modules = code->width;
    const int side = modules + 2 * QuietZoneModules;
    const int scale = qMax(1, maxSide / side);
    QImage image(side * scale, side * scale, QImage::Format_Grayscale8);
    image.fill(Qt::white);
    for (int row = 0; row < modules; ++row) {
        for (int column = 0; column < modules; ++column) {
            // The lowest bit of each module tells dark from light; the others are libqrencode's own.
            if (!(code->data[row * modules + column] & 1))
                continue;
            const int left = (column + QuietZoneModules) * scale;
            const int top = (row + QuietZoneModules) * scale;
            for (int line = top; line < top + scale; ++line)
                std::memset(image.scanLine(line) + left, 0, size_t(scale));
        }
    }
    return image;
}
