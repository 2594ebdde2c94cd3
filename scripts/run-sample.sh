#!/usr/bin/env bash
# The main job: import a model through the reference host and print what the
# host received. With no arguments it imports the bundled sample model;
# arguments go to mdlhost (see mdlhost --help).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh run
scripts/build.sh linux mdlhost >/dev/null
exec build/linux/bin/mdlhost "$@"
