#!/usr/bin/env bash
# The main job: installs and builds everything, then plays a whole plant on
# this machine. A simulated boiler serves changing values over Modbus TCP; the
# host runtime ("hostrun plant") starts the driver, the SQL bridge and the
# email relay; every value lands in a throwaway MariaDB, and when the boiler's
# level rises past its Hi limit an alarm row is written and an email goes out
# through stunnel, verified against a throwaway CA, to a local SMTP sink.
#
# Everything runs on 127.0.0.1 in a private home that is removed at the end,
# so your own settings are never touched; the programs show their windows when
# a display is available and run offscreen otherwise. Everything started here
# is stopped by its process id.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh"

build="$here/build"
work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    for pid in "${pids[@]}"; do
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" ORVALA_RUNTIME_DIR="$work/run"
export XDG_CONFIG_DIRS="$work/system-config" HOME="$work/home"
mkdir -p "$XDG_CONFIG_HOME/Quenlor" "$XDG_DATA_HOME" "$XDG_CONFIG_DIRS/Quenlor" "$HOME"
mkdir -m 0700 "$ORVALA_RUNTIME_DIR"
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    export XDG_RUNTIME_DIR="$work/xdg-run"
    mkdir -m 0700 "$XDG_RUNTIME_DIR"
fi
if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
    export QT_QPA_PLATFORM=offscreen
    # Nobody is at the screen to answer the programs' questions.
    export ORVALA_UNATTENDED=yes
fi

free_port() {
    python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}
wait_for_port() {
    for _ in $(seq 300); do
        (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0
        sleep 0.1
    done
    echo "demo: nothing listens on 127.0.0.1:$1" >&2
    return 1
}
secret() { head -c 12 /dev/urandom | od -An -tx1 | tr -d ' \n'; }

echo "== the plant's peers"
# A throwaway MariaDB with the bridge's schema and a user allowed to insert.
db_port=$(free_port)
db="$work/mariadb"
as_root=()
[ "$(id -u)" = 0 ] && as_root=(--user=root)
mariadb-install-db --no-defaults --auth-root-authentication-method=normal --skip-test-db \
    --datadir="$db/data" --innodb-log-file-size=4M "${as_root[@]}" > "$work/install-db.log" 2>&1
mariadbd --no-defaults --datadir="$db/data" --socket="$db/mysqld.sock" \
    --pid-file="$db/mysqld.pid" --log-error="$db/error.log" --skip-networking=0 \
    --bind-address=127.0.0.1 --port="$db_port" --skip-name-resolve --skip-log-bin \
    --performance-schema=OFF --innodb-buffer-pool-size=32M --innodb-log-file-size=4M \
    "${as_root[@]}" > "$db/output.log" 2>&1 &
pids+=($!)
wait_for_port "$db_port"
sql() { mariadb --no-defaults --socket="$db/mysqld.sock" -u root "$@"; }
(umask 077 && secret > "$work/db.password")
# Statements on standard input: the password stays off every command line.
{
    echo "CREATE DATABASE plant; USE plant;"
    cat "$here/sqlbridge/schema.sql"
    echo "CREATE USER 'historian'@'127.0.0.1' IDENTIFIED BY '$(cat "$work/db.password")';"
    echo "GRANT INSERT ON plant.* TO 'historian'@'127.0.0.1';"
} | sql
echo "MariaDB on 127.0.0.1:$db_port, database plant"

# An SMTP sink behind stunnel, with a certificate from a throwaway CA that
# the relay is told to trust: the TLS check is real.
ca="$work/ca"
mkdir "$ca"
(
    cd "$ca"
    openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout ca.key \
        -out ca.pem -days 2 -subj "/CN=Orvala Demo CA"
    openssl req -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout server.key \
        -out server.csr -subj "/CN=smtp.plant.example"
    echo "subjectAltName=IP:127.0.0.1" > san.ext
    openssl x509 -req -in server.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out server.pem \
        -days 2 -extfile san.ext
) > "$work/ca.log" 2>&1
mail_user=boiler@plant.example
PLANT_MAIL_PASSWORD=$(secret)
export PLANT_MAIL_PASSWORD
mkdir "$work/inbox"
# Debian's Python, where python3-aiosmtpd is installed.
/usr/bin/python3 "$here/mailrelay/tests/smtpsink.py" "$work/inbox" "$mail_user" "$PLANT_MAIL_PASSWORD" \
    > "$work/sink.port" &
pids+=($!)
for _ in $(seq 300); do [ -s "$work/sink.port" ] && break; sleep 0.1; done
sink_port=$(head -n1 "$work/sink.port")
if [ -z "$sink_port" ]; then
    echo "demo: the SMTP sink did not start" >&2
    exit 1
fi
tls_port=$(free_port)
cat > "$work/stunnel-server.conf" <<CONF
foreground = yes
pid =
syslog = no
[smtp]
accept = 127.0.0.1:$tls_port
connect = 127.0.0.1:$sink_port
cert = $ca/server.pem
key = $ca/server.key
CONF
stunnel4 "$work/stunnel-server.conf" > "$work/stunnel-server.log" 2>&1 &
pids+=($!)
wait_for_port "$tls_port"
# The relay's machine settings: where its own stunnel lives and where Gmail is.
cat > "$XDG_CONFIG_DIRS/Quenlor/ORVALA HMI.conf" <<CONF
[Run%20Mode]
Settings\\Stunnel_Path=$work/relay-stunnel
Settings\\Stunnel_CAfile=$ca/ca.pem
Settings\\ProxyPortGmail=$(free_port)
Settings\\ProxyPortYahoo=$(free_port)
Settings\\SmtpHostGmail=127.0.0.1
Settings\\SmtpPortGmail=$tls_port
Settings\\SmtpHostYahoo=127.0.0.1
Settings\\SmtpPortYahoo=$tls_port
CONF
mkdir "$work/relay-stunnel"
echo "SMTP sink on 127.0.0.1:$sink_port behind TLS on 127.0.0.1:$tls_port"

# The boiler: the level climbs by one every half second from 100, past its
# Hi limit of 110; the temperature is 21.5 (a float, low word first), the
# pump switches every two seconds, the starts counter climbs every second.
mb_port=$(free_port)
"$build/tools/mbsim/mbsim" --port "$mb_port" --units 1 \
    --set hr:1:0=100 --ramp hr:1:0@500ms \
    --set hr:1:2=0 --set hr:1:3=16812 \
    --ramp co:1:0@2000ms --ramp ir:1:0@1000ms > "$work/mbsim.log" 2>&1 &
pids+=($!)
wait_for_port "$mb_port"
sed "s/@PORT@/$mb_port/" "$here/scripts/demo/plant.json" > "$work/plant.json"
"$build/tools/drxtool/drxtool" build "$work/plant.json" "$work/plant.drx"
# The host runtime starts the driver with the most recent project.
printf '[Recent%%20File%%20List]\nFile1=%s\n[Settings]\nEvtMsgLevel=0\n' "$work/plant.drx" \
    > "$XDG_CONFIG_HOME/Quenlor/Orvala Modbus Driver.conf"
echo "boiler on 127.0.0.1:$mb_port"

echo "== hostrun plant (alarm changes and a status line every 5 s)"
sed "s/@DBPORT@/$db_port/" "$here/scripts/demo/plant-host.json" > "$work/plant-host.json"
"$build/hostrun/hostrun" plant "$work/plant-host.json" 2> "$work/hostrun.log" &
plant=$!
pids+=($plant)
# Runs until the alarm email has arrived and a few more values were written.
for _ in $(seq 600); do
    ls "$work/inbox"/*.json > /dev/null 2>&1 && break
    kill -0 "$plant" 2>/dev/null || break
    sleep 0.1
done
sleep 3
kill -INT "$plant" 2>/dev/null || true
status=0
wait "$plant" || status=$?
if [ "$status" != 0 ]; then
    echo "demo: hostrun plant ended with status $status; its notes:" >&2
    cat "$work/hostrun.log" >&2
    exit 1
fi

echo "== the last rows of the historian"
sql -t plant -e "SELECT id, groupname, tagname, tagval, tagtime FROM tagvalues
                 ORDER BY id DESC LIMIT 6"
sql -t plant -e "SELECT id, tagname, tagval, almtype, event, severity, comment FROM alarms
                 ORDER BY id DESC LIMIT 4"
echo "== the alarm email the operator received"
for message in "$work/inbox"/*.json; do
    /usr/bin/python3 -c 'import json, sys; m = json.load(open(sys.argv[1])); print("To: %s  Subject: %s" % (m["to"], m["subject"]))' "$message"
done
echo "done: the driver, the bridge and the relay were closed in order by the host runtime."
