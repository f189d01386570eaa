#pragma once

#include <QByteArray>
#include <QString>

// Every secret the server hands out (pairing secrets, session tokens, IVs) comes from the
// operating system's cryptographic generator: a seeded PRNG would let one observed token
// reveal all the others.

QByteArray randomBytes(int count);

// Uniform integer in the inclusive range [low, high].
int randomInt(int low, int high);

// 32 characters drawn uniformly from A-Z, a-z, 0-9.
QString randomToken();

// 16 fresh bytes for one CBC frame.
QByteArray randomIv();
