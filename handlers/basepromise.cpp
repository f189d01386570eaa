#include "handlers/basepromise.h"

BasePromise::BasePromise(QObject* parent) : QObject(parent)
{
    connect(this, &BasePromise::resolve, this, &QObject::deleteLater);
    connect(this, &BasePromise::reject, this, &QObject::deleteLater);
}
