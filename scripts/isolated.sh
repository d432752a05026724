#!/usr/bin/env bash
# Runs a command so that, started by root, it cannot leave files of root's
# in the machine's Firebird folders: the client library in every test
# program writes the machine's Firebird log when a server goes away, and
# the embedded engine keeps lock files in /tmp/firebird; made by root, the
# machine's own server (which runs as firebird) can no longer write them.
# With a mount namespace, the command sees empty folders of its own there;
# without one (not root, or a container that forbids it) it runs as it is.
#
#   scripts/isolated.sh COMMAND [ARG...]
set -euo pipefail

machine_folders=(/var/log/firebird /tmp/firebird)

if (($(id -u) != 0)) || [[ -n ${TARVELL_ISOLATED:-} ]] ||
  ! unshare --mount --propagation private true 2>/dev/null; then
  exec "$@"
fi

exec env TARVELL_ISOLATED=1 unshare --mount --propagation private bash -c '
  set -euo pipefail
  for folder in '"${machine_folders[*]}"'; do
    owner=root:root mode=755
    if [[ -d $folder ]]; then
      owner=$(stat -c %U:%G "$folder")
      mode=$(stat -c %a "$folder")
    fi
    mkdir -p "$folder"
    mount -t tmpfs tmpfs "$folder"
    chown "$owner" "$folder"
    chmod "$mode" "$folder"
  done
  exec "$@"
' isolated "$@"
