#!/usr/bin/env bash
# Gets the outside samples some tests read (files made by other programs,
# listed with their origins and SHA-256 in tests/outside-samples.txt) from
# their public origins, and checks every sum.
#   scripts/fetch-testdata.sh [DIR]           download what is missing or wrong
#   scripts/fetch-testdata.sh --check [DIR]   only check what is there, no network
# DIR: $ADDRIVO_TESTDATA when set, else ../shared/testdata beside the checkout
# (where the tests look by default). Exit status: 0 every sample in place,
# 1 a sample missing or wrong, 3 no network.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

check_only=0
if [ "${1:-}" = "--check" ]; then
  check_only=1
  shift
fi
case "${1:-}" in
  -h|--help) sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
esac
dir=${1:-${ADDRIVO_TESTDATA:-$root/../shared/testdata}}
dir=$(realpath -m "$dir")
list=$root/tests/outside-samples.txt

sum_of() { sha256sum "$1" | cut -d' ' -f1; }

fetch() {  # URL OUT; curl's status on failure
  curl --fail --location --silent --show-error --connect-timeout 20 --max-time 300 \
    --output "$2" "$1"
}

bad=0
while read -r file sha repo commit path licence; do
  case "$file" in ''|'#'*) continue ;; esac
  target=$dir/$file
  if [ -f "$target" ] && [ "$(sum_of "$target")" = "$sha" ]; then
    echo "ok       $file"
    continue
  fi
  if [ "$check_only" = 1 ]; then
    if [ -f "$target" ]; then echo "WRONG    $file: its SHA-256 is not $sha" >&2
    else echo "MISSING  $file (not in $dir)" >&2; fi
    bad=1
    continue
  fi
  url=https://raw.githubusercontent.com/$repo/$commit/$path
  mkdir -p "$(dirname "$target")"
  part=$target.part
  status=0
  fetch "$url" "$part" 2>"$part.err" || status=$?
  if [ "$status" != 0 ]; then
    why=$(tr '\n' ' ' <"$part.err" | sed 's/ *$//')
    rm -f "$part" "$part.err"
    case "$status" in
      5|6|7|28|35|56)
        echo "fetch-testdata: no network: cannot reach raw.githubusercontent.com for $file (${why:-curl status $status})." >&2
        echo "  Copy the samples by hand into $dir, or set ADDRIVO_TESTDATA to a folder that holds them;" >&2
        echo "  origins and SHA-256 sums: tests/outside-samples.txt. Tests that need them are skipped meanwhile." >&2
        exit 3 ;;
    esac
    echo "FAILED   $file from $url (${why:-curl status $status})" >&2
    bad=1
    continue
  fi
  rm -f "$part.err"
  got=$(sum_of "$part")
  if [ "$got" != "$sha" ]; then
    rm -f "$part"
    echo "FAILED   $file from $url: SHA-256 $got, expected $sha; nothing kept" >&2
    bad=1
    continue
  fi
  mv -f "$part" "$target"
  echo "fetched  $file ($licence, $repo@$commit)"
done <"$list"

if [ "$bad" != 0 ]; then
  echo "fetch-testdata: some samples are missing or wrong in $dir" >&2
  exit 1
fi
echo "fetch-testdata: every sample is in place in $dir"
