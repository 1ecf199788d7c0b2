#!/usr/bin/env bash
# The main job: installs and builds everything, then plays host runtime. A
# window registers by title, and the host finds it, sends it a WM_COPYDATA whose
# payload is an archive-encoded string, and posts it the stop message; the
# window prints what arrives.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/setup.sh"

hostrun="$here/build/hostrun/hostrun"
title="Orvala Demo Window"
work=$(mktemp -d)
listener=""
cleanup() {
    [ -n "$listener" ] && kill "$listener" 2>/dev/null && wait "$listener" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT

"$hostrun" listen "$title" --reply 100 &
listener=$!
for _ in $(seq 50); do
    "$hostrun" find "$title" >/dev/null 2>&1 && break
    sleep 0.1
done

echo "window handle: $("$hostrun" find "$title")"
# The string "abc" in the archive encoding: wide marker, length 3, UTF-16LE.
printf '\xff\xfe\xff\x03a\0b\0c\0' > "$work/payload.bin"
echo "send WM_COPYDATA code 200 -> result $("$hostrun" send "$title" 0x4A --code 200 --payload "$work/payload.bin")"
"$hostrun" post "$title" 0x466 && echo "posted WM_USER+102"
sleep 0.3
