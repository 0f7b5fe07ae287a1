#!/usr/bin/env bash
# Puts SQLite's amalgamation (sqlite3.c, sqlite3.h) into build-deps/sqlite3 for the Windows
# build of the simulated client: Debian ships no SQLite for mingw-w64. The two files come
# from the npm registry's better-sqlite3 package, which carries them in deps/sqlite3; they
# are fetched once and checked against cmake/sqlite-amalgamation.sha256 on every call.
# Prints the folder.
set -euo pipefail
cd "$(dirname "$0")/.."
package=better-sqlite3@12.11.1   # SQLite 3.53.2
dir=build-deps/sqlite3
sums=$PWD/cmake/sqlite-amalgamation.sha256

verified() { [ -f "$dir/sqlite3.c" ] && [ -f "$dir/sqlite3.h" ] && (cd "$dir" && sha256sum --quiet --strict -c "$sums"); }

if ! verified >/dev/null 2>&1; then
  if ! command -v npm >/dev/null; then
    echo "Installing: npm" >&2
    sudo_cmd=""
    [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
    $sudo_cmd apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq npm >/dev/null
  fi
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  (cd "$work" && npm pack --silent "$package" >/dev/null)
  tar -xzf "$work"/*.tgz -C "$work" package/deps/sqlite3/sqlite3.c package/deps/sqlite3/sqlite3.h
  rm -rf "$dir" && mkdir -p "$dir"
  mv "$work"/package/deps/sqlite3/sqlite3.[ch] "$dir"/
  if ! verified >&2; then
    echo "ERROR: the SQLite amalgamation of $package does not match $sums; refusing to build with it" >&2
    rm -rf "$dir"
    exit 1
  fi
fi
echo "$PWD/$dir"
