#!/usr/bin/env bash
# Whole headless Rad1 and InfoPress runs on the generated stock at 20,000 and 40,000
# vehicles, beside a ParuVendu run of 20,000 in the same session. The gateways are a
# closed loopback port, so the uploads fail at once; the archives are made as usual.
# $1: optimised build folder.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sources="$work/c/projects/Quarno/data/Listelo"
mkdir -p "$work/c/windows/TEMP" "$sources" "$work/c/projects/Quarno/images"
cat >"$work/Listelo.ini" <<'INI'
[Options]
Debug=0
URLImages=http://photos.garage-exemple.invalid/voimages
[VOImages]
ServeurFTP=127.0.0.1:9
[PARUVENDU]
ServeurFTP=127.0.0.1:9
TestFTPVOImages=0
FlgInfoEquip=1
[RAD1]
ServeurFTP=127.0.0.1:9
User=annonceur
[INFOPRESS]
ServeurFTP=127.0.0.1:9
User=annonceur
INI
run() {  # target -> seconds
  local start end
  start=$(date +%s.%N)
  LISTELO_HEADLESS=1 LISTELO_ROOT="$work" Windir='c:\windows' LISTELO_INI="$work/Listelo.ini" \
    "$build/src/listelo" "$1" >/dev/null
  end=$(date +%s.%N)
  awk "BEGIN { print $end - $start }"
}
declare -A seconds
"$build/bench/listelo_make_stock" 20000 "$sources/ExpDatasPARUVENDU.xml" >/dev/null
seconds[PARUVENDU]=$(run PARUVENDU)
printf 'ParuVendu run, 20000 vehicles: %6.2f s\n' "${seconds[PARUVENDU]}"
for n in 20000 40000; do
  "$build/bench/listelo_make_stock" --infopress "$n" "$sources/ExpDatasInfoPress.xml" >/dev/null
  for t in RAD1 INFOPRESS; do
    seconds[$t$n]=$(run "$t")
    printf '%-9s run, %5d vehicles: %6.2f s\n' "$t" "$n" "${seconds[$t$n]}"
  done
done
for t in RAD1 INFOPRESS; do
  printf '%-9s 20000 / ParuVendu 20000: %.2f (target under 2); 40000/20000: %.2f (target under 2.2)\n' \
    "$t" "$(awk "BEGIN { print ${seconds[${t}20000]} / ${seconds[PARUVENDU]} }")" \
    "$(awk "BEGIN { print ${seconds[${t}40000]} / ${seconds[${t}20000]} }")"
done
