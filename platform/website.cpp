#include "platform/website.h"

Website::Website(const QJsonObject& commands) : document(commands) {}
