# Sourced: pst_items FILE prints a .pst's items as libpff's pffexport reads
# them, without what every run makes up anew (times, the time in names).
pst_items() {
  local dump=$1.items
  rm -rf "$dump.export"
  if ! pffexport -q -m items -f text -t "$dump" "$1" >"$dump.log" 2>&1; then
    echo "windows: pffexport could not read $1 (see $dump.log)" >&2
    return 1
  fi
  (cd "$dump.export" && find . -type f -print0 | LC_ALL=C sort -z |
    while IFS= read -r -d '' f; do
      echo "== $f"
      grep -avE '^(Creation|Modification|Client submit|Delivery) time:' "$f" || true
    done) |
    sed -E 's/[0-9]{2}-[0-9]{2}-[0-9]{4} [0-9]{2}[_:][0-9]{2}[_:][0-9]{2}/DATE/g'
}
