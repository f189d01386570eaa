#include "app/identity.h"

#include <QCoreApplication>

void setUpIdentity()
{
    qSetMessagePattern(QStringLiteral("[%{function}] %{message}"));
    QCoreApplication::setApplicationName(QStringLiteral("Pavo Server"));
    QCoreApplication::setOrganizationName(QStringLiteral("Corvin Osmunda"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("osmunda.org"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PAVO_VERSION));
}
