#!/usr/bin/env bash
# Starts or stops a Firebird 3 server on the loopback interface for the tests
# that go through a server.
#
#   scripts/firebird-server.sh start   # SYSDBA's password becomes $TARVELL_FB_PASSWORD
#   scripts/firebird-server.sh stop
#
# The server runs as the firebird user without systemd; its PID and log are
# kept in $TARVELL_FB_STATE (default /tmp/tarvell-firebird-server). A server
# that is already answering with the expected password is used as it is and
# left running by stop.
set -euo pipefail

password=${TARVELL_FB_PASSWORD:-quorvane}
state=${TARVELL_FB_STATE:-/tmp/tarvell-firebird-server}
pidfile=$state/firebird.pid
logfile=$state/firebird.log
server=/usr/sbin/firebird
root=/usr/lib/x86_64-linux-gnu/firebird/3.0
system_conf=/etc/firebird/3.0/firebird.conf

as_root=()
[[ $(id -u) -eq 0 ]] || as_root=(sudo)
as_firebird=("${as_root[@]}" setpriv --reuid=firebird --regid=firebird --init-groups
             env -u FIREBIRD_LOCK -u FIREBIRD -u ISC_USER -u ISC_PASSWORD)

die() { echo "firebird-server: $*" >&2; exit 1; }

answers() {
  fbsvcmgr localhost:service_mgr user SYSDBA password "$password" info_server_version >/dev/null 2>&1
}

running() { [[ -s $pidfile ]] && kill -0 "$(cat "$pidfile")" 2>/dev/null; }

security_database() {
  local found
  for found in /var/lib/firebird/3.0/system/security3.fdb "$root"/security3.fdb; do
    [[ -f $found ]] && { echo "$found"; return; }
  done
  die "security database not found"
}

# The effective RemoteBindAddress of a configuration file (empty: all interfaces).
bind_address() {
  sed -n 's/^[[:space:]]*RemoteBindAddress[[:space:]]*=[[:space:]]*\([^[:space:]#]*\).*/\1/p' "$1" | tail -n 1
}

is_loopback() { [[ $1 == localhost || $1 == 127.0.0.1 || $1 == ::1 ]]; }

# With a system configuration that listens beyond loopback, the server gets a
# root folder of ours: the installed one with a firebird.conf that binds to
# 127.0.0.1 (FIREBIRD points the server at it).
server_environment() {
  if is_loopback "$(bind_address "$system_conf")" && [[ -z ${TARVELL_FB_PRIVATE_CONF:-} ]]; then
    return
  fi
  local private=$state/root
  rm -rf "$private"
  mkdir -p "$private"
  local entry name
  for entry in "$root"/*; do
    name=$(basename "$entry")
    case $name in
      firebird.conf) ;;
      # The character sets are not found through a linked folder.
      intl) mkdir "$private/intl" && cp -L "$entry"/* "$private/intl/" ;;
      *) ln -s "$(readlink -f "$entry")" "$private/$name" ;;
    esac
  done
  { grep -v '^[[:space:]]*RemoteBindAddress' "$system_conf"; echo "RemoteBindAddress = 127.0.0.1"; } \
    >"$private/firebird.conf"
  chmod -R a+rX "$private"
  echo "FIREBIRD=$private"
}

# Sets SYSDBA's password straight in the security database (embedded, as the
# firebird user so that lock files stay the server's), whatever it was.
set_password() {
  local output
  output=$(printf "CREATE OR ALTER USER SYSDBA PASSWORD '%s' USING PLUGIN Srp;\nCOMMIT;\n" "$password" |
    "${as_firebird[@]}" isql-fb -q -user SYSDBA "$(security_database)" 2>&1) ||
    die "could not set the SYSDBA password: $output"
  [[ -z $output ]] || die "could not set the SYSDBA password: $output"
}

check_loopback_only() {
  local pid=$1 addresses
  addresses=$(ss -ltnpH 2>/dev/null | grep "pid=$pid," | awk '{print $4}' || true)
  [[ -n $addresses ]] || return 0
  local address
  for address in $addresses; do
    case $address in
      127.0.0.1:* | \[::1\]:* | ::1:*) ;;
      *) stop_server; die "server listened on $address; stopped it" ;;
    esac
  done
}

start_server() {
  if running && answers; then echo "firebird-server: already running (pid $(cat "$pidfile"))"; return; fi
  if ! running && answers; then echo "firebird-server: using the server already running"; return; fi
  [[ -x $server ]] || die "$server not installed (scripts/install-deps.sh)"
  "${as_root[@]}" mkdir -p "$state"
  "${as_root[@]}" chmod 755 "$state"
  if running; then stop_server; fi

  set_password
  local environment
  environment=$(server_environment)
  # shellcheck disable=SC2086
  "${as_firebird[@]}" $environment "$server" >"$logfile" 2>&1 &
  echo $! >"$pidfile"

  local waited=0
  until answers; do
    if ! running; then cat "$logfile" >&2; rm -f "$pidfile"; die "server ended at start"; fi
    ((waited++ < 60)) || { stop_server; die "server did not answer within 30 s"; }
    sleep 0.5
  done
  check_loopback_only "$(cat "$pidfile")"
  echo "firebird-server: started (pid $(cat "$pidfile")) on 127.0.0.1"
}

stop_server() {
  if ! [[ -s $pidfile ]]; then echo "firebird-server: not started by this script"; return; fi
  local pid
  pid=$(cat "$pidfile")
  if kill -0 "$pid" 2>/dev/null; then
    "${as_root[@]}" kill -TERM "$pid" 2>/dev/null || true
    local waited=0
    while kill -0 "$pid" 2>/dev/null && ((waited++ < 40)); do sleep 0.5; done
    kill -0 "$pid" 2>/dev/null && "${as_root[@]}" kill -KILL "$pid" 2>/dev/null || true
  fi
  rm -f "$pidfile"
  echo "firebird-server: stopped"
}

case ${1:-} in
  start) start_server ;;
  stop) stop_server ;;
  *) echo "usage: $0 start|stop" >&2; exit 2 ;;
esac
