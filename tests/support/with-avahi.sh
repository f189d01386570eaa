#!/usr/bin/env bash
# with-avahi.sh PROGRAM [ARGS...]
# Runs PROGRAM in network, mount, pid and IPC namespaces of its own: loopback, a veth pair with 10.77.0.1/24,
# a private tmpfs on /run and a stand-in system bus. The avahi-daemon that PROGRAM starts therefore
# only ever sees these interfaces, and its multicast never leaves the machine.
set -euo pipefail

if [ $# -lt 1 ]; then
    echo "usage: $0 PROGRAM [ARGS...]" >&2
    exit 2
fi

if [ -z "${PAVO_TEST_NETNS:-}" ]; then
    # A pid namespace too: when this script ends, the kernel ends whatever the test left running; and
    # an IPC one, which takes along the single-instance blocks of programs the test killed.
    exec env PAVO_TEST_NETNS=1 unshare --net --mount --propagation private --pid --fork --mount-proc --ipc \
        bash "$0" "$@"
fi

mount -t tmpfs tmpfs /run
mkdir -p /run/avahi-daemon
ip link set lo up
ip link add v0 type veth peer name v1
ip addr add 10.77.0.1/24 dev v0
ip link set v0 up
ip link set v1 up

work=$(mktemp -d /run/pavo-test.XXXXXX)
cat >"$work/sysbus.conf" <<XML
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig><type>custom</type><listen>unix:tmpdir=$work</listen><auth>EXTERNAL</auth>
<policy context="default"><allow send_destination="*" eavesdrop="true"/>
<allow eavesdrop="true"/><allow own="*"/></policy></busconfig>
XML

# A child of this shell rather than --fork, so that it is reaped here and not left to init.
coproc bus { exec dbus-daemon --config-file="$work/sysbus.conf" --nofork --print-address=1; }
trap 'kill "$bus_PID"; wait "$bus_PID" || true' EXIT
read -r bus_address <&"${bus[0]}"
export DBUS_SYSTEM_BUS_ADDRESS=$bus_address

"$@"
