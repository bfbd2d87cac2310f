#!/usr/bin/env bash
# Growth with the stock, measured as a big dealer meets it, each figure beside its yardstick
# from the same run:
#   - AUTOSCOUT24 at 5,000 and 20,000 vehicles with 3 photo files each (the image-server
#     check off, the gateway a closed loopback port): the first run over an empty working
#     folder, the second over the first one's files, and `zip -9 -r` of that folder;
#   - PARUVENDU at 20,000, 40,000 and 80,000 vehicles (image-server check off), with the
#     peak memory against the document's size, and `xmllint` over the same document.
# $1: optimised build folder. LISTELO_BENCH_BASELINE=<another build folder> runs the same
# steps with that build too and prints its figures beside.
# LISTELO_BENCH_SIZES="5000 20000" and LISTELO_BENCH_PARUVENDU="20000 40000 80000" choose
# the sizes.
set -euo pipefail
builds=("$1")
[[ -n "${LISTELO_BENCH_BASELINE:-}" ]] && builds=("$LISTELO_BENCH_BASELINE" "$1")
as24_sizes=(${LISTELO_BENCH_SIZES:-5000 20000})
pv_sizes=(${LISTELO_BENCH_PARUVENDU:-20000 40000 80000})
work=$(mktemp -d "${TMPDIR:-/tmp}/listelo-scale-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT
make_stock="$1/bench/listelo_make_stock"

# The machine is often shared with other work, so each figure is given twice: elapsed
# seconds, and processor seconds (user + system, every thread), which waiting for a
# processor does not inflate.
# "<elapsed> <processor> <peak kB>" of a command.
timed() {
  /usr/bin/time -f '%e %U %S %M' -o "$work/time" "$@" >/dev/null 2>&1 || true
  awk '{ printf "%s %.2f %s\n", $1, $2 + $3, $4 }' "$work/time"
}

# The same for a headless run.
measure() {
  local root=$1 ini=$2 target=$3 build=$4
  LISTELO_HEADLESS=1 LISTELO_ROOT="$root" Windir='c:\windows' LISTELO_INI="$ini" \
    timed "$build/src/listelo" "$target"
}

ratio() { awk "BEGIN { printf \"%.2f\", $1 / $2 }"; }

# --- AUTOSCOUT24 with photos --------------------------------------------------------
largest=${as24_sizes[-1]}
mkdir -p "$work/as24/c/windows/TEMP" "$work/as24/c/projects/Quarno/data/Listelo"
# 3 photo files of 3 kB per vehicle, named as the generator's photo records name them
# (2024/<idVO>/photo-<n>); the vehicles' other photo records have no file.
python3 - "$work/as24/c/projects/Quarno/images" "$largest" <<'PY'
import os, random, sys
root, vehicles = sys.argv[1], int(sys.argv[2])
rng = random.Random(24)
for vo in range(1, vehicles + 1):
    folder = os.path.join(root, "2024", str(vo))
    os.makedirs(folder, exist_ok=True)
    for n in (1, 2, 3):
        with open(os.path.join(folder, f"photo-{n}.jpg"), "wb") as f:
            f.write(b"\xff\xd8\xff\xe0\x00\x10JFIF\x00" + rng.randbytes(3061))
PY
cat >"$work/as24.ini" <<'INI'
[Options]
Debug=0
PathImages=c:\projects\Quarno\images
[VOImages]
ServeurFTP=127.0.0.1:9
[AUTOSCOUT24]
ServeurFTP=127.0.0.1:9
TestFTPVOImages=0
idClient=0123456789
INI
folder="$work/as24/c/windows/TEMP/AS24"
declare -A second second_cpu
for n in "${as24_sizes[@]}"; do
  "$make_stock" --autoscout24 "$n" "$work/as24/c/projects/Quarno/data/Listelo/ExpDatasAutoScout24.xml"
  for build in "${builds[@]}"; do
    rm -rf "$folder"
    read -r first first_cpu _ < <(measure "$work/as24" "$work/as24.ini" AUTOSCOUT24 "$build")
    read -r again again_cpu _ < <(measure "$work/as24" "$work/as24.ini" AUTOSCOUT24 "$build")
    read -r zip zip_cpu _ < <(cd "$folder" && timed zip -9 -r -q "$work/infozip.zip" .)
    rm -f "$work/infozip.zip"
    second[$build,$n]=$again
    second_cpu[$build,$n]=$again_cpu
    printf '%-28s AUTOSCOUT24 %6d VO, %6d files: first run %6.2f s (cpu %6.2f), second run %6.2f s (cpu %6.2f), zip -9 -r %6.2f s (cpu %6.2f); second run / zip %s, cpu %s (target under 1.5)\n' \
      "$build" "$n" "$(ls "$folder" | wc -l)" "$first" "$first_cpu" "$again" "$again_cpu" "$zip" \
      "$zip_cpu" "$(ratio "$again" "$zip")" "$(ratio "$again_cpu" "$zip_cpu")"
  done
done
for build in "${builds[@]}"; do
  printf '%-28s AUTOSCOUT24 second runs %d/%d: %s, cpu %s (target under 4.4)\n' "$build" \
    "$largest" "${as24_sizes[0]}" "$(ratio "${second[$build,$largest]}" "${second[$build,${as24_sizes[0]}]}")" \
    "$(ratio "${second_cpu[$build,$largest]}" "${second_cpu[$build,${as24_sizes[0]}]}")"
done
rm -rf "$work/as24"

# --- PARUVENDU ----------------------------------------------------------------------
mkdir -p "$work/pv/c/windows/TEMP" "$work/pv/c/projects/Quarno/data/Listelo" "$work/pv/c/projects/Quarno/images"
cat >"$work/pv.ini" <<'INI'
[Options]
Debug=0
[VOImages]
ServeurFTP=127.0.0.1:9
[PARUVENDU]
ServeurFTP=127.0.0.1:9
TestFTPVOImages=0
FlgInfoEquip=1
INI
declare -A seconds cpu
source_doc="$work/pv/c/projects/Quarno/data/Listelo/ExpDatasPARUVENDU.xml"
for n in "${pv_sizes[@]}"; do
  "$make_stock" "$n" "$source_doc"
  size=$(stat -c %s "$source_doc")
  read -r lint lint_cpu _ < <(timed xmllint --output /dev/null "$source_doc")
  for build in "${builds[@]}"; do
    read -r s c kb < <(measure "$work/pv" "$work/pv.ini" PARUVENDU "$build")
    seconds[$build,$n]=$s
    cpu[$build,$n]=$c
    printf '%-28s PARUVENDU %6d VO (%4d MB): %6.2f s (cpu %6.2f), xmllint %5.2f s (cpu %5.2f): x %s, cpu x %s; peak %5d MB = %5.2f x the document\n' \
      "$build" "$n" "$((size / 1000000))" "$s" "$c" "$lint" "$lint_cpu" "$(ratio "$s" "$lint")" \
      "$(ratio "$c" "$lint_cpu")" "$((kb / 1024))" "$(ratio "$((kb * 1024))" "$size")"
  done
  rm -rf "$work/pv/c/windows/TEMP/Listelo"
done
for build in "${builds[@]}"; do
  line="$build PARUVENDU"
  for ((i = 1; i < ${#pv_sizes[@]}; ++i)); do
    a=${pv_sizes[i]} b=${pv_sizes[i - 1]}
    line+=" $a/$b: $(ratio "${seconds[$build,$a]}" "${seconds[$build,$b]}") (cpu $(ratio "${cpu[$build,$a]}" "${cpu[$build,$b]}"))"
  done
  echo "$line (target under 2.1 each)"
done
