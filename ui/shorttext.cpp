#include "ui/shorttext.h"

namespace {
constexpr int MaxLength = 64;
}

QString shortText(const QString& text)
{
    if (text.size() <= MaxLength)
        return text;
    int cut = MaxLength - 1;
    if (text.at(cut - 1).isHighSurrogate())
        --cut;
    return text.left(cut) + QChar(0x2026);
}
