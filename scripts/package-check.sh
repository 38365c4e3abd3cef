#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Debian package, installs it with apt as a user would, checks the installed
# programs, man page, menu entry and .krv type, then removes it and whatever it pulled
# in. Root only.
#   bash scripts/package-check.sh
set -euo pipefail
cd "$(dirname "$0")/.."
start=$SECONDS

deb=$(bash scripts/package.sh | tail -n 1)
version=$(dpkg-deb -f "$deb" Version)
upstream=${version%-*} # without the Debian revision
echo "Package: $deb ($(stat -c %s "$deb") bytes)"
# Debian's own checker: an error or a warning fails the check (information is shown).
lintian --display-info --fail-on error,warning "$deb" 2> >(grep -v 'running with root privileges' >&2)

installed() { dpkg-query -W -f='${Package} ${db:Status-Status}\n' | awk '$2 == "installed" {print $1}' | sort; }
if installed | grep -qx korvane; then
  echo "korvane is already installed here; the check would replace it" >&2
  exit 1
fi
before=$(installed)
work=$(mktemp -d)
chmod 755 "$work" # apt fetches local packages as its own unprivileged user
sim=""
cleanup() {
  [[ -n "$sim" ]] && { kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true; }
  local added
  added=$(comm -13 <(echo "$before") <(installed) | tr '\n' ' ')
  [[ -n "${added// /}" ]] && DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq $added >/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

cp "$deb" "$work/" && chmod 644 "$work/${deb##*/}"
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$work/${deb##*/}" >/dev/null
export PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin

fail() { echo "package check: $*" >&2; exit 1; }
for p in korvane korvanectl korvane-sim; do
  [[ $(command -v "$p") == /usr/bin/$p ]] || fail "$p is not on the PATH"
  [[ -f /usr/share/man/man1/$p.1.gz ]] || fail "no man page for $p"
done
[[ $(korvanectl --version | head -n 1) == "korvanectl $upstream" ]] || fail "korvanectl --version is not $upstream"
desktop-file-validate /usr/share/applications/korvane.desktop
grep -qx 'MimeType=application/x-korvane-configuration;' /usr/share/applications/korvane.desktop ||
  fail "the menu entry does not open .krv files"
grep -q '<glob pattern="\*.krv"/>' /usr/share/mime/packages/korvane.xml || fail "no type for .krv files"
# What software centres read; --no-net: nothing fetched.
metainfo=$(dpkg -L korvane | grep '^/usr/share/metainfo/.*\.metainfo\.xml$') ||
  fail "no AppStream description"
appstreamcli validate --no-net "$metainfo"
# The completion as bash-completion loads it on a user's first TAB.
completion=$(bash --norc --noprofile -c 'source /usr/share/bash-completion/bash_completion
  _completion_loader korvanectl
  COMP_WORDS=(korvanectl re) COMP_CWORD=1 COMP_LINE="korvanectl re" COMP_POINT=13
  "$(complete -p korvanectl | sed "s/.*-F \([^ ]*\).*/\1/")" korvanectl re korvanectl
  echo "${COMPREPLY[*]}"')
[[ $completion == read ]] || fail "korvanectl re<TAB> offers '$completion', not read"

# The installed simulator, identified by the installed korvanectl.
korvane-sim --link "$work/port" >"$work/sim.out" &
sim=$!
for _ in $(seq 100); do grep -q '^PTY ' "$work/sim.out" && break; sleep 0.1; done
grep -q '^PTY ' "$work/sim.out" || fail "korvane-sim did not start"
korvanectl --port "$work/port" identify | tee "$work/identify.out"
grep -q KORVANE "$work/identify.out" || fail "korvanectl identify named no model"
korvanectl --port "$work/port" read -o "$work/device.krv" || fail "korvanectl read failed"

# The menu entry's command, given a .krv file, starts the window in the user's data
# folder, not in the file's.
exec_line=$(sed -n 's/^Exec=//p' /usr/share/applications/korvane.desktop)
exec_line=${exec_line/\%f/$work/device.krv}
mkdir "$work/home"
env -u XDG_DATA_HOME HOME="$work/home" QT_QPA_PLATFORM=offscreen $exec_line >/dev/null 2>&1 &
window=$!
folder="$work/home/.local/share/korvane"
for _ in $(seq 100); do
  [[ $(readlink "/proc/$window/exe") == /usr/bin/korvane && $(readlink "/proc/$window/cwd") == "$folder" ]] && break
  sleep 0.1
done
running=$(readlink "/proc/$window/cwd" || true)
kill "$window" 2>/dev/null || true
wait "$window" 2>/dev/null || true
[[ $running == "$folder" ]] || fail "the menu entry did not start korvane in $folder"

echo "package check passed in $((SECONDS - start)) s: $deb"
