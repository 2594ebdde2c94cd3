#!/usr/bin/env bash
# Builds the DLL (as released, in the Windows tree) and writes the archive a user
# installs from, dist/mdlimport-VERSION-win32.zip (the stripped DLL,
# INSTALL.txt, SHA256SUMS), with the DLL's debugging information beside it
# in dist/mdlimport-VERSION-win32.dll.debug.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh package
scripts/build.sh windows mdlimport_dll
mkdir -p dist
cp build/windows/dll/dist/mdlimport-*-win32.zip build/windows/dll/dist/mdlimport-*-win32.dll.debug dist/
ls -l dist
