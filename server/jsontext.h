#pragma once

#include <QByteArray>
#include <QJsonDocument>
#include <QString>

// True when some object of the JSON text, at any depth, names the same key twice; escaped and
// plain spellings of a key count as the same. Qt's parser leaks the value it replaces, and such
// text may come from anyone on the network, so it must not reach the parser. One pass over the text and
// a sort of each object's keys. Text that is not JSON may go either way: the parser rejects it.
bool hasDuplicateKey(const QByteArray& json);

// The document the JSON text holds, or an empty one when it is not JSON or repeats a key; then
// error, when given, says why. Every JSON the program reads comes in through here.
QJsonDocument parseJson(const QByteArray& json, QString* error = nullptr);
