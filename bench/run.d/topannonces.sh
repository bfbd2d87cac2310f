#!/usr/bin/env bash
# A whole headless TopAnnonces run on generated stocks of 20,000 and 40,000 vehicles
# (about 6 photos each), beside the ParuVendu run of 20,000 in the same script run. The
# image-server check is off, so no photo goes over the network; the gateway is a closed
# loopback port, so the upload fails at once. Elapsed and processor seconds (user +
# system) of each run: on a busy machine the processor figures are the steadier ones.
# $1: optimised build folder.
set -euo pipefail
build=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/c/windows/TEMP" "$work/c/projects/Quarno/data/Listelo" "$work/c/projects/Quarno/images"
cat >"$work/Listelo.ini" <<'INI'
[Options]
Debug=0
[VOImages]
ServeurFTP=127.0.0.1:9
[PARUVENDU]
ServeurFTP=127.0.0.1:9
TestFTPVOImages=0
FlgInfoEquip=1
[TOPANNONCES]
ServeurFTP=127.0.0.1:9
TestFTPVOImages=0
CodeClient=123456
INI
sources=$work/c/projects/Quarno/data/Listelo

run() {  # target -> "elapsed processor" seconds; a run that does not finish stops the script
  LISTELO_HEADLESS=1 LISTELO_ROOT="$work" Windir='c:\windows' LISTELO_INI="$work/Listelo.ini" \
    /usr/bin/time -f '%e %U %S' -o "$work/time" "$build/src/listelo" "$1" >/dev/null
  awk '{ print $1, $2 + $3 }' "$work/time"
}

"$build/bench/listelo_make_stock" 20000 "$sources/ExpDatasPARUVENDU.xml" >/dev/null
read -r pv_wall pv_cpu < <(run PARUVENDU)
printf 'ParuVendu run,   20000 vehicles: %6.2f s elapsed, %6.2f s processor\n' "$pv_wall" "$pv_cpu"
declare -A wall cpu
for n in 20000 40000; do
  "$build/bench/listelo_make_stock" --topannonces "$n" "$sources/ExpDatasTopAnnonces.xml" >/dev/null
  read -r "wall[$n]" "cpu[$n]" < <(run TOPANNONCES)
  printf 'TopAnnonces run, %5d vehicles: %6.2f s elapsed, %6.2f s processor\n' "$n" "${wall[$n]}" \
    "${cpu[$n]}"
done
ratio() { awk "BEGIN { printf \"%.2f\", $1 / $2 }"; }
echo "ratio TopAnnonces/ParuVendu at 20000 (target under 2): $(ratio "${wall[20000]}" "$pv_wall") elapsed, $(ratio "${cpu[20000]}" "$pv_cpu") processor"
echo "ratio TopAnnonces 40000/20000 (target under 2.2): $(ratio "${wall[40000]}" "${wall[20000]}") elapsed, $(ratio "${cpu[40000]}" "${cpu[20000]}") processor"
