#!/usr/bin/env bash
# Builds the libraries Rigwright needs for 64-bit Windows (Crypto++, JsonCpp, libpng, libdeflate,
# wxWidgets, GoogleTest; zlib comes with Debian's mingw packages) as static libraries into one
# prefix, from Debian's own source packages, with Debian's mingw-w64 cross-compilers.
#
#   scripts/windows-sysroot.sh      installs the Debian packages the Windows lane needs, then
#                                   builds the prefix unless its stamp says it is up to date
#
#   RIGWRIGHT_MINGW_PREFIX   where the prefix goes (default /opt/rigwright/mingw-prefix). The
#                            libraries bake this path into their pkg-config and CMake files, so
#                            it is fixed once chosen; cmake/mingw-w64-x86_64.cmake reads it too.
#   RIGWRIGHT_MINGW_JOBS     parallel compile jobs (default 2)
#
# The stamp (<prefix>/rigwright-prefix.stamp) holds the hash of this script and of the toolchain
# file and the versions of the Debian packages the build takes as they are; when those match, the
# prefix is kept and the network is not asked. It also records the source package versions built.
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
prefix=${RIGWRIGHT_MINGW_PREFIX:-/opt/rigwright/mingw-prefix}
jobs=${RIGWRIGHT_MINGW_JOBS:-2}
toolchain="$repo/cmake/mingw-w64-x86_64.cmake"
triple=x86_64-w64-mingw32
stamp="$prefix/rigwright-prefix.stamp"

# Taken as Debian ships them; their versions go into the stamp.
binary_inputs=(g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev libz-mingw-w64-dev googletest)
# Built from source; the fetched versions are recorded.
source_packages=(libcrypto++ libjsoncpp libpng1.6 libdeflate wxwidgets3.2)

case "$prefix" in
  /*) ;;
  *) echo "windows-sysroot: RIGWRIGHT_MINGW_PREFIX must be an absolute path: $prefix" >&2; exit 2 ;;
esac

"$repo/scripts/ensure-packages.sh" \
  g++-mingw-w64-x86-64-posix mingw-w64-tools libz-mingw-w64-dev googletest \
  wine wine64 msitools wixl dpkg-dev make cmake ninja-build gawk xz-utils

inputs() {
  echo "input script $(sha256sum <"$0" | cut -d' ' -f1)"
  echo "input toolchain $(sha256sum <"$toolchain" | cut -d' ' -f1)"
  local p
  for p in "${binary_inputs[@]}"; do
    echo "input $p $(dpkg-query -W -f='${Version}' "$p")"
  done
}

wanted=$(inputs)
if [ -f "$stamp" ] && [ "$(grep '^input ' "$stamp")" = "$wanted" ]; then
  echo "windows-sysroot: $prefix is up to date"
  exit 0
fi

# Only a folder this script made (or an empty one) is ever emptied.
if [ -e "$prefix" ] && [ ! -f "$prefix/.rigwright-prefix" ] && [ -n "$(ls -A "$prefix")" ]; then
  echo "windows-sysroot: $prefix exists and was not made by this script; move it away or set RIGWRIGHT_MINGW_PREFIX" >&2
  exit 1
fi

scratch=$(mktemp -d "${TMPDIR:-/var/tmp}/rigwright-sysroot.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
chmod 755 "$scratch"
started=$SECONDS
log() { echo "windows-sysroot: [$((SECONDS - started)) s] $*"; }

# --- Debian source packages, through an apt configuration of our own ------------------------
# The entry is derived from the machine's own deb entries for its release (same archive, same
# signing key), restricted to the release's main suite so that the versions built are the
# release's own.
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:?no VERSION_CODENAME in /etc/os-release}")
apt_dir="$scratch/apt"
mkdir -p "$apt_dir/sources.list.d" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"

derive_one_line_sources() {
  local f
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    awk -v suite="$codename" '
      $1 == "deb" {
        i = 2
        if ($2 ~ /^\[/) { while ($i !~ /\]$/) i++; i++ }
        if ($(i + 1) == suite) { $1 = "deb-src"; print }
      }' "$f"
  done
}

derive_deb822_sources() {
  local f
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    # One stanza at a time: keep it when it has deb, is enabled and names the release's suite.
    awk -v suite="$codename" '
      function flush() {
        if (n > 0 && is_deb && enabled && has_suite) {
          for (k = 1; k <= n; k++) print lines[k]
          print ""
        }
        n = 0; is_deb = 0; enabled = 1; has_suite = 0
      }
      BEGIN { n = 0; enabled = 1 }
      /^[ \t]*#/ { next }
      /^[ \t]*$/ { flush(); next }
      {
        line = $0
        if (tolower($1) == "types:") {
          for (k = 2; k <= NF; k++) if ($k == "deb") is_deb = 1
          line = "Types: deb-src"
        } else if (tolower($1) == "enabled:") {
          if (tolower($2) == "no") enabled = 0
        } else if (tolower($1) == "suites:") {
          for (k = 2; k <= NF; k++) if ($k == suite) has_suite = 1
          line = "Suites: " suite
        }
        lines[++n] = line
      }
      END { flush() }' "$f"
  done
}

derive_one_line_sources >"$apt_dir/sources.list"
derive_deb822_sources >"$apt_dir/sources.list.d/release.sources"
if [ ! -s "$apt_dir/sources.list" ] && [ ! -s "$apt_dir/sources.list.d/release.sources" ]; then
  echo "windows-sysroot: no deb entry for the suite '$codename' in /etc/apt; cannot fetch sources" >&2
  exit 1
fi

apt_options=(
  -o "Dir::Etc::sourcelist=$apt_dir/sources.list"
  -o "Dir::Etc::sourceparts=$apt_dir/sources.list.d"
  -o "Dir::State::Lists=$apt_dir/lists"
  -o "Dir::Cache=$apt_dir/cache"
)
log "fetching the source packages of ${source_packages[*]}"
apt-get "${apt_options[@]}" -qq update
src="$scratch/src"
mkdir -p "$src"
chmod 777 "$src" # apt downloads as its own unprivileged user
(cd "$src" && apt-get "${apt_options[@]}" -qq source --only-source "${source_packages[@]}" >/dev/null)

# The unpacked folder and version of one source package.
source_dir() { find "$src" -mindepth 1 -maxdepth 1 -type d -name "$1-*" -print -quit; }
source_version() {
  local dsc
  dsc=$(find "$src" -maxdepth 1 -name "${1}_*.dsc" -print -quit)
  sed -n 's/^Version: //p' "$dsc"
}

# --- Building ---------------------------------------------------------------------------------
rm -rf "$prefix"
mkdir -p "$prefix/lib/pkgconfig" "$prefix/include"
touch "$prefix/.rigwright-prefix"
export RIGWRIGHT_MINGW_PREFIX="$prefix"
export PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig:/usr/$triple/lib/pkgconfig"
build="$scratch/build"
mkdir -p "$build"

cmake_build() { # <name> <source folder> <cmake options...>
  local name=$1 dir=$2
  shift 2
  log "building $name"
  cmake -S "$dir" -B "$build/$name" -G Ninja --toolchain "$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_SHARED_LIBS=OFF \
    "$@" >"$build/$name.configure.log" ||
    { cat "$build/$name.configure.log"; return 1; }
  cmake --build "$build/$name" -j "$jobs" >"$build/$name.build.log" ||
    { tail -50 "$build/$name.build.log"; return 1; }
  cmake --install "$build/$name" >/dev/null
}

build_cryptopp() {
  local dir
  dir=$(source_dir libcrypto++)
  log "building Crypto++"
  # Without a target version the library aims at Windows XP and leaves out the newer APIs.
  make -C "$dir" -f GNUmakefile -j "$jobs" PREFIX="$prefix" \
    CXX=$triple-g++-posix AR=$triple-ar RANLIB=$triple-ranlib \
    CXXFLAGS="-DNDEBUG -O2 -D_WIN32_WINNT=0x0601" \
    static libcrypto++.pc >"$build/cryptopp.log" 2>&1 ||
    { tail -50 "$build/cryptopp.log"; return 1; }
  make -C "$dir" -f GNUmakefile PREFIX="$prefix" \
    CXX=$triple-g++-posix AR=$triple-ar RANLIB=$triple-ranlib \
    install-lib >>"$build/cryptopp.log" 2>&1 ||
    { tail -50 "$build/cryptopp.log"; return 1; }
  # Debian names the headers crypto++; the upstream name is cryptopp. Offer both.
  if [ -d "$prefix/include/crypto++" ] && [ ! -e "$prefix/include/cryptopp" ]; then
    ln -s crypto++ "$prefix/include/cryptopp"
  elif [ -d "$prefix/include/cryptopp" ] && [ ! -e "$prefix/include/crypto++" ]; then
    ln -s cryptopp "$prefix/include/crypto++"
  fi
}

build_libdeflate() {
  local dir f
  dir=$(source_dir libdeflate)
  log "building libdeflate"
  # Its own makefile builds a DLL for Windows; the library is a handful of C files, compiled
  # here straight into the static archive the programs link.
  mkdir -p "$build/libdeflate"
  for f in "$dir"/lib/*.c "$dir"/lib/*/*.c; do
    $triple-gcc-posix -O2 -DNDEBUG -I"$dir" -c "$f" \
      -o "$build/libdeflate/$(basename "$(dirname "$f")")_$(basename "$f" .c).o" ||
      return 1
  done
  rm -f "$prefix/lib/libdeflate.a"
  $triple-ar rcs "$prefix/lib/libdeflate.a" "$build"/libdeflate/*.o
  install -m 644 "$dir/libdeflate.h" "$prefix/include/libdeflate.h"
}

build_wx() {
  local dir
  dir=$(source_dir wxwidgets3.2)
  log "building wxWidgets (the longest step)"
  mkdir -p "$build/wx"
  # Only what the programs use: native Windows controls, no HTML, web view, media, OpenGL or
  # the larger composite controls; images through the libpng and zlib of this prefix.
  (cd "$build/wx" && "$dir/configure" --host=$triple --prefix="$prefix" \
    CC=$triple-gcc-posix CXX=$triple-g++-posix \
    CPPFLAGS="-I$prefix/include" LDFLAGS="-L$prefix/lib" \
    --with-msw --disable-shared --without-subdirs --disable-precomp-headers --with-cxx=17 \
    --disable-webview --disable-mediactrl --disable-stc --disable-propgrid --disable-ribbon \
    --disable-aui --disable-richtext --disable-xrc --disable-html --disable-htmlhelp \
    --without-opengl --with-libpng=sys --with-zlib=sys --without-libjpeg --without-libtiff \
    --without-expat --with-regex=builtin) >"$build/wx.configure.log" 2>&1 ||
    { tail -50 "$build/wx.configure.log"; return 1; }
  make -C "$build/wx" -j "$jobs" >"$build/wx.build.log" 2>&1 ||
    { tail -50 "$build/wx.build.log"; return 1; }
  make -C "$build/wx" install >>"$build/wx.build.log" 2>&1 ||
    { tail -50 "$build/wx.build.log"; return 1; }
}

build_cryptopp
cmake_build jsoncpp "$(source_dir libjsoncpp)" \
  -DJSONCPP_WITH_TESTS=OFF -DJSONCPP_WITH_POST_BUILD_UNITTEST=OFF -DJSONCPP_WITH_EXAMPLE=OFF \
  -DBUILD_STATIC_LIBS=ON -DBUILD_OBJECT_LIBS=OFF -DJSONCPP_WITH_PKGCONFIG_SUPPORT=ON \
  -DJSONCPP_WITH_CMAKE_PACKAGE=ON
cmake_build googletest /usr/src/googletest -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON
cmake_build libpng "$(source_dir libpng1.6)" \
  -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF
build_libdeflate
build_wx

{
  echo "# The libraries Rigwright links for Windows; made by scripts/windows-sysroot.sh."
  echo "$wanted"
  for p in "${source_packages[@]}"; do
    echo "built $p $(source_version "$p")"
  done
} >"$stamp"
log "done: $prefix ($(du -sh "$prefix" | cut -f1))"
