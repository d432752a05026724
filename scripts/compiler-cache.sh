# Sourced by the build scripts: compile through ccache when it is installed,
# so that a second build of the same sources (the next test run, another
# checkout of the project) takes seconds, not minutes. Paths are hashed
# relative to the checkout, so checkouts in other folders share the cache.
compiler_cache=()
if command -v ccache >/dev/null; then
  compiler_cache=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR=$root CCACHE_NOHASHDIR=true
  # The test programs compile with precompiled headers, which ccache caches
  # only when told that their macros and time stamps may be trusted.
  export CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
fi
