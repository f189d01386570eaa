#pragma once

// Creates the program's own updater and makes it Updater::instance(). Call once at start-up,
// after the application's name, organisation and version are set and before any window exists.
void setUpUpdater();
