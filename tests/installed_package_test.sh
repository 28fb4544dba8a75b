#!/usr/bin/env bash
# The installed package, from this build: installed into a temporary prefix,
# the example in examples/ configured against it with find_package, built
# and run, then built once more with pkg-config alone and run; both must
# print the row of eights at eight decks. The installed manual page of
# splitev-table must name every option its --help lists.
#   installed_package_test.sh BUILD_DIR SOURCE_DIR CMAKE CXX [LINK_FLAGS]
set -euo pipefail
build=$1 source=$2 cmake=$3 cxx=$4 link_flags=${5:-}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

expected='8,8 split, 8 decks: overall -0.231941 2 -0.036775 3 0.023420 4 0.081339 5 0.147621 6 0.230419 7 0.169442 8 -0.117104 9 -0.420930 T -0.533267 A -0.577409'
check_output() {
  local got
  got=$("$1")
  if [[ $got != "$expected" ]]; then
    printf '%s printed\n  %s\nnot\n  %s\n' "$2" "$got" "$expected" >&2
    exit 1
  fi
}

"$cmake" --install "$build" --prefix "$prefix" > /dev/null

"$cmake" -S "$source/examples" -B "$work/example" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_EXE_LINKER_FLAGS="$link_flags" > /dev/null
"$cmake" --build "$work/example" > /dev/null
check_output "$work/example/print_pair" "the example built with find_package"

# shellcheck disable=SC2046  # pkg-config gives several words
"$cxx" "$source/examples/print_pair.cc" -o "$work/print_pair" $link_flags \
  $(PKG_CONFIG_PATH="$prefix/lib/pkgconfig" pkg-config --cflags --libs splitev)
check_output "$work/print_pair" "the example built with pkg-config"

page=$prefix/share/man/man1/splitev-table.1
for option in $("$prefix/bin/splitev-table" --help | grep -o -- ' --[a-z0-9-]*' | sort -u); do
  if ! grep -qwF -- "${option//-/\\-}" "$page"; then
    echo "splitev-table.1 does not describe $option" >&2
    exit 1
  fi
done
