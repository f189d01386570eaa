#pragma once

#include <QByteArray>

// True when some object of the JSON text, at any depth, names the same key twice; escaped and
// plain spellings of a key count as the same. Qt's parser leaks the value it replaces, and anyone
// on the network may send such text, so it must not reach the parser. One pass over the text and
// a sort of each object's keys. Text that is not JSON may go either way: the parser rejects it.
bool hasDuplicateKey(const QByteArray& json);
