# Sourced by the scripts that open a database file directly (embedded).
# The engine keeps its lock files in /tmp/firebird, which the server package
# opens to root and the firebird group only; anyone else gets a folder of
# their own, which is safe as long as no server opens the same files.
if [[ -z ${FIREBIRD_LOCK:-} && ! -w /tmp/firebird && $(id -u) -ne 0 ]]; then
  export FIREBIRD_LOCK=${XDG_RUNTIME_DIR:-/tmp}/tarvell-firebird-lock-$(id -u)
  mkdir -p "$FIREBIRD_LOCK"
fi
