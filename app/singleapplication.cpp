#include "app/singleapplication.h"

#include "app/singleapplicationprivate.h"

#include <cstdlib>

SingleApplication::SingleApplication(int& argc, char* argv[], Options options, int timeout)
    : QApplication(argc, argv), d(new SingleApplicationPrivate(this, options))
{
    switch (d->claimInstance(timeout)) {
    case SingleApplicationPrivate::Outcome::Primary:
        return;
    case SingleApplicationPrivate::Outcome::Secondary:
        endProcess(0);
    case SingleApplicationPrivate::Outcome::Failed:
        endProcess(1);
    }
}

SingleApplication::~SingleApplication()
{
    delete d;
}

void SingleApplication::endProcess(int status)
{
    delete d;
    d = nullptr;
    std::exit(status);
}
