#!/usr/bin/env bash
# Installs a build tree into a temporary prefix, then builds and runs a small
# consumer program against it twice: through pkg-config and through CMake's
# find_package. Usage: run.sh BUILD_DIR [plain|sanitize]. With "sanitize"
# (a build made with MORVA_SANITIZE) the consumer is instrumented as well, as
# an instrumented library needs.
set -euo pipefail

if [ $# -lt 1 ] || [ ! -d "$1" ]; then
  echo "usage: $0 BUILD_DIR [plain|sanitize]" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
mode=${2:-plain}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

flags=()
case "$mode" in
  plain) ;;
  sanitize) flags=(-fsanitize=address,undefined -fno-omit-frame-pointer) ;;
  *) echo "unknown mode: $mode" >&2; exit 2 ;;
esac

step() { echo "== $*"; }

step "Installing $build into a temporary prefix"
cmake --install "$build" --prefix "$prefix" > "$work/install.log" || {
  cat "$work/install.log"
  exit 1
}

# The library directory is lib, or lib/<multiarch> when the build was
# configured for /usr on Debian: take it from where the package files went.
pc=$(find "$prefix" -path '*/pkgconfig/morva-1.0.pc' | head -n 1)
config=$(find "$prefix" -path '*/cmake/Morva/MorvaConfig.cmake' | head -n 1)
if [ -z "$pc" ] || [ -z "$config" ]; then
  echo "missing package files under the prefix:" >&2
  (cd "$prefix" && find . -type f | sort) >&2
  exit 1
fi
pcdir=$(dirname "$pc")
libdir=$(dirname "$pcdir")
echo "library directory: ${libdir#"$prefix"/}"
for header in include/Morva/Object.h include/Orvek/Console.h; do
  [ -f "$prefix/$header" ] || { echo "missing $header" >&2; exit 1; }
done

step "Building the consumer with pkg-config"
pkg=$(PKG_CONFIG_PATH=$pcdir pkg-config --cflags --libs morva-1.0)
echo "pkg-config: $pkg"
# shellcheck disable=SC2086 # the pkg-config output is a list of words
g++ -std=c++20 "${flags[@]}" "$here/consumer.cpp" -o "$work/consumer-pkg-config" $pkg
LD_LIBRARY_PATH=$libdir "$work/consumer-pkg-config" | tee "$work/pkg-config.out"
grep -q '^Morva consumer: ' "$work/pkg-config.out"

step "Building the consumer with CMake"
cmake -S "$here" -B "$work/consumer" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_TYPE=Debug \
  -DCMAKE_CXX_FLAGS="${flags[*]}" > "$work/configure.log" || {
  cat "$work/configure.log"
  exit 1
}
cmake --build "$work/consumer" > "$work/build.log" || {
  cat "$work/build.log"
  exit 1
}
"$work/consumer/consumer" | tee "$work/cmake.out"
grep -q '^Morva consumer: ' "$work/cmake.out"

step "The installed library serves both ways"
