#pragma once

#include <QHostAddress>

// A dual-stack socket reports IPv4 peers as IPv4-mapped IPv6 addresses; people and the refusal
// back-off know them by their IPv4 form.
QHostAddress plainAddress(const QHostAddress& address);
