#!/usr/bin/env bash
# Builds the Debian package for this machine's architecture (amd64 on a PC,
# arm64 when run on a board) into build-package/pathmere_<version>_<arch>.deb,
# then checks it with lintian where lintian is installed.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh package
# Debian's hardening flags, as a package built by Debian's own tools gets them.
# CMake reads CXXFLAGS and LDFLAGS only; the preprocessor flags go with the
# compiler's.
eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
export CXXFLAGS="$CXXFLAGS $CPPFLAGS"

cmake -S . -B build-package -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DPATHMERE_BUILD_TESTS=OFF -DPATHMERE_BUILD_BENCH=OFF -DPATHMERE_CHECK_HEADERS=OFF >/dev/null
cmake --build build-package -j "$(nproc)"
rm -f build-package/pathmere_*.deb
(cd build-package && cpack >/dev/null)
deb=$(ls build-package/pathmere_*.deb)
echo "Built $deb"

if command -v lintian >/dev/null; then
  # Errors fail the build; warnings that stay are explained in packaging/README.md.
  lintian --fail-on error --info "$deb"
else
  echo "lintian is not installed: the package was not checked (apt-get install lintian)"
fi
