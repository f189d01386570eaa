#pragma once

// Creates or removes the entry that starts the program when the user logs in.
void setAutostartEntry(bool enabled);
