#pragma once

#include <QApplication>

class SingleApplicationPrivate;

// The application object of a program that runs once: a later start tells the running instance
// and ends quietly while it is being constructed, before any window or server exists.
class SingleApplication : public QApplication
{
    Q_OBJECT

public:
    // User: one primary per user, reachable by that user only. System: one per machine.
    enum Mode { User = 0x1, System = 0x2 };
    Q_DECLARE_FLAGS(Options, Mode)

    SingleApplication(int& argc, char* argv[], Options options = User, int timeout = 1000);
    ~SingleApplication() override;

signals:
    void instanceStarted();
    void receivedMessage(quint32 instanceId, QByteArray message);

private:
    [[noreturn]] void endProcess(int status);

    SingleApplicationPrivate* d;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(SingleApplication::Options)
