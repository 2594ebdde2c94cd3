#!/usr/bin/env bash
# Builds the DLL (as released, in the Windows tree) and writes the archive a user
# installs from, dist/mdlimport-VERSION-win32.zip (the stripped DLL,
# INSTALL.txt, SHA256SUMS), with the DLL's debugging information beside it
# in dist/mdlimport-VERSION-win32.dll.debug; and the converter's archive,
# dist/mdlimport-VERSION-win32-converter.zip (mdlhost.exe, the same DLL, the
# stand-in for the host's main library, README.txt, SHA256SUMS); and the
# Debian package of mdlhost, dist/mdlhost_VERSION_i386.deb (cpack on the
# Linux tree: its install, its dependencies read off the binaries; the same
# bytes from every build of one commit, and lintian-clean).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh package
scripts/build.sh windows mdlimport_dll converter_archive
scripts/build.sh linux mdlhost mdlimport >/dev/null
rm -f build/linux/package/*.deb
(cd build/linux && cpack >/dev/null)
mkdir -p dist
cp build/windows/dll/dist/mdlimport-*-win32.zip build/windows/dll/dist/mdlimport-*-win32.dll.debug dist/
cp build/windows/dist/mdlimport-*-win32-converter.zip dist/
cp build/linux/package/mdlhost_*_i386.deb dist/
# Debian's checker of packages: no error and no warning.
lintian --allow-root --fail-on error,warning dist/mdlhost_*_i386.deb
ls -l dist
