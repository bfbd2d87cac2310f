#!/usr/bin/env bash
# Whole headless AnnoncesJaunes and AxeCibles runs on the generated stocks of 20,000 and
# 40,000 vehicles (about 6 photos each: the six photo columns are filled from the
# photo records), beside the ParuVendu run on the same 20,000 vehicles. The gateway is
# a closed loopback port, so the upload fails at once. $1: optimised build folder.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sources=$work/c/projects/Quarno/data/Listelo
mkdir -p "$work/c/windows/TEMP" "$sources" "$work/c/projects/Quarno/images"
cat >"$work/Listelo.ini" <<'INI'
[Options]
Debug=0
URLImages=http://photos.garage.invalid/voimages
[VOImages]
ServeurFTP=127.0.0.1:9
[PARUVENDU]
ServeurFTP=127.0.0.1:9
TestFTPVOImages=0
FlgInfoEquip=1
[ANNONCESJAUNES]
ServeurFTP=127.0.0.1:9
PathFTP=
idClient=123456
[AXECIBLES]
ServeurFTP=127.0.0.1:9
PathFTP=
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
for n in 20000 40000; do
  "$build/bench/listelo_make_stock" "$n" "$sources/ExpDatasPARUVENDU.xml" >/dev/null
  cp "$sources/ExpDatasPARUVENDU.xml" "$sources/ExpDatasAnnoncesJaunes.xml"
  cp "$sources/ExpDatasPARUVENDU.xml" "$sources/ExpDatasAxeCibles.xml"
  if [[ $n == 20000 ]]; then
    seconds[PARUVENDU]=$(run PARUVENDU)
    printf '%-15s %6d vehicles: %6.2f s\n' PARUVENDU "$n" "${seconds[PARUVENDU]}"
  fi
  for t in ANNONCESJAUNES AXECIBLES; do
    seconds[$t$n]=$(run "$t")
    printf '%-15s %6d vehicles: %6.2f s\n' "$t" "$n" "${seconds[$t$n]}"
  done
done
for t in ANNONCESJAUNES AXECIBLES; do
  printf '%-15s 20000 / ParuVendu 20000: %.2f (target under 1.5); 40000/20000: %.2f (target under 2.2)\n' \
    "$t" "$(awk "BEGIN { print ${seconds[${t}20000]} / ${seconds[PARUVENDU]} }")" \
    "$(awk "BEGIN { print ${seconds[${t}40000]} / ${seconds[${t}20000]} }")"
done
