#!/usr/bin/env bash
# Builds the .deb as cpack does and checks that every shared library a packaged program or driver
# needs (its NEEDED entries) is in the package itself or comes from a package that its Depends
# names. A package that fails this installs cleanly and then every
# program exits 127.
set -euo pipefail
build=$1
if ! command -v dpkg-deb >/dev/null || ! command -v dpkg >/dev/null; then
  echo "not a Debian system: no dpkg to check the package against"
  exit 77
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/keycard-deb-test.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The package that owns an installed file, trying the path as given and as its merged-/usr twin.
owner() {
  local path=$1 candidate
  for candidate in "$path" "$(realpath "$path")" "${path#/usr}" "/usr$path"; do
    dpkg -S "$candidate" 2>/dev/null | sed -n '1s/: .*//p' | tr -d ' ' | tr ',' '\n' |
      sed 's/:.*//' | grep . && return 0
  done
  return 1
}

check_package() { # label deb
  local label=$1 deb=$2 tree="$work/$1/tree" failures=0
  local depends
  # "a (>= 1), b | c" -> one package name a line.
  depends=$(dpkg-deb -f "$deb" Depends | sed 's/[,|]/\n/g' | sed 's/(.*)//; s/[[:space:]]//g')
  echo "$label: Depends: $(dpkg-deb -f "$deb" Depends)"
  dpkg-deb -x "$deb" "$tree"
  local elf needed path pkg checked=0
  while IFS= read -r -d '' elf; do
    readelf -h "$elf" >/dev/null 2>&1 || continue
    checked=$((checked + 1))
    for needed in $(readelf -d "$elf" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'); do
      [ -n "$(find "$tree" -name "$needed" -print -quit)" ] && continue
      # Where the loader finds it on this machine (ldd prints "name => path" or just "path").
      path=$(ldd "$elf" | awk -v lib="$needed" \
        '$1 == lib && $3 ~ /^\// {print $3; exit} $1 ~ "/" lib "$" {print $1; exit}')
      if [ -z "$path" ]; then
        echo "$label: ${elf#"$tree"} needs $needed, which this machine does not have"
        failures=$((failures + 1))
      elif ! pkg=$(owner "$path"); then
        echo "$label: ${elf#"$tree"} needs $path, which no package owns"
        failures=$((failures + 1))
      elif ! grep -qxF -f <(echo "$pkg") <<<"$depends"; then
        echo "$label: ${elf#"$tree"} needs $needed from ${pkg//$'\n'/ }, not in Depends"
        failures=$((failures + 1))
      fi
    done
  done < <(find "$tree" -type f -print0)
  [ "$checked" -ge 4 ] || {
    echo "$label: only $checked programs and libraries in the package"
    failures=$((failures + 1))
  }
  [ "$failures" -eq 0 ]
}

mkdir -p "$work/deb"
cpack --config "$build/CPackConfig.cmake" -B "$work/deb" >"$work/deb/cpack.log" 2>&1 || {
  cat "$work/deb/cpack.log"
  exit 1
}
check_package deb "$(ls "$work/deb"/*.deb)"
echo "the package names every library its programs load"
