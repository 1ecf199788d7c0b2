#!/usr/bin/env bash
# The Debian package as an integrator gets it: built by scripts/package.sh,
# unpacked with dpkg-deb into a temporary root where every program answers
# --version and --help (offscreen, in a private home), carrying its man pages,
# desktop entries, icons and polkit action, no build path inside, the runtime
# dependencies declared, and no lintian error.
#
#   package_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail

source_dir=$(cd "$1" && pwd)
build_dir=$2
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

package=$("$source_dir/scripts/package.sh" "$build_dir" | tail -n 1)
echo "package: $package"
version=$(dpkg-deb -f "$package" Version)

root=$(mktemp -d "${TMPDIR:-/tmp}/orvala-package-XXXXXX")
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$package" "$root/unpacked"
mkdir -m 0700 "$root/home" "$root/run"

window_programs=(tagpoller restarter)
for program in sqlbridge mailrelay; do
    [ -d "$source_dir/$program" ] && window_programs+=("$program")
done
programs=("${window_programs[@]}" hostrun drxtool mbsim)

run() {
    env -i PATH=/usr/bin:/bin HOME="$root/home" XDG_RUNTIME_DIR="$root/run" \
        ORVALA_RUNTIME_DIR="$root/run/orvala" QT_QPA_PLATFORM=offscreen \
        timeout 60 "$@"
}

for program in "${programs[@]}"; do
    binary="$root/unpacked/usr/bin/$program"
    if [ ! -x "$binary" ]; then
        fail "$program is not in the package"
        continue
    fi
    if ! out=$(run "$binary" --version 2>&1); then
        fail "$program --version: $out"
    elif [[ "$out" != *"$version"* ]]; then
        fail "$program --version does not say $version: $out"
    fi
    if ! out=$(run "$binary" --help 2>&1); then
        fail "$program --help: $out"
    elif ! grep -qi "usage" <<<"$out"; then
        fail "$program --help shows no usage: $out"
    fi
    [ -f "$root/unpacked/usr/share/man/man1/$program.1.gz" ] || fail "no man page for $program"
done
for program in "${window_programs[@]}"; do
    [ -f "$root/unpacked/usr/share/applications/orvala-$program.desktop" ] ||
        fail "no desktop entry for $program"
    [ -f "$root/unpacked/usr/share/icons/hicolor/scalable/apps/orvala-$program.svg" ] ||
        fail "no icon for $program"
done

policy="$root/unpacked/usr/share/polkit-1/actions/com.quenlor.orvala.hostrun.policy"
grep -q '<annotate key="org.freedesktop.policykit.exec.path">/usr/bin/hostrun</annotate>' \
    "$policy" || fail "the polkit action does not name /usr/bin/hostrun"
if [ -f "$source_dir/sqlbridge/schema.sql" ]; then
    cmp -s "$source_dir/sqlbridge/schema.sql" \
        "$root/unpacked/usr/share/orvala-suite/sqlbridge/schema.sql" || fail "no SQL schema"
fi

depends=$(dpkg-deb -f "$package" Depends)
echo "Depends: $depends"
needed=(libqt6core6 libqt6widgets6 libqt6svg6 pkexec)
[ -d "$source_dir/sqlbridge" ] && needed+=(libmariadb3)
[ -d "$source_dir/mailrelay" ] && needed+=(libcurl4 stunnel4)
for dependency in "${needed[@]}"; do
    [[ "$depends" == *"$dependency"* ]] || fail "Depends lacks $dependency"
done

if paths=$(grep -rlF -e "$source_dir" -e "$build_dir" "$root/unpacked"); then
    fail "build paths inside: $paths"
fi

if ! lintian --fail-on error --tag-display-limit 0 "$package"; then
    fail "lintian reports errors"
fi

if ((failures)); then
    echo "$failures checks failed" >&2
    exit 1
fi
echo "package: every check passed"
