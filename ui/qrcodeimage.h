#pragma once

#include <QImage>
#include <QString>

// A QR code as a camera reads it off a screen: black modules on white inside the quiet zone that
// scanners look for, each module a square of whole pixels so that no edge blurs.
class QrCodeImage
{
public:
    static constexpr int QuietZoneModules = 4;

    // The largest drawing whose side fits maxSide pixels, at least one pixel a module; null when
    // the text is empty or too long for any QR code.
    static QImage draw(const QString& text, int maxSide);
};
