#!/usr/bin/env bash
# Builds the Debian packages quorva, kestro and kestro-sim (<name>_<version>_<arch>.deb) in
# build-pkg/: Release build with Debian's hardening flags, only the programs and the files the
# packages hold, then cpack.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags="$(dpkg-buildflags --get LDFLAGS)"
# Debian's -O2 rules, as in its own builds: CMake's -O3 for Release would come after it, and
# GCC 12 warns falsely about string concatenation at -O3.
cmake -S . -B build-pkg -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-DNDEBUG" \
  -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" \
  -DCMAKE_SKIP_INSTALL_ALL_DEPENDENCY=ON
cmake --build build-pkg -j2 --target package-files
rm -f build-pkg/*.deb
(cd build-pkg && cpack -G DEB)
ls build-pkg/*.deb
