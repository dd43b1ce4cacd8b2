#!/usr/bin/env bash
# Passport files and text files are the same on Linux and on Windows: a passport.hvk that one
# build's orvel-cli imports is read by the other build's orvel-cli with the same search,
# browse and export output, byte for byte, and each build's hvk check accepts the other's
# file. The Windows programs run under Wine.
#
#   cross_platform_files.sh LINUX_BIN_DIR WINDOWS_BIN_DIR
#
# Wine takes WINEPREFIX from the environment; the caller keeps a wineserver running, or Wine
# starts one itself.
set -Eeuo pipefail

linux_bin=$(cd "$1" && pwd)
windows_bin=$(cd "$2" && pwd)
export WINEDEBUG=-all ORVEL_TODAY=2006-03-15

work=$(mktemp -d "${TMPDIR:-/tmp}/orvel-cross-XXXXXX")
trap 'rm -rf "$work"' EXIT

trap 'echo "FAIL: a command failed at line $LINENO" >&2' ERR

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# run linux|windows PROGRAM ARGS...: the program of that build; output as it prints it.
run() {
  local build=$1 program=$2
  shift 2
  if [ "$build" = linux ]; then
    "$linux_bin/$program" "$@"
  else
    wine "$windows_bin/$program.exe" "$@" </dev/null
  fi
}

# An update file in code page 1251 with CR LF lines: Cyrillic names, a quote and a separator
# inside fields, an empty date, a line that changes an earlier one, a blank line, and enough
# passports to fill several pages of the record tree.
make_update() {
  printf '"45 01";"123456";"\xC8\xC2\xC0\xCD\xCE\xC2 \xC8\xC2\xC0\xCD";"2001-05-17";"lost";"2006-03-01"\r\n'
  printf '"45 02";"123999";"\xCF\xC5\xD2\xD0\xCE\xC2\xC0";"";"said ""no""; left";""\r\n'
  printf '"45 01";"123456";"\xC8\xC2\xC0\xCD\xCE\xC2";"2001-05-17";"stolen";"2006-03-02"\r\n'
  printf '\r\n'
  for i in $(seq 1000 1400); do
    printf '"%02d %02d";"%06d";"\xD1\xC8\xC4\xCE\xD0\xCE\xC2 %d";"19%02d-%02d-%02d";"\xD3\xF2\xF0\xE0\xF7\xE5\xED";"2005-12-%02d"\r\n' \
      $((i % 97)) $((i % 13)) $((i * 7919 % 1000000)) "$i" $((50 + i % 50)) $((1 + i % 12)) \
      $((1 + i % 28)) $((1 + i % 28))
  done
}

# Everything the commands print for the passport file in directory $2, by build $1, into
# files under directory $3.
read_back() {
  local build=$1 dir=$2 out=$3
  mkdir -p "$out"
  run "$build" orvel-cli -C "$dir" count >"$out/count"
  run "$build" orvel-cli -C "$dir" search number "12 3" >"$out/search-number"
  run "$build" orvel-cli -C "$dir" search number "12" --tsv >"$out/search-number-tsv"
  run "$build" orvel-cli -C "$dir" search series "4501" --tsv >"$out/search-series"
  run "$build" orvel-cli -C "$dir" search name "СИДОРОВ 12" --tsv >"$out/search-name"
  run "$build" orvel-cli -C "$dir" show "45 02" "123999" >"$out/show"
  run "$build" orvel-cli -C "$dir" browse number --tsv >"$out/browse-number"
  run "$build" orvel-cli -C "$dir" browse name --from "ИВ" --limit 20 >"$out/browse-name"
  # The export file is named relative to the passport file's directory, the same for both.
  run "$build" orvel-cli -C "$dir" export "export-$build.txt" >"$out/export-counters"
  mv "$dir/export-$build.txt" "$out/export"
}

same_output() {
  local what=$1 a=$2 b=$3
  for f in "$a"/*; do
    [ -s "$f" ] || fail "$what: $(basename "$f") is empty"
    cmp -s "$f" "$b/$(basename "$f")" || fail "$what: $(basename "$f") differs" \
      "($(diff <(od -c "$f") <(od -c "$b/$(basename "$f")") | head -4 | tr '\n' ' '))"
  done
}

make_update >"$work/update.txt"

for writer in linux windows; do
  reader=$([ $writer = linux ] && echo windows || echo linux)
  dir="$work/by-$writer"
  mkdir -p "$dir"
  cp "$work/update.txt" "$dir/update.txt"
  run $writer orvel-cli -C "$dir" import update.txt >"$work/import-$writer" ||
    fail "$writer import failed"
  grep -q '^passports=403$' "$work/import-$writer" || fail "$writer import: $(cat "$work/import-$writer")"

  # The reader first, then the writer on the same file: each must print the same bytes.
  read_back $reader "$dir" "$work/$writer-file-read-by-$reader"
  read_back $writer "$dir" "$work/$writer-file-read-by-$writer"
  same_output "file of $writer read by $reader" "$work/$writer-file-read-by-$reader" \
    "$work/$writer-file-read-by-$writer"
  [ "$(cat "$work/$writer-file-read-by-$reader/count")" = 403 ] || fail "$writer file: count"
  grep -q 'said "no"; left' "$work/$writer-file-read-by-$reader/search-number-tsv" ||
    fail "$writer file: the quoted reason is lost"

  for checker in linux windows; do
    run $checker hvk check "$dir/passport.hvk" >"$work/check" 2>&1 ||
      fail "hvk check of $checker refuses the file of $writer: $(cat "$work/check")"
  done
done

# Both builds wrote the same directory, so the exports agree across the two files as well.
cmp -s "$work/linux-file-read-by-linux/export" "$work/windows-file-read-by-windows/export" ||
  fail "the exports of the two files differ"
# The export writes what the import read: the changed passport as its second line gave it,
# and today for the import date that the update left empty.
{
  sed -n '3p' "$work/update.txt"
  sed -n '2p' "$work/update.txt" | sed 's/;""\r$/;"2006-03-15"\r/'
} >"$work/expected-export"
grep -a -e '"45 01";"123456"' -e '"45 02";"123999"' "$work/linux-file-read-by-linux/export" |
  cmp -s "$work/expected-export" - || fail "the exported first passports differ from the update"

if [ $failures -ne 0 ]; then
  echo "cross_platform_files: $failures failures" >&2
  exit 1
fi
echo "cross_platform_files: both builds read and check each other's files alike"
