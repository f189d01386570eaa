#pragma once

#include <QPixmap>
#include <QString>

// Previews never exceed this on either edge, whatever a client asks for.
constexpr int LargestPreviewEdge = 2048;

// The image at path scaled to width, aspect ratio kept, never taller than LargestPreviewEdge and
// never larger than the image itself.
// Formats that can decode at a reduced size do so; the full-size image is never held in memory
// unless it is small. Null for files that are not images and for images whose header states an
// implausible size (an edge over 30000 pixels or more than 100 megapixels).
QPixmap scaledImagePreview(const QString& path, int width);
