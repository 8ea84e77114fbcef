#!/usr/bin/env bash
# Checks the packages that scripts/package.sh built (quorva, kestro, kestro-sim): lintian, the
# desktop entry and metainfo, what each holds and depends on; then installs each one alone (as
# root: this changes the machine, so CI runs it), runs its program against a simulated logger
# taken from the kestro-sim package, and purges it again, checking that nothing is left.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(kestro-sim kestro quorva)
declare -A deb
for name in "${packages[@]}"; do
  files=(build-pkg/"$name"_*_"$(dpkg --print-architecture)".deb)
  if [ ${#files[@]} -ne 1 ] || [ ! -f "${files[0]}" ]; then
    echo "Expected exactly one $name package in build-pkg/; run scripts/package.sh first." >&2
    exit 1
  fi
  deb[$name]="${files[0]}"
done
if [ "$(id -u)" -ne 0 ]; then
  echo "Installing the packages needs root." >&2
  exit 1
fi

fail() {
  echo "package check: $*" >&2
  exit 1
}
work="$(mktemp -d /tmp/quorva-package-check.XXXXXX)"
sim_pid=""
app_pid=""
installed=""
# A failed check still takes the package off the machine, so the next run starts clean.
cleanup() {
  for pid in $app_pid $sim_pid; do kill "$pid" 2>/dev/null || true; done
  if [ -n "$installed" ]; then run_dpkg --purge "$installed" >/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
# Another apt or dpkg run (the set-up of another build, say) may hold dpkg's lock for a while.
run_dpkg() {
  for _ in $(seq 90); do
    if dpkg "$@" 2>"$work/dpkg-stderr"; then cat "$work/dpkg-stderr" >&2; return 0; fi
    grep -q 'lock' "$work/dpkg-stderr" || break
    sleep 2
  done
  cat "$work/dpkg-stderr" >&2
  return 1
}
version="$(dpkg-deb -f "${deb[quorva]}" Version)"

echo "== lintian"
# No warning is tolerated: there is none to explain. The only findings left are informational
# (the .comment section the strip step keeps).
lintian --fail-on error,warning "${deb[@]}"

echo "== contents"
for name in "${packages[@]}"; do
  root="$work/root-$name"
  dpkg-deb -x "${deb[$name]}" "$root"
  [ "$(dpkg-deb -f "${deb[$name]}" Version)" = "$version" ] || fail "$name is not version $version"
  # Each package holds its own program and no other.
  [ "$(ls "$root/usr/bin")" = "$name" ] || fail "$name holds /usr/bin/$(ls "$root/usr/bin" | xargs)"
  for f in "usr/share/doc/$name/copyright" "usr/share/doc/$name/changelog.gz"; do
    [ -f "$root/$f" ] || fail "$name lacks /$f"
  done
  page="usr/share/man/man1/$name.1.gz"
  [ -f "$root/$page" ] || fail "$name has no manual page /$page"
  if command -v man >/dev/null && man --warnings -l "$root/$page" 2>&1 >/dev/null | grep .; then
    fail "$page has groff warnings"
  fi
done
for f in usr/share/applications/quorva.desktop usr/share/icons/hicolor/scalable/apps/quorva.svg; do
  [ -f "$work/root-quorva/$f" ] || fail "quorva lacks /$f"
done
completion="$work/root-kestro/usr/share/bash-completion/completions/kestro"
[ -f "$completion" ] || fail "kestro has no bash completion"
bash -n "$completion" || fail "kestro's bash completion does not parse"
zcat "$work/root-kestro/usr/share/man/man1/kestro.1.gz" | grep -q '^\.SH EXAMPLES' ||
  fail "kestro's manual page has no EXAMPLES"

echo "== dependencies"
# kestro is for a headless PC: the C++ run time, QtCore, libudev and SQLite (the archive of
# downloads), nothing of the GUI stack.
depends_on() {
  dpkg-deb -f "${deb[$1]}" Depends | tr ',' '\n' | sed 's/^ *//; s/ .*//' | grep -v '^$' || true
}
allowed_kestro='^(libc6|libgcc-s1|libstdc\+\+6|libqt6core6|libqt6core6t64|libudev1|libsqlite3-0)$'
extra="$(depends_on kestro | { grep -vE "$allowed_kestro" || true; } | xargs)"
[ -z "$extra" ] || fail "kestro depends on more than QtCore, libudev and SQLite: $extra"
depends_on kestro | grep -q '^libudev1$' || fail "kestro does not depend on libudev1"
depends_on kestro-sim | grep -q '^libqt6' && fail "kestro-sim depends on Qt"
echo "kestro: $(depends_on kestro | xargs)"
echo "kestro-sim: $(depends_on kestro-sim | xargs)"

echo "== desktop entry and metainfo"
desktop="$work/root-quorva/usr/share/applications/quorva.desktop"
desktop-file-validate "$desktop"
metainfo=("$work"/root-quorva/usr/share/metainfo/*.metainfo.xml)
[ -f "${metainfo[0]}" ] || fail "no metainfo file"
appstreamcli validate --no-net "${metainfo[@]}"
entry() { sed -n "s/^$1=//p" "$desktop"; }
[ -f "$work/root-quorva/usr/bin/$(entry Exec | cut -d' ' -f1)" ] || fail "Exec= names no packaged program"
[ -f "$work/root-quorva/usr/share/icons/hicolor/scalable/apps/$(entry Icon).svg" ] ||
  fail "Icon= names no icon"
wm_class="$(entry StartupWMClass)"

for name in "${packages[@]}"; do
  if dpkg-query -W -f='${Status}' "$name" 2>/dev/null | grep -q ' installed'; then
    fail "$name is installed already; purge it before this check"
  fi
done
# The icon theme's cache is rebuilt by its trigger on install and purge alike; it is the
# theme's, not ours.
snapshot() {
  find /usr /etc /opt -xdev \( -path /usr/share/icons/hicolor/icon-theme.cache -prune \) -o -print \
    2>/dev/null | sort
}
snapshot >"$work/before"

# The simulated logger the installed programs talk to, run from the unpacked kestro-sim
# package so each package is still installed alone.
start_sim() {
  rm -f "$work/link" "$work/transcript"
  "$work/root-kestro-sim/usr/bin/kestro-sim" --link "$work/link" --transcript "$work/transcript" \
    "$@" >/dev/null 2>&1 &
  sim_pid=$!
  for _ in $(seq 50); do
    [ -e "$work/link" ] && return 0
    sleep 0.1
  done
  fail "the simulator made no link"
}
stop_sim() {
  kill "$sim_pid"
  wait "$sim_pid" 2>/dev/null || true
  sim_pid=""
}

install_alone() {
  echo "== install $1 alone"
  installed="$1"
  run_dpkg -i "${deb[$1]}"
  man -w "$1" >/dev/null || fail "man does not find $1(1)"
}

purge() {
  echo "== purge $1"
  run_dpkg --purge "$1"
  installed=""
  if dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q ' installed\| config-files'; then
    fail "$1 is still known to dpkg"
  fi
  ls /var/lib/dpkg/info/"$1".* 2>/dev/null && fail "dpkg still holds $1's control files"
  snapshot >"$work/after"
  # What is new since before the install and belongs to no installed package was left by ours.
  left=0
  while IFS= read -r path; do
    if ! dpkg -S "$path" >/dev/null 2>&1; then
      echo "left behind: $path" >&2
      left=1
    fi
  done < <(comm -13 "$work/before" "$work/after")
  [ "$left" -eq 0 ] || fail "the purge of $1 left files behind"
}

install_alone kestro-sim
[ "$(/usr/bin/kestro-sim --version)" = "kestro-sim $version" ] ||
  fail "kestro-sim --version does not say kestro-sim $version"
/usr/bin/kestro-sim --help | grep -q -- '--transcript' || fail "kestro-sim --help does not list --transcript"
/usr/bin/kestro-sim --link "$work/own-link" >/dev/null 2>&1 &
sim_pid=$!
for _ in $(seq 50); do [ -e "$work/own-link" ] && break; sleep 0.1; done
[ -e "$work/own-link" ] || fail "the installed kestro-sim made no link"
stop_sim
purge kestro-sim

install_alone kestro
[ "$(/usr/bin/kestro --version)" = "kestro $version" ] || fail "kestro --version does not say kestro $version"
/usr/bin/kestro download --help | grep -q -- '--csv' || fail "kestro download --help does not list --csv"
start_sim --logs 5
KESTRO_PORT="$work/link" /usr/bin/kestro info --json >"$work/info.json" ||
  fail "kestro info against the simulator ended with status $?"
python3 -c 'import json, sys; v = json.load(open(sys.argv[1])); assert v["logCount"] == 5, v' \
  "$work/info.json" || fail "kestro info --json did not report the simulator's 5 entries"
echo "kestro info: $(tr -d ' \n' <"$work/info.json" | cut -c1-100)..."
stop_sim
purge kestro

install_alone quorva
# Answered before any window: no display is needed.
[ "$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM /usr/bin/quorva --version)" = "quorva $version" ] ||
  fail "quorva --version does not say quorva $version without a display"
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM /usr/bin/quorva --help | grep -q QUORVA_COM ||
  fail "quorva --help does not answer without a display"

echo "== the window against the simulator"
start_sim
QT_QPA_PLATFORM=offscreen QUORVA_COM1="$work/link" /usr/bin/quorva 2>"$work/app-stderr" &
app_pid=$!
poll_cycle="i01 i05 i03 i04 l0000 s c i06 i07 i08"
# The bodies of the commands the logger received, poll commands only, in order.
polls() {
  sed -n 's/^ *[0-9.]* RX <\([^>]*\)>.*/\1/p' "$work/transcript" |
    grep -xE 'i01|i05|i03|i04|l0000|s|c|i06|i07|i08' | tr '\n' ' ' || true
}
seen=0
for _ in $(seq 240); do
  kill -0 "$app_pid" 2>/dev/null || { cat "$work/app-stderr" >&2; fail "quorva ended early"; }
  if polls | grep -q "$poll_cycle"; then seen=1; break; fi
  sleep 0.25
done
[ "$seen" -eq 1 ] || { cat "$work/transcript" >&2; fail "no full poll cycle within 60 s"; }
echo "full poll cycle seen: $poll_cycle"
kill "$app_pid"
wait "$app_pid" 2>/dev/null || true
app_pid=""

echo "== window class under X"
# The desktop groups the window under the entry by the instance part of WM_CLASS.
QUORVA_COM1="$work/link" xvfb-run -a bash -c '
  QT_QPA_PLATFORM=xcb /usr/bin/quorva 2>/dev/null &
  pid=$!
  for _ in $(seq 240); do
    for w in $(xwininfo -root -children | awk "/^ +0x/ {print \$1}"); do
      if xprop -id "$w" _NET_WM_PID 2>/dev/null | grep -q "= $pid\$"; then
        xprop -id "$w" WM_CLASS
        kill $pid
        exit 0
      fi
    done
    sleep 0.25
  done
  kill $pid
  exit 1' >"$work/wm-class" 2>"$work/xvfb-stderr" ||
  { cat "$work/xvfb-stderr" >&2; fail "no quorva window appeared under Xvfb"; }
cat "$work/wm-class"
grep -q "^WM_CLASS(STRING) = \"$wm_class\"," "$work/wm-class" ||
  fail "the window's WM_CLASS instance is not \"$wm_class\" (StartupWMClass)"
stop_sim
purge quorva

echo "package check passed: ${deb[*]}"
