#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Makes the Windows installer from the folder scripts/build-windows.sh zips, with wixl
# from msitools: packaging/windows/korvane.wxs plus a list of the folder's other files,
# then what wixl cannot write: the system PATH entry for korvanectl (an Environment row
# and the two standard actions that apply and remove it) and the names in Chinese.
#   scripts/windows-msi.sh STAGE VERSION ICON OUTPUT.msi
# VERSION is X.Y.Z; the test of an upgrade builds a second installer with a higher one.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
stage=$(cd "$1" && pwd)
version=$2
icon=$(cd "$(dirname "$3")" && pwd)/$(basename "$3")
output=$4

# wixl finds sources relative to the .wxs files only: links to both beside them.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
ln -s "$stage" "$work/stage"
ln -s "$icon" "$work/korvane.ico"
cp "$root/packaging/windows/korvane.wxs" "$work/"

xml() { sed 's/&/\&amp;/g; s/</\&lt;/g; s/>/\&gt;/g; s/"/\&quot;/g' <<<"$1"; }

# Every staged file but the two programs, one component each, in INSTALLDIR or one of
# its subfolders.
if find "$stage" -mindepth 2 -type d | grep -q .; then
  echo "windows-msi: only one level of folders is listed" >&2
  exit 1
fi
{
  echo '<?xml version="1.0" encoding="utf-8"?>'
  echo '<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi"><Fragment>'
  refs=()
  n=0
  while IFS= read -r dir; do
    if [[ $dir == . ]]; then
      echo '<DirectoryRef Id="INSTALLDIR">'
    else
      echo "<DirectoryRef Id=\"INSTALLDIR\"><Directory Id=\"dir_${dir//[^A-Za-z0-9]/_}\" Name=\"$(xml "$dir")\">"
    fi
    while IFS= read -r file; do
      [[ $dir == . && ($file == korvane.exe || $file == korvanectl.exe) ]] && continue
      n=$((n + 1))
      path=$file
      [[ $dir != . ]] && path=$dir/$file
      echo "<Component Id=\"staged$n\" Guid=\"*\" Win64=\"yes\">"
      echo "<File Id=\"staged$n\" Name=\"$(xml "$file")\" Source=\"stage/$(xml "$path")\" KeyPath=\"yes\"/>"
      echo '</Component>'
      refs+=("staged$n")
    done < <(find "$stage/$dir" -mindepth 1 -maxdepth 1 -type f -printf '%f\n' | LC_ALL=C sort)
    [[ $dir == . ]] && echo '</DirectoryRef>' || echo '</Directory></DirectoryRef>'
  done < <(cd "$stage" && find . -mindepth 1 -type d -printf '%P\n' | LC_ALL=C sort | sed '1i .')
  echo '<ComponentGroup Id="StagedFiles">'
  for ref in "${refs[@]}"; do echo "<ComponentRef Id=\"$ref\"/>"; done
  echo '</ComponentGroup></Fragment></Wix>'
} >"$work/files.wxs"

wixl -a x64 -D Version="$version" -D Stage=stage -D Icon=korvane.ico -o "$work/korvane.msi" \
  "$work/korvane.wxs" "$work/files.wxs"

# korvanectl's folder at the end of the system PATH while the program is installed:
# = set on install, - removed on uninstall, * system variable; [~] is the old value.
printf '%s\r\n' $'Environment\tName\tValue\tComponent_' $'s72\tl255\tL255\ts72' \
  $'Environment\tEnvironment' $'KorvanectlPath\t=-*PATH\t[~];[INSTALLDIR]\tKorvanectl' \
  >"$work/Environment.idt"
msibuild "$work/korvane.msi" -i "$work/Environment.idt"
msibuild "$work/korvane.msi" \
  -q "INSERT INTO InstallExecuteSequence (Action, Sequence) VALUES ('WriteEnvironmentStrings', 5200)" \
  -q "INSERT INTO InstallExecuteSequence (Action, Sequence) VALUES ('RemoveEnvironmentStrings', 3300)"

# The Chinese names, once the database has code page 936 (see korvane.wxs).
printf '\r\n\r\n936\t_ForceCodepage\r\n' >"$work/_ForceCodepage.idt"
msibuild "$work/korvane.msi" -i "$work/_ForceCodepage.idt"
msibuild "$work/korvane.msi" \
  -q "UPDATE Property SET Value = 'Korvane 配置工具' WHERE Property = 'ProductName'" \
  -q "UPDATE Shortcut SET Name = 'KORVANE|Korvane 配置工具', Description = '读取、修改和写入 Korvane 设备的参数' WHERE Shortcut = 'KorvaneShortcut'" \
  -q "UPDATE Registry SET Value = 'Korvane 配置文件' WHERE Value = 'Korvane configuration file'" \
  -q "UPDATE LaunchCondition SET Description = '已安装更新版本的 Korvane 配置工具。' WHERE Condition = 'NOT WIX_DOWNGRADE_DETECTED'"
mv "$work/korvane.msi" "$output"
