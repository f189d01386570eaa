#pragma once

#include <avahi-common/watch.h>

// The AvahiPoll that runs Avahi's watches and timeouts on the Qt event loop of the main thread:
// watches become socket notifiers, timeouts single-shot timers. Hand it to avahi_client_new().
const AvahiPoll* avahiQtPoll();
