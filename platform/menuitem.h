#pragma once

#include <QList>
#include <QString>

// One entry of an application menu; a leaf has no children.
struct MenuItem
{
    QString id;
    QString name;
    QList<MenuItem> children;
};
