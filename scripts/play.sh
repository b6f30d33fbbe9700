#!/usr/bin/env bash
# Installs what is missing, builds, lays out the working folder and starts the game.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/scripts/install-deps.sh"
"$here/scripts/build.sh" "$here/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cd "$here/build/game"
exec "$here/build/TheVantorel"
