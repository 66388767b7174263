#!/usr/bin/env bash
# The run command: installs what is missing, builds the program, generates the demo content
# into demo/ and starts the program there.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
scripts/install-deps.sh
scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRT_TESTS=OFF
build/tools/make_demo_content "$root/demo"
if [ -x build/src/app/korvane ]; then
  cp build/src/app/korvane demo/
  exec demo/korvane "$@"
fi
# Until the application exists, check the demo content's configuration files.
exec build/tools/configcheck "$root/demo"
