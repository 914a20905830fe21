# shellcheck shell=bash
# Sourced by the scripts that build (". scripts/ccache-env.sh ROOT"): builds go through the
# compiler cache, and a clone in another folder hits what an earlier clone of the same sources
# compiled. Absolute paths under ROOT are rewritten relative before hashing (CCACHE_BASEDIR), the
# working directory is left out of the hash (CCACHE_NOHASHDIR; the debug information is made
# path-independent by -ffile-prefix-map in CMakeLists.txt), and the cache's own settings in
# ~/.config/ccache are not needed. A caller's own CCACHE_* values win, except a base folder
# outside the clone.
if command -v ccache >/dev/null 2>&1; then
  export CMAKE_C_COMPILER_LAUNCHER="${CMAKE_C_COMPILER_LAUNCHER:-ccache}"
  export CMAKE_CXX_COMPILER_LAUNCHER="${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}"
  # An inherited base folder stays if it holds this clone (say, one folder for all worktrees).
  case "$1/" in
    "${CCACHE_BASEDIR:-/nonexistent}"/*) ;;
    *) export CCACHE_BASEDIR="$1" ;;
  esac
  export CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-1}"
  # Precompiled headers are checked by the compiler itself; __DATE__ and __TIME__ are not used.
  export CCACHE_SLOPPINESS="${CCACHE_SLOPPINESS:-pch_defines,time_macros,include_file_mtime,include_file_ctime}"
fi
