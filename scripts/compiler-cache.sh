# Sourced by the build scripts: compile through ccache when it is installed,
# so that a second build of the same sources (the next test run, another
# checkout of the project) takes seconds, not minutes. Paths are hashed
# relative to the checkout, so checkouts in other folders share the cache.
compiler_cache=()
if command -v ccache >/dev/null; then
  compiler_cache=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR=$root CCACHE_NOHASHDIR=true
fi
