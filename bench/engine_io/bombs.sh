#!/bin/sh
# The bomb run: every file of the bomb set (tests/data/bombs/make_bombs.py, with its larger
# benchmark-only files) through `rastcore3-cli info` and `convert` under /usr/bin/time -v.
# Each must be refused (exit 1) within 1 s and 256 MB. With a second program (an older build
# of the tool), its figures are printed beside, as "before".
#   bench/engine_io/bombs.sh build/bin/rastcore3-cli [OLD_CLI]
set -u
cli=$1
before=${2:-}
here=$(cd "$(dirname "$0")" && pwd)
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
python3 "$here/../../tests/data/bombs/make_bombs.py" --bench "$dir"

# Prints "seconds MiB exit" of one run.
measure() {
  /usr/bin/time -v -o "$dir/time.txt" "$@" >/dev/null 2>&1
  status=$?
  awk -v status=$status '
    /Elapsed \(wall clock\)/ { n = split($NF, t, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + t[i] }
    /Maximum resident set size/ { kb = $NF }
    END { printf "%.2f %.1f %d", s, kb / 1024, status }' "$dir/time.txt"
}

printf '%-36s %-7s %8s %9s %4s  %s\n' file command seconds MiB exit verdict
[ -n "$before" ] && printf '%-36s %-7s %8s %9s %4s\n' '' '' before before ''
failures=0
while read -r name expected; do
  size=$(stat -c %s "$dir/$name")
  for command in info convert; do
    if [ $command = info ]; then set -- info "$dir/$name"; else set -- convert "$dir/$name" "$dir/out.png"; fi
    result=$(measure "$cli" "$@")
    verdict=$(echo "$result" | awk -v size="$size" '{ ok = $1 <= 1.0 && $2 <= 256 && $3 == 1; print ok ? "ok" : "FAIL" }')
    [ "$verdict" = ok ] || failures=$((failures + 1))
    set -- $result
    printf '%-36s %-7s %8s %9s %4s  %s (%s bytes, error %s expected)\n' "$name" "$command" "$1" "$2" "$3" "$verdict" "$size" "$expected"
    if [ -n "$before" ]; then
      if [ $command = info ]; then set -- info "$dir/$name"; else set -- convert "$dir/$name" "$dir/out.png"; fi
      old=$(measure timeout 60 "$before" "$@")
      set -- $old
      printf '%-36s %-7s %8s %9s %4s  (before%s)\n' '' '' "$1" "$2" "$3" "$([ "$3" = 0 ] && echo ', taken as a good picture' || true)$([ "$3" = 124 ] && echo ', stopped after 60 s' || true)"
    fi
  done
done < "$dir/expected.txt"
echo "files over 1 s or 256 MB, or not refused: $failures"
[ $failures -eq 0 ]
