#!/usr/bin/env bash
# Whole headless NeoWebCar and PVO runs on generated stocks (each with its own fields,
# about 6 photo records per vehicle) at 20,000 and 40,000 vehicles, beside a ParuVendu
# run of 20,000 vehicles in the same script run. The gateway and the mail server are
# closed loopback ports, so uploads and the mail fail at once. $1: optimised build folder.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sources="$work/c/projects/Quarno/data/Listelo"
mkdir -p "$work/c/windows/TEMP" "$sources" "$work/c/projects/Quarno/images"
cat >"$work/Listelo.ini" <<'INI'
[Options]
Debug=0
[VOImages]
ServeurFTP=127.0.0.1:9
[PARUVENDU]
ServeurFTP=127.0.0.1:9
TestFTPVOImages=0
FlgInfoEquip=1
[NEOWEBCAR]
ServeurFTP=127.0.0.1:9
[PVO]
ServeurFTP=127.0.0.1:9
[StrInfoLog]
Host=127.0.0.1
Port=9
INI
run() {  # target -> seconds
  local start end
  start=$(date +%s.%N)
  LISTELO_HEADLESS=1 LISTELO_ROOT="$work" Windir='c:\windows' LISTELO_INI="$work/Listelo.ini" \
    "$build/src/listelo" "$1" >/dev/null
  end=$(date +%s.%N)
  awk "BEGIN { print $end - $start }"
}
ratio() { awk "BEGIN { printf \"%.2f\", $1 / $2 }"; }

"$build/bench/listelo_make_stock" 20000 "$sources/ExpDatasPARUVENDU.xml" >/dev/null
paruvendu=$(run PARUVENDU)
printf 'ParuVendu run, 20000 vehicles: %6.2f s\n' "$paruvendu"
for target in NEOWEBCAR:NeoWebCar PVO:PVO; do
  key=${target%%:*}
  name=${target#*:}
  declare -A seconds=()
  for n in 20000 40000; do
    "$build/bench/listelo_make_stock" "--${name,,}" "$n" "$sources/ExpDatas$name.xml" >/dev/null
    seconds[$n]=$(run "$key")
    printf '%-9s run, %5d vehicles: %6.2f s\n' "$name" "$n" "${seconds[$n]}"
  done
  printf '%-9s / ParuVendu at 20000: %s (target under 1.5); 40000/20000: %s (target under 2.2)\n' \
    "$name" "$(ratio "${seconds[20000]}" "$paruvendu")" "$(ratio "${seconds[40000]}" "${seconds[20000]}")"
done
