#!/usr/bin/env bash
# Installs the library from the build tree into a scratch prefix, then builds
# examples/hello against it twice, as a new user would: through
# find_package(orv) and through pkg-config. Runs both programs; with a server
# address given, the CMake-built one also logs in there.
#
#   install_example_test.sh SOURCE_DIR BUILD_DIR CXX "SANITIZE_FLAGS" [SERVER_BINARY]
set -euo pipefail
SOURCE="$1"; BUILD="$2"; CXX="$3"; FLAGS="$4"; SERVER="${5:-}"
scratch="$(mktemp -d)"
trap 'kill $server_pid 2>/dev/null || true; rm -rf "$scratch"' EXIT
server_pid=""

cmake --install "$BUILD" --prefix "$scratch/prefix" --component orv >/dev/null
test -f "$scratch/prefix/include/orv/client/ORVClient.h"
test -f "$scratch/prefix/lib/cmake/orv/orvConfig.cmake" || test -f "$scratch/prefix/lib64/cmake/orv/orvConfig.cmake"
pc="$(find "$scratch/prefix" -name orv.pc | head -n1)"
test -n "$pc"

# Through the CMake package, in a Release build (no -Werror reaches the user).
cmake -S "$SOURCE/examples/hello" -B "$scratch/hello" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_COMPILER="$CXX" -DCMAKE_CXX_FLAGS="$FLAGS" -DCMAKE_EXE_LINKER_FLAGS="$FLAGS" \
  -DCMAKE_PREFIX_PATH="$scratch/prefix" >"$scratch/configure.log" 2>&1 || { cat "$scratch/configure.log"; exit 1; }
cmake --build "$scratch/hello" >"$scratch/build.log" 2>&1 || { cat "$scratch/build.log"; exit 1; }
out="$("$scratch/hello/hello")"
echo "$out"
grep -q '{cmd=hm}' <<<"$out"

# Through pkg-config.
PKG_CONFIG_PATH="$(dirname "$pc")" pkg-config --exists orv
# shellcheck disable=SC2046
"$CXX" -std=c++20 $FLAGS "$SOURCE/examples/hello/hello.cpp" -o "$scratch/hello-pc" \
  $(PKG_CONFIG_PATH="$(dirname "$pc")" pkg-config --cflags --libs orv)
"$scratch/hello-pc" | grep -q '{cmd=hm}'

# Against the reference server, when one was built.
if [ -n "$SERVER" ] && [ -x "$SERVER" ]; then
  "$SERVER" --listen 127.0.0.1:0 --no-store >"$scratch/server.log" 2>&1 &
  server_pid=$!
  for _ in $(seq 1 100); do grep -q '^listening on' "$scratch/server.log" && break; sleep 0.1; done
  port="$(sed -n 's/^listening on .*:\([0-9]*\)$/\1/p' "$scratch/server.log" | head -n1)"
  test -n "$port"
  out="$("$scratch/hello/hello" 127.0.0.1 "$port")"
  echo "$out"
  grep -q '^logged in as hello ([0-9]*) in zone kivmar$' <<<"$out"
fi
echo "install example: ok"
