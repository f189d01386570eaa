#pragma once

#include <QtGlobal>

#include <cstddef>
#include <cstdint>

class QByteArray;
class QObject;

enum class SessionBus { None, Private };

// Called once before the first input: an offscreen application with a temporary HOME, no system
// bus, no web service, and a silent log (the server warns about nearly every fuzzed input). The session bus is
// kept only for a target run under dbus-run-session.
void startFuzzApplication(SessionBus bus = SessionBus::None);

QByteArray inputBytes(const uint8_t* data, size_t size);

// The server looks at the network every 5 s, which under the sanitizers costs about as much CPU
// time as an input may take: the targets stop it, so that the slow-input limit times inputs only.
void stopNetworkChecks(QObject* server);

// libFuzzer's own timeout counts whole seconds; an input the program serves this slowly is a
// finding too, so the guard aborts and libFuzzer keeps the input. It counts the thread's CPU
// time, so that other work on shared cores and the disk's syncs do not make a finding, and only its
// user time: the kernel's part (page faults, reclaiming memory on a machine short of it) varies with
// the machine, not with the input.
class SlowInputGuard
{
public:
    static constexpr qint64 LimitMs = 100;
    SlowInputGuard() : start(userCpuMicroseconds()) {}
    ~SlowInputGuard();

private:
    static qint64 userCpuMicroseconds();
    const qint64 start;
};
