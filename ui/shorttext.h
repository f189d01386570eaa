#pragma once

#include <QString>

// Names and ids come from the network: a long one must not push the question or the list off the
// screen. Cut to 64 characters, the last an ellipsis.
QString shortText(const QString& text);
