#!/usr/bin/env bash
# Cross-compiles the decoder libraries that the Windows build links statically (libjpeg-turbo
# with the 6b API, libogg, libvorbis and vorbisfile) from Debian's source packages, into a
# cache outside the clone with one prefix per exact source version. A prefix counts only once
# its stamp is written, so an interrupted build is redone. With nothing to do it takes seconds.
set -euo pipefail

VORN_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cache="${VORN_DEPS_CACHE:-/var/cache/dustvale-deps}"
cmake_out="${VORN_DEPS_CMAKE:-$VORN_ROOT/build/mingw-deps.cmake}"
cc=x86_64-w64-mingw32-gcc-posix
# Only C is compiled, but libogg's project() enables C++ too.
cxx=x86_64-w64-mingw32-g++-posix
jobs=$(nproc 2>/dev/null || echo 2)
# Part of every stamp: raise it whenever the build options below change, so that prefixes
# built the old way are rebuilt rather than trusted.
recipe=1
debsrc_file=/etc/apt/sources.list.d/dustvale-deb-src.sources

log() { echo "mingw-deps: $*"; }
die() { echo "mingw-deps: $*" >&2; exit 1; }

# --- Build prerequisites ------------------------------------------------------------------
# nasm: libjpeg-turbo's SIMD code roughly doubles decode speed, and the build is told to
# fail rather than quietly fall back to plain C. libogg and libvorbis build with CMake, so
# no autotools are needed.
prerequisites=(dpkg-dev xz-utils cmake make nasm gcc-mingw-w64-x86-64-posix
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev)
# One dpkg-query for all of them: "ii" is installed and configured.
# (dpkg-query fails when it has never heard of one.)
installed=" $({ dpkg-query -W -f='${db:Status-Abbrev} ${Package}\n' "${prerequisites[@]}" 2>/dev/null ||
  true; } | awk '$1 == "ii" { printf "%s ", $2 }') "
missing=()
for package in "${prerequisites[@]}"; do
  [[ "$installed" == *" $package "* ]] || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  log "installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

mkdir -p "$cache"
# Several clones on one machine share the cache; one builder at a time.
exec 9>"$cache/.lock"
flock 9

# --- Source entries -------------------------------------------------------------------------
# Writes deb822 "deb-src" stanzas mirroring every enabled Debian "deb" entry (both the deb822
# and the one-line formats) that has no deb-src entry of its own. Third-party repositories
# are left out: few publish sources, and a missing index would make every update fail.
wanted_debsrc() {
  [ $# -gt 0 ] || return 0
  awk '
    function flush(   t, n, i, u, nu, s, ns, j, key) {
      if (!inStanza) return
      inStanza = 0
      if (tolower(field["enabled"]) == "no") { delete field; return }
      n = split(field["types"], t, /[ \t\n]+/)
      hasDeb = 0; hasSrc = 0
      for (i = 1; i <= n; i++) { if (t[i] == "deb") hasDeb = 1; if (t[i] == "deb-src") hasSrc = 1 }
      nu = split(field["uris"], u, /[ \t\n]+/)
      ns = split(field["suites"], s, /[ \t\n]+/)
      for (i = 1; i <= nu; i++) for (j = 1; j <= ns; j++) {
        if (u[i] == "" || s[j] == "") continue
        key = u[i] SUBSEP s[j]
        if (hasSrc) covered[key] = 1
        else if (hasDeb && u[i] ~ /debian/) {
          order[++numWanted] = key
          comps[key] = field["components"]; signer[key] = field["signed-by"]
          wantUri[key] = u[i]; wantSuite[key] = s[j]
        }
      }
      delete field
    }
    FNR == 1 { flush(); last = "" }
    FILENAME ~ /\.list$/ {
      sub(/#.*/, "")
      if ($0 !~ /^[ \t]*deb(-src)?[ \t]/) next
      type = $1; rest = $0; sub(/^[ \t]*deb(-src)?[ \t]+/, "", rest)
      opts = ""
      if (rest ~ /^\[/) { opts = rest; sub(/\].*/, "", opts); sub(/^\[/, "", opts); sub(/^[^]]*\][ \t]*/, "", rest) }
      n = split(rest, w, /[ \t]+/)
      key = w[1] SUBSEP w[2]
      if (type == "deb-src") { covered[key] = 1; next }
      if (w[1] !~ /debian/) next
      c = ""; for (i = 3; i <= n; i++) c = c (c == "" ? "" : " ") w[i]
      sig = ""
      if (match(opts, /signed-by=[^ \t]+/)) sig = substr(opts, RSTART + 10, RLENGTH - 10)
      order[++numWanted] = key; comps[key] = c; signer[key] = sig
      wantUri[key] = w[1]; wantSuite[key] = w[2]
      next
    }
    /^[ \t]*#/ { next }
    /^[ \t]*$/ { flush(); next }
    /^[ \t]/ { if (last != "") field[last] = field[last] "\n" $0; next }
    {
      inStanza = 1
      name = tolower($0); sub(/:.*/, "", name)
      value = $0; sub(/^[^:]*:[ \t]*/, "", value)
      field[name] = value; last = name
    }
    END {
      flush()
      for (i = 1; i <= numWanted; i++) {
        key = order[i]
        if ((key in covered) || (key in done)) continue
        done[key] = 1
        printf "%sTypes: deb-src\nURIs: %s\nSuites: %s\nComponents: %s\n", (printed++ ? "\n" : ""), wantUri[key], wantSuite[key], comps[key]
        if (signer[key] != "") printf "Signed-By: %s\n", signer[key]
      }
    }
  ' "$@"
}

apt_source_files() {
  local f
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] && [ "$f" != "$debsrc_file" ] && echo "$f"
  done
  return 0
}

ensure_debsrc() {
  local body files
  mapfile -t files < <(apt_source_files)
  body=$(wanted_debsrc ${files[@]+"${files[@]}"})
  if [ -z "$body" ]; then
    [ ! -e "$debsrc_file" ] || { rm -f "$debsrc_file"; return 0; }
    return 1
  fi
  local text
  text=$(printf '# Source entries for the Debian suites configured here, so that scripts/mingw-deps.sh\n# of the Dustvale saver can fetch source packages. Written by that script.\n%s\n' "$body")
  if [ -f "$debsrc_file" ] && [ "$(cat "$debsrc_file")" = "$text" ]; then
    return 1
  fi
  log "writing $debsrc_file"
  printf '%s\n' "$text" >"$debsrc_file.tmp"
  mv "$debsrc_file.tmp" "$debsrc_file"
  return 0
}

# Refreshes only the source indexes of our own entries, leaving the binary lists as they are;
# when the system already had deb-src entries of its own, a plain update is all there is.
update_debsrc() {
  log "updating the source package indexes"
  if [ -f "$debsrc_file" ]; then
    apt-get update -qq -o Dir::Etc::sourcelist="$debsrc_file" -o Dir::Etc::sourceparts=- \
      -o APT::Get::List-Cleanup=0
  else
    apt-get update -qq
  fi
}

# Sets, for each source package, the newest version the indexes offer and its .dsc file (as
# apt-get source would choose); empty when a package is unknown. apt-cache showsrc reads only
# the source records, which is several times faster than a full apt-get call.
jpeg_dsc="" ogg_dsc="" vorbis_dsc=""
declare -A source_version=()
lookup() {
  local records package version dsc
  local -A best=() best_dsc=()
  records=$(apt-cache showsrc --only-source libjpeg-turbo libogg libvorbis 2>/dev/null |
    awk '/^Package:/ { p = $2 } /^Version:/ { v = $2 }
         /^Checksums-Sha256:/ { inSums = 1; next } /^[^ ]/ { inSums = 0 }
         inSums && $3 ~ /\.dsc$/ { print p, v, $3 }') || records=""
  while read -r package version dsc; do
    [ -n "$dsc" ] || continue
    if [ -z "${best[$package]:-}" ] || dpkg --compare-versions "$version" gt "${best[$package]}"; then
      best[$package]=$version
      best_dsc[$package]=$dsc
    fi
  done <<<"$records"
  for package in "${!best[@]}"; do source_version[$package]=${best[$package]}; done
  jpeg_dsc=${best_dsc[libjpeg-turbo]:-}
  ogg_dsc=${best_dsc[libogg]:-}
  vorbis_dsc=${best_dsc[libvorbis]:-}
}
# "libogg_1.3.5-3.dsc" -> "1.3.5-3" (file names carry no epoch, which suits a folder name).
version_of() { local name=${1%.dsc}; echo "${name#*_}"; }

# The newest finished prefix of a kind, for when the package indexes cannot be had.
newest_stamped() {
  local dir newest=""
  for dir in "$cache"/"$1"-*/; do
    [ -f "$dir.stamp" ] && newest=$(printf '%s\n%s\n' "$newest" "${dir%/}" | sort -V | tail -n 1)
  done
  echo "$newest"
}

debsrc_changed=0
ensure_debsrc && debsrc_changed=1
[ $debsrc_changed = 1 ] || lookup
if [ $debsrc_changed = 1 ] || [ -z "$jpeg_dsc" ] || [ -z "$ogg_dsc" ] || [ -z "$vorbis_dsc" ]; then
  update_debsrc || log "warning: updating the source indexes failed"
  lookup
fi

# --- Builds ------------------------------------------------------------------------------------
src="$cache/src"
work="$cache/work"
# What a stamp records; a prefix whose stamp says anything else is rebuilt.
stamp_text() {
  printf 'recipe=%s\ntools=%s\nsources=%s\n' "$recipe" "$(dpkg-query -W -f='${Package}=${Version} ' \
    gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64 nasm)" "$*"
}
is_built() { [ -f "$1/.stamp" ] && [ "$(cat "$1/.stamp")" = "$(stamp_text "${@:2}")" ]; }

# Downloads the named source packages into $src; apt checks them against the signed indexes
# and skips files already there, so a rebuild needs no network.
fetch() {
  mkdir -p "$src"
  # Owned by apt's download user so that the download runs sandboxed.
  if id _apt >/dev/null 2>&1; then chown _apt:root "$src"; fi
  log "fetching the sources of $*"
  local package pinned=()
  # Pinned, so that what is fetched is the version the prefix is named after.
  for package in "$@"; do pinned+=("$package=${source_version[$package]}"); done
  (cd "$src" && apt-get source --download-only --only-source -qq "${pinned[@]}" >/dev/null)
}

# Unpacks a .dsc with the Debian patches applied. The archive signature is not checked here
# (there is no Debian keyring); the files' hashes are, against the .dsc that apt verified.
unpack() {
  local dsc=$1 dir=$2 log_file=$3
  [ -f "$src/$dsc" ] || die "$dsc was not downloaded"
  rm -rf "$dir"
  (cd "$work" && dpkg-source -x "$src/$dsc" "$dir" >>"$log_file" 2>&1) ||
    die "unpacking $dsc failed, see $log_file"
}

# A toolchain of our own rather than the repository's, so that a prefix shared by several
# clones depends on none of them.
write_toolchain() {
  cat >"$1" <<EOT
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER $cc)
set(CMAKE_CXX_COMPILER $cxx)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 "$2")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
EOT
}

# Runs a build step with its output in the log, showing the log's end when it fails.
step() {
  local log_file=$1
  shift
  if ! "$@" >>"$log_file" 2>&1; then
    tail -n 30 "$log_file" >&2
    die "failed: $* (full log: $log_file)"
  fi
}

# -O2 goes in CMAKE_C_FLAGS because libjpeg-turbo rewrites -O2 to -O3 in the per-type flags.
cmake_args=()
set_cmake_args() {
  cmake_args=(-G "Unix Makefiles" -DCMAKE_TOOLCHAIN_FILE="$1" -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_C_FLAGS=-O2 -DCMAKE_C_FLAGS_RELEASE=-DNDEBUG -DCMAKE_INSTALL_PREFIX="$2"
    -DBUILD_SHARED_LIBS=OFF)
}

finish() {
  local prefix=$1
  shift
  local file
  for file in "$@"; do
    [ -f "$prefix/$file" ] || die "the build left no $prefix/$file"
  done
}

build_jpeg() {
  local prefix=$1 dir="$work/jpeg" log_file="$work/jpeg.log"
  rm -rf "$prefix" "$dir" "$log_file"
  mkdir -p "$dir" "$prefix"
  log "building libjpeg-turbo $(version_of "$jpeg_dsc") into $prefix"
  unpack "$jpeg_dsc" "$dir/src" "$log_file"
  write_toolchain "$dir/toolchain.cmake" "$prefix"
  set_cmake_args "$dir/toolchain.cmake" "$prefix"
  step "$log_file" cmake -S "$dir/src" -B "$dir/build" "${cmake_args[@]}" \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_JPEG8=OFF -DWITH_JPEG7=OFF \
    -DWITH_TURBOJPEG=OFF -DWITH_JAVA=OFF -DWITH_SIMD=ON -DREQUIRE_SIMD=ON
  # Only the library: the project has no switch for its programs, and its install rule
  # wants them all, so the files are installed here.
  step "$log_file" cmake --build "$dir/build" --target jpeg-static -j "$jobs"
  install -D -m 644 "$dir/build/libjpeg.a" "$prefix/lib/libjpeg.a"
  install -D -m 644 "$dir/build/pkgscripts/libjpeg.pc" "$prefix/lib/pkgconfig/libjpeg.pc"
  install -D -m 644 -t "$prefix/include" "$dir/build/jconfig.h" "$dir/src/jpeglib.h" \
    "$dir/src/jmorecfg.h" "$dir/src/jerror.h"
  finish "$prefix" lib/libjpeg.a include/jpeglib.h include/jconfig.h
}

build_vorbis() {
  local prefix=$1 dir="$work/vorbis" log_file="$work/vorbis.log"
  rm -rf "$prefix" "$dir" "$log_file"
  mkdir -p "$dir" "$prefix"
  log "building libogg $(version_of "$ogg_dsc") and libvorbis $(version_of "$vorbis_dsc") into $prefix"
  unpack "$ogg_dsc" "$dir/ogg" "$log_file"
  unpack "$vorbis_dsc" "$dir/vorbis" "$log_file"
  write_toolchain "$dir/toolchain.cmake" "$prefix"
  set_cmake_args "$dir/toolchain.cmake" "$prefix"
  # The host's own ogg.pc must not answer for the Windows one.
  export PKG_CONFIG_LIBDIR="$prefix/lib/pkgconfig" PKG_CONFIG_PATH=""
  step "$log_file" cmake -S "$dir/ogg" -B "$dir/ogg-build" "${cmake_args[@]}" \
    -DBUILD_TESTING=OFF -DINSTALL_DOCS=OFF
  step "$log_file" cmake --build "$dir/ogg-build" -j "$jobs"
  step "$log_file" cmake --install "$dir/ogg-build"
  step "$log_file" cmake -S "$dir/vorbis" -B "$dir/vorbis-build" "${cmake_args[@]}" \
    -DOGG_INCLUDE_DIR="$prefix/include" -DOGG_LIBRARY="$prefix/lib/libogg.a"
  step "$log_file" cmake --build "$dir/vorbis-build" -j "$jobs"
  step "$log_file" cmake --install "$dir/vorbis-build"
  finish "$prefix" lib/libogg.a lib/libvorbis.a lib/libvorbisfile.a include/ogg/ogg.h \
    include/vorbis/vorbisfile.h
}

stamp() {
  local prefix=$1
  shift
  stamp_text "$@" >"$prefix/.stamp.tmp"
  mv "$prefix/.stamp.tmp" "$prefix/.stamp"
}

# Without the network (say) a finished earlier build still serves, if there is one.
fallback=""
use_earlier_builds() {
  fallback=$1
  jpeg_prefix=$(newest_stamped mingw64-jpeg)
  vorbis_prefix=$(newest_stamped mingw64-vorbis)
  if [ -z "$jpeg_prefix" ] || [ -z "$vorbis_prefix" ]; then
    die "$1, and there is no earlier build"
  fi
  log "warning: $1; using the earlier builds"
}

if [ -n "$jpeg_dsc" ] && [ -n "$ogg_dsc" ] && [ -n "$vorbis_dsc" ]; then
  jpeg_prefix="$cache/mingw64-jpeg-$(version_of "$jpeg_dsc")"
  vorbis_prefix="$cache/mingw64-vorbis-$(version_of "$ogg_dsc")-$(version_of "$vorbis_dsc")"
  need=()
  is_built "$jpeg_prefix" "$jpeg_dsc" || need+=(libjpeg-turbo)
  is_built "$vorbis_prefix" "$ogg_dsc" "$vorbis_dsc" || need+=(libogg libvorbis)
  if [ ${#need[@]} -gt 0 ]; then
    started=$SECONDS
    mkdir -p "$work"
    if ! fetch "${need[@]}"; then
      use_earlier_builds "the sources could not be fetched"
    elif ! is_built "$jpeg_prefix" "$jpeg_dsc"; then
      build_jpeg "$jpeg_prefix"
      stamp "$jpeg_prefix" "$jpeg_dsc"
      rm -rf "$work/jpeg"
    fi
    if [ -z "$fallback" ] && ! is_built "$vorbis_prefix" "$ogg_dsc" "$vorbis_dsc"; then
      build_vorbis "$vorbis_prefix"
      stamp "$vorbis_prefix" "$ogg_dsc" "$vorbis_dsc"
      rm -rf "$work/vorbis"
    fi
    [ -n "$fallback" ] || log "built in $((SECONDS - started)) s"
  fi
else
  use_earlier_builds "no source package index for libjpeg-turbo, libogg and libvorbis"
fi

# --- Where the prefixes are ------------------------------------------------------------------
# Rewritten only when it changes, since CMake reconfigures whenever an included file is newer.
text="# Written by scripts/mingw-deps.sh: the static Windows builds of the decoder libraries.
set(VORN_MINGW_JPEG_PREFIX \"$jpeg_prefix\")
set(VORN_MINGW_VORBIS_PREFIX \"$vorbis_prefix\")"
mkdir -p "$(dirname "$cmake_out")"
if [ ! -f "$cmake_out" ] || [ "$(cat "$cmake_out")" != "$text" ]; then
  printf '%s\n' "$text" >"$cmake_out.tmp"
  mv "$cmake_out.tmp" "$cmake_out"
fi
log "jpeg: $jpeg_prefix"
log "vorbis: $vorbis_prefix"
log "prefixes written to $cmake_out"
