#!/usr/bin/env bash
# Builds Orvanta and starts it on its bundled default desktop.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --preset default >/dev/null
cmake --build --preset default --target orvanta
exec build/default/orvanta "$@"
