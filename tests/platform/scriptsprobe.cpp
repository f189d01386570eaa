// Prints the scripts directory the platform finds for this program file, or stops as the program
// would; with an argument it first writes the autostart entry for its own path.
#include "platform/autostart.h"
#include "platform/gnomeplatform.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    if (argc > 1)
        setAutostartEntry(true);
    puts(qPrintable(GNOMEPlatform::scriptsDirectory()));
}
