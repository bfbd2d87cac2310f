#!/usr/bin/env bash
# Exporter run times on the 20,000-vehicle generated stock. $1: optimised build folder.
set -euo pipefail
"$1/bench/exporters_bench"
