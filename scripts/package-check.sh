#!/usr/bin/env bash
# Checks the package that scripts/package.sh built: lintian, the desktop entry and metainfo,
# then installs it (as root: this changes the machine, so CI runs it), runs the installed
# programs, the window against the installed simulator, and purges it again.
set -euo pipefail
cd "$(dirname "$0")/.."

debs=(build-pkg/quorva_*_"$(dpkg --print-architecture)".deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
  echo "Expected exactly one package in build-pkg/; run scripts/package.sh first." >&2
  exit 1
fi
deb="${debs[0]}"
if [ "$(id -u)" -ne 0 ]; then
  echo "Installing the package needs root." >&2
  exit 1
fi

fail() {
  echo "package check: $*" >&2
  exit 1
}
work="$(mktemp -d /tmp/quorva-package-check.XXXXXX)"
sim_pid=""
app_pid=""
installed=0
# A failed check still takes the package off the machine, so the next run starts clean.
cleanup() {
  for pid in $app_pid $sim_pid; do kill "$pid" 2>/dev/null || true; done
  if [ "$installed" -eq 1 ]; then run_dpkg --purge quorva >/dev/null || true; fi
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

echo "== lintian"
# No warning is tolerated: there is none to explain. The only findings left are informational
# (the .comment section the strip step keeps).
lintian --fail-on error,warning "$deb"

echo "== contents"
dpkg-deb -x "$deb" "$work/root"
root="$work/root"
for f in usr/bin/quorva usr/bin/kestro-sim usr/share/applications/quorva.desktop \
  usr/share/icons/hicolor/scalable/apps/quorva.svg usr/share/doc/quorva/copyright \
  usr/share/doc/quorva/changelog.gz; do
  [ -f "$root/$f" ] || fail "the package lacks /$f"
done
# The command line program is part of the package; 0 would let a build without it pass.
kestro_required=1
has_kestro=0
if [ "$kestro_required" -eq 1 ] || [ -f "$root/usr/bin/kestro" ]; then
  [ -f "$root/usr/bin/kestro" ] || fail "the package lacks /usr/bin/kestro"
  has_kestro=1
fi
for program in "$root"/usr/bin/*; do
  page="usr/share/man/man1/$(basename "$program").1.gz"
  [ -f "$root/$page" ] || fail "no manual page /$page"
  if command -v man >/dev/null && man --warnings -l "$root/$page" 2>&1 >/dev/null | grep .; then
    fail "$page has groff warnings"
  fi
done
metainfo=("$root"/usr/share/metainfo/*.metainfo.xml)
[ -f "${metainfo[0]}" ] || fail "no metainfo file"

echo "== desktop entry and metainfo"
desktop="$root/usr/share/applications/quorva.desktop"
desktop-file-validate "$desktop"
appstreamcli validate --no-net "${metainfo[@]}"
entry() { sed -n "s/^$1=//p" "$desktop"; }
[ -f "$root/usr/bin/$(entry Exec | cut -d' ' -f1)" ] || fail "Exec= names no packaged program"
[ -f "$root/usr/share/icons/hicolor/scalable/apps/$(entry Icon).svg" ] || fail "Icon= names no icon"
wm_class="$(entry StartupWMClass)"

if dpkg-query -W -f='${Status}' quorva 2>/dev/null | grep -q ' installed'; then
  fail "quorva is installed already; purge it before this check"
fi
# The icon theme's cache is rebuilt by its trigger on install and purge alike; it is the
# theme's, not ours.
snapshot() {
  find /usr /etc /opt -xdev \( -path /usr/share/icons/hicolor/icon-theme.cache -prune \) -o -print \
    2>/dev/null | sort
}
snapshot >"$work/before"

echo "== install"
installed=1
run_dpkg -i "$deb"
/usr/bin/kestro-sim --help >"$work/sim-help"
grep -q -- '--transcript' "$work/sim-help" || fail "kestro-sim --help does not list --transcript"
if [ "$has_kestro" -eq 1 ]; then
  /usr/bin/kestro --version >"$work/kestro-version"
  grep -q '2\.11' "$work/kestro-version" || fail "kestro --version does not name version 2.11"
fi
if command -v man >/dev/null; then
  for program in /usr/bin/quorva /usr/bin/kestro*; do man -w "$(basename "$program")" >/dev/null; done
fi

echo "== the window against the installed simulator"
/usr/bin/kestro-sim --link "$work/link" --transcript "$work/transcript" >/dev/null &
sim_pid=$!
for _ in $(seq 50); do
  [ -e "$work/link" ] && break
  sleep 0.1
done
[ -e "$work/link" ] || fail "the simulator made no link"
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
kill "$sim_pid"
wait "$sim_pid" 2>/dev/null || true
sim_pid=""

echo "== purge"
run_dpkg --purge quorva
installed=0
if dpkg-query -W -f='${Status}' quorva 2>/dev/null | grep -q ' installed\| config-files'; then
  fail "quorva is still known to dpkg"
fi
ls /var/lib/dpkg/info/quorva.* 2>/dev/null && fail "dpkg still holds quorva's control files"
snapshot >"$work/after"
# What is new since before the install and belongs to no installed package was left by ours.
left=0
while IFS= read -r path; do
  if ! dpkg -S "$path" >/dev/null 2>&1; then
    echo "left behind: $path" >&2
    left=1
  fi
done < <(comm -13 "$work/before" "$work/after")
[ "$left" -eq 0 ] || fail "the purge left files behind"
echo "package check passed: $(basename "$deb")"
