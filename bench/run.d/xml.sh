#!/usr/bin/env bash
# XML cursor figures on generated stocks of 2,000 and 20,000 vehicles. $1: optimised build folder.
set -euo pipefail
"$1/bench/listelo_xml_bench"
