#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The Windows build's tests under Wine, after scripts/build-windows.sh:
#  1. the test programs that need neither simulator nor display (codecs, command
#     catalogue, files, code page 936, the INI layer, the configuration model);
#  2. korvanectl.exe against korvane-sim on a pseudo-terminal that the Wine prefix sees
#     as COM12, and through ser2net on 127.0.0.1 as rfc2217://127.0.0.1:PORT: identify
#     and read must print what the Linux korvanectl prints;
#  3. the version resources of korvane.exe and korvanectl.exe;
#  4. the installer: installed, the programs, Start-menu entry, PATH entry and .krv
#     association are there and the installed korvanectl.exe works over COM12; a newer
#     build installed over it leaves one product; uninstalled, all of it is gone but the
#     user's own KORVANE.INI;
#  5. korvane.exe opens its window on an X server (Xvfb), and started with --user-folder
#     and a .krv file it makes the user's folder and loads the file (a missing one: the
#     load's message box).
#   bash scripts/test-windows.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bash scripts/install-deps.sh --windows
build=build-windows
export WINEPREFIX=$root/$build/wine
wine_run=$root/scripts/wine-run.sh

"$wine_run" cmd /c exit 0 # makes the prefix once, before tests run side by side
ctest --test-dir "$build" --output-on-failure -j "$(nproc)"

# The Linux simulator and korvanectl, to compare with.
if [[ ! -f build/build.ninja ]]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKORVANE_WERROR=ON >/dev/null
fi
cmake --build build --target korvane-sim korvanectl >/dev/null

work=$(mktemp -d)
sim_pid=
ser2net_pid=
cleanup() {
  [[ -n $ser2net_pid ]] && kill "$ser2net_pid" 2>/dev/null && wait "$ser2net_pid" 2>/dev/null
  [[ -n $sim_pid ]] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

link=$WINEPREFIX/dosdevices/com12
rm -f "$link"
build/sim/korvane-sim --link "$link" >"$work/sim.out" &
sim_pid=$!
for _ in $(seq 100); do
  [[ -L $link ]] && break
  sleep 0.1
done
[[ -L $link ]] || { echo "korvane-sim made no pseudo-terminal" >&2; exit 1; }
pty=$(sed -n 's/^PTY //p' "$work/sim.out")

failed=0
for command in identify read; do
  build/cli/korvanectl --port "$pty" "$command" >"$work/linux.txt" 2>&1 || true
  "$wine_run" "$build/cli/korvanectl.exe" --port COM12 "$command" >"$work/windows.txt" 2>&1 || true
  # The same text but for the port's name and Windows' line ends.
  sed -i "s|$pty|PORT|g" "$work/linux.txt"
  sed -i 's/\r$//; s/COM12/PORT/g' "$work/windows.txt"
  cp "$work/linux.txt" "$work/linux-$command.txt"
  if cmp -s "$work/linux.txt" "$work/windows.txt" && [[ -s $work/linux.txt ]]; then
    echo "korvanectl.exe $command over COM12: same as on Linux ($(wc -l <"$work/linux.txt") lines)"
  else
    echo "korvanectl.exe $command over COM12 differs from Linux:" >&2
    diff "$work/linux.txt" "$work/windows.txt" >&2 || true
    failed=1
  fi
done

# The same device through ser2net (RFC 2217) on a free port of 127.0.0.1, with a
# configuration of our own, never the package's.
tcp_port=
for candidate in $(shuf -i 40000-59999 -n 50); do
  if ! ss -Hltn "sport = :$candidate" | grep -q .; then
    tcp_port=$candidate
    break
  fi
done
[[ -n $tcp_port ]] || { echo "no free TCP port for ser2net" >&2; exit 1; }
cat >"$work/ser2net.yaml" <<EOF
%YAML 1.1
---
connection: &sim
    accepter: telnet(rfc2217),tcp(nodelay),127.0.0.1,$tcp_port
    connector: serialdev,$pty,9600n81,local
    options:
      chardelay: false
EOF
ser2net -n -u -c "$work/ser2net.yaml" -P "$work/ser2net.pid" >"$work/ser2net.out" 2>&1 &
ser2net_pid=$!
for _ in $(seq 100); do
  ss -Hltn "sport = :$tcp_port" | grep -q . && break
  sleep 0.1
done
network=rfc2217://127.0.0.1:$tcp_port
for command in identify read; do
  build/cli/korvanectl --port "$network" "$command" >"$work/linux.txt" 2>&1 || true
  "$wine_run" "$build/cli/korvanectl.exe" --port "$network" "$command" >"$work/windows.txt" 2>&1 ||
    true
  sed -i 's/\r$//' "$work/windows.txt"
  if cmp -s "$work/linux.txt" "$work/windows.txt" && grep -q KORVANE "$work/linux.txt"; then
    echo "korvanectl.exe $command over $network: same as on Linux ($(wc -l <"$work/linux.txt") lines)"
  else
    echo "korvanectl.exe $command over $network differs from Linux:" >&2
    diff "$work/linux.txt" "$work/windows.txt" >&2 || true
    failed=1
  fi
done
kill "$ser2net_pid" && wait "$ser2net_pid" 2>/dev/null || true
ser2net_pid=

# The version resources, as Windows reads them: FileVersion and ProductName strings, the
# fixed file version (after the signature 0xFEEF04BD) and an icon.
version=$(sed -n 's/^project(Korvane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
stage=$build/stage/korvane-windows-x64
resource_string() {
  wrestool -x --raw --type=16 "$1" | iconv -f UTF-16LE -t UTF-8 -c | tr -s '\0' '\n' |
    grep -a -A1 "$2\$" | sed -n 2p
}
fixed_version() {
  wrestool -x --raw --type=16 "$1" | od -An -v -tu4 -w4 |
    awk '$1 == 4277077181 { getline; getline ms; getline ls
      printf "%d.%d.%d.%d\n", ms / 65536, ms % 65536, ls / 65536, ls % 65536; exit }'
}
for program in korvane korvanectl; do
  file=$stage/$program.exe
  found="$(resource_string "$file" FileVersion), $(fixed_version "$file"),"
  found+=" $(resource_string "$file" ProductName), $(wrestool -l --type=14 "$file" | wc -l) icon"
  if [[ $found == "$version, $version.0, Korvane 配置工具, 1 icon" ]]; then
    echo "$program.exe: version resource $found"
  else
    echo "$program.exe: version resource $found, not $version" >&2
    failed=1
  fi
done

# The installer, run by msiexec in the test prefix; the installed programs run without
# the build's DLL path.
plain_wine() { WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" wine "$@" | tr -d '\r'; }
msi() {
  local rc=0
  plain_wine msiexec "$@" /qn || rc=$?
  wineserver -w # msiexec's service ends before the next one starts
  return "$rc"
}
check() {
  if eval "$2"; then echo "installer: $1"; else
    echo "installer: not so: $1" >&2
    failed=1
  fi
}
windows_path() { local p=${1//\//\\}; printf 'Z:%s' "$p"; }
programs=$WINEPREFIX/drive_c/Program\ Files/Korvane
installed='C:\Program Files\Korvane\'
krv_expected="\"${installed}korvane.exe\" --user-folder \"%1\""
menu_entry() { find "$WINEPREFIX/drive_c" -path '*/Start Menu/Programs/Korvane 配置工具.lnk' | grep -q .; }
system_path() {
  plain_wine reg query 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' /v PATH
}
krv_command() { plain_wine reg query 'HKLM\Software\Classes\Korvane.Configuration\shell\open\command' /ve 2>/dev/null; }
# The keys of the installed products of ours under Uninstall.
products() {
  plain_wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s |
    awk '/^HKEY/ { key = $0 } /Publisher +REG_SZ +Korvane maintainers/ { print key }'
}
for key in $(products); do msi /x "${key##*\\}"; done # left by an interrupted run
msi /i "$(windows_path "$root/dist/korvane-$version-x64.msi")"
check "installed into $installed" \
  '[[ -f $programs/korvane.exe && -f $programs/korvanectl.exe && -f $programs/platforms/qwindows.dll ]]'
check "Start-menu entry 'Korvane 配置工具'" menu_entry
licences_installed() {
  local text
  for text in README Korvane Qt LGPL-3 GPL-3 Qt-copyright GCC-runtime MinGW-w64; do
    [[ -s $programs/licenses/$text.txt ]] || return 1
  done
  grep -q 'Permission is hereby granted' "$programs/licenses/Korvane.txt" &&
    grep -q 'GNU LESSER GENERAL PUBLIC LICENSE' "$programs/licenses/LGPL-3.txt" &&
    grep -qF "qt6-base=$qt_debian_version" "$programs/licenses/Qt.txt" &&
    grep -q 'GCC RUNTIME LIBRARY EXCEPTION' "$programs/licenses/GCC-runtime.txt" &&
    grep -q 'winpthreads' "$programs/licenses/MinGW-w64.txt"
}
qt_debian_version=$(dpkg-query -W -f '${source:Version}' qt6-base-dev)
check "the licence texts in licenses\\" licences_installed
check "korvanectl's folder on the system PATH" 'system_path | grep -qF ";$installed"'
check ".krv files open in korvane.exe --user-folder" 'krv_command | grep -qF -- "$krv_expected"'
check "the installed korvanectl.exe --version prints $version" \
  '[[ $(plain_wine "${installed}korvanectl.exe" --version | head -n 1) == "korvanectl $version" ]]'
plain_wine "${installed}korvanectl.exe" --port COM12 identify >"$work/installed.txt" 2>&1 || true
sed -i 's/COM12/PORT/g' "$work/installed.txt"
check "the installed korvanectl.exe identify over COM12 prints what the Linux one prints" \
  'cmp -s "$work/linux-identify.txt" "$work/installed.txt"'

newer=$(awk -F. '{ printf "%d.%d.%d", $1, $2, $3 + 1 }' <<<"$version")
bash scripts/windows-msi.sh "$stage" "$newer" "$build/packaging/korvane.ico" "$work/newer.msi"
msi /i "$(windows_path "$work/newer.msi")"
check "version $newer installed over $version leaves one product" \
  '[[ $(products | wc -l) == 1 ]] && plain_wine reg query "$(products)" /v DisplayVersion | grep -q "$newer\$"'
user_folder=$(winepath -u "$(plain_wine cmd /c echo %LOCALAPPDATA%)")/Korvane
mkdir -p "$user_folder"
printf '[Setting]\r\nCommName=COM12\r\n' >"$user_folder/KORVANE.INI"
msi /x "$(windows_path "$work/newer.msi")"
check "uninstalled: no programs" '[[ ! -e $programs/korvane.exe && ! -e $programs/korvanectl.exe ]]'
check "uninstalled: no Start-menu entry" '! menu_entry'
check "uninstalled: nothing of ours on the PATH" '! system_path | grep -qi korvane'
check "uninstalled: no .krv association" '! krv_command | grep -q .'
check "uninstalled: the user's KORVANE.INI stays" '[[ -f $user_folder/KORVANE.INI ]]'
rm -rf "$user_folder"

# The window: its title appears on the X server within a minute. Then, started as the
# Start menu and a .krv file start it, with a file that is not there: it makes the user's
# folder and shows the load's message box (a second window, titled by the program's
# name, korvane). Wine's server,
# still running without a display from the programs above, must end first.
wineserver -k 2>/dev/null || true
wineserver -w
cd "$work"
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  windows() { xwininfo -root -tree | grep -ci "\"korvane\""; }
  wait_for() {
    for _ in $(seq 120); do
      eval "$1" && return 0
      sleep 0.5
    done
    return 1
  }
  "$1" "$2/app/korvane.exe" >/dev/null 2>&1 &
  if wait_for "(( \$(windows) >= 1 ))"; then echo "korvane.exe opened its window"; else
    echo "korvane.exe showed no window" >&2
    exit 1
  fi
  "$1" "$2/app/korvane.exe" --user-folder "$4" >/dev/null 2>&1 &
  if wait_for "[[ -d \"$3\" ]] && (( \$(windows) >= 3 ))"; then
    echo "korvane.exe --user-folder FILE.krv: made the user folder, showed the load message"
  else
    echo "korvane.exe --user-folder FILE.krv: user folder $(ls -d "$3" 2>&1), $(windows) windows" >&2
    exit 1
  fi' _ "$wine_run" "$root/$build" "$user_folder" 'C:\missing\device.krv' || failed=1
wineserver -k 2>/dev/null || true
exit "$failed"
