#pragma once

// The names the settings, the single-instance key, the service name and the sleep inhibition are
// all derived from, and the log pattern. Call first thing in main, before any of those are read.
void setUpIdentity();
