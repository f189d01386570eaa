#pragma once

#include <QPixmap>
#include <QString>

// Previews never exceed this on either edge, whatever a client asks for.
constexpr int LargestPreviewEdge = 2048;

// The image at path scaled to width, aspect ratio kept, never taller than LargestPreviewEdge and
// never larger than the image itself.
// Only regular files are read. A sequential JPEG decodes at a reduced size, up to 100 megapixels;
// every other image is refused above 16 megapixels, so the full-size image is never held in
// memory unless it is small. Null for files that are not images and for images whose header
// states an implausible or refused size.
QPixmap scaledImagePreview(const QString& path, int width);
