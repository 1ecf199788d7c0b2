#!/usr/bin/env bash
# The main job: installs and builds everything, then plays a plant. A simulated
# boiler serves changing values over Modbus TCP, a project for it is built from
# JSON, and a host runtime session starts the driver, streams the live values
# and writes a setpoint that comes back as a changed value.
#
# The driver shows its window when a display is available; otherwise it runs
# offscreen. Its settings, recent files and messages live in a private home
# that is removed at the end, so your own driver settings are never touched.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh"

build="$here/build"
work=$(mktemp -d)
simulator=""
cleanup() {
    if [ -n "$simulator" ]; then
        kill "$simulator" 2>/dev/null || true
        wait "$simulator" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" ORVALA_RUNTIME_DIR="$work/run"
mkdir -p "$XDG_CONFIG_HOME/Quenlor" "$XDG_DATA_HOME"
mkdir -m 0700 "$ORVALA_RUNTIME_DIR"
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    export XDG_RUNTIME_DIR="$work/xdg-run"
    mkdir -m 0700 "$XDG_RUNTIME_DIR"
fi
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    export QT_QPA_PLATFORM=offscreen
    # Nobody is at the screen to answer the driver's questions.
    export ORVALA_UNATTENDED=yes
fi

port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')

# The boiler: the level climbs every half second, the temperature is 21.5
# (a float, low word first), the pump switches every two seconds, and the
# starts counter (an input register pair) climbs every second.
"$build/tools/mbsim/mbsim" --port "$port" --units 1 \
    --set hr:1:0=100 --ramp hr:1:0@500ms \
    --set hr:1:2=0 --set hr:1:3=16812 \
    --ramp co:1:0@2000ms --ramp ir:1:0@1000ms &
simulator=$!
for _ in $(seq 100); do
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
    sleep 0.1
done

sed "s/@PORT@/$port/" "$here/scripts/demo/plant.json" > "$work/plant.json"
"$build/tools/drxtool/drxtool" build "$work/plant.json" "$work/plant.drx"
# The host runtime starts the driver with the most recent project.
printf '[Recent%%20File%%20List]\nFile1=%s\n[Settings]\nEvtMsgLevel=0\n' "$work/plant.drx" \
    > "$XDG_CONFIG_HOME/Quenlor/Orvala Modbus Driver.conf"

echo "simulator on 127.0.0.1:$port; values as the host runtime receives them:"
echo "  (request id, item, type, value, quality; the setpoint is written to 4321)"
"$build/hostrun/hostrun" driver --duration 8 \
    --items Plant.Boiler.Level,Plant.Boiler.Temperature,Plant.Boiler.Pump \
    --items Plant.Boiler.Setpoint,Plant.Boiler.Counters.Starts \
    --write Plant.Boiler.Setpoint=4321
echo "done: the driver was stopped by the host runtime."
