#!/usr/bin/env bash
# Starts or stops a private Firebird 3 server for the tests that go through a
# server.
#
#   scripts/firebird-server.sh start   # prints the port it listens on
#   scripts/firebird-server.sh stop
#   scripts/firebird-server.sh kill    # ends it at once, as a crash would (for tests)
#
# The instance is the tests' own: a root folder with its own firebird.conf,
# databases.conf and security database (SYSDBA's password is
# $TARVELL_FB_PASSWORD, default quorvane), its own lock folder, its PID and
# console output, all under $TARVELL_FB_STATE (default
# ${XDG_RUNTIME_DIR:-/tmp}/tarvell-firebird-server-<uid>, always /tmp for
# root, whose runtime folder the server's user may not enter). It listens on
# 127.0.0.1 only, on $TARVELL_FB_PORT when that is set, otherwise on the port
# it used last time or the first free one from 3051 up that no other state
# folder holds (a stopped server keeps its port for its next start). It runs
# as the invoking user, so it opens the files that user's tests create;
# started by root it runs as $TARVELL_FB_SERVER_USER (default nobody), and
# the tests hand it their database files. The installed Firebird (its
# firebird.conf, security database, log, lock folder and system server) is
# left as it is: everything the server writes lies under the state folder.
# When $TARVELL_FB_OWNER names a process (a test that starts a server of its
# own), the server ends with that process too, even when it crashes before
# it could stop the server.
set -euo pipefail

password=${TARVELL_FB_PASSWORD:-quorvane}
runtime=${XDG_RUNTIME_DIR:-/tmp}
(($(id -u) != 0)) || runtime=/tmp
state=${TARVELL_FB_STATE:-$runtime/tarvell-firebird-server-$(id -u)}
root=$state/root
lock=$state/lock
data=$state/data
scratch=$state/tmp
pidfile=$state/firebird.pid
portfile=$state/port
logfile=$state/firebird.log
server=/usr/sbin/firebird

die() { echo "firebird-server: $*" >&2; exit 1; }
say() { echo "firebird-server: $*" >&2; }

# The installed Firebird 3 root folder (its plugins, messages and character
# sets), which lies in the machine's own multiarch library folder: asked of
# dpkg when it knows, else looked for.
installed_root() {
  local multiarch candidate
  multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || gcc -print-multiarch 2>/dev/null || true)
  for candidate in ${multiarch:+"/usr/lib/$multiarch/firebird/3.0"} /usr/lib/*/firebird/3.0 /usr/lib/firebird/3.0; do
    if [[ -f $candidate/firebird.msg && -d $candidate/plugins ]]; then
      echo "$candidate"
      return
    fi
  done
  die "no Firebird 3 installation found (firebird.msg and plugins/ under /usr/lib/<arch>/firebird/3.0); scripts/install-deps.sh installs it"
}

# Started by root, the server runs as a user who owns nothing of the
# machine's: nobody, whom every Debian system has. Firebird's own user would
# do too, but it may write the machine's Firebird log, lock folder and
# databases, which a test server must leave alone; nobody may write none of
# them, so whatever the server does, it only changes what is handed to it
# here (the data, lock and tmp folders) and the tests' database files.
as_server=()
server_user=$(id -un)
if (($(id -u) == 0)); then
  server_user=${TARVELL_FB_SERVER_USER:-nobody}
  id -u "$server_user" >/dev/null 2>&1 || die "no user $server_user to run the server as (TARVELL_FB_SERVER_USER)"
  (($(id -u "$server_user") != 0)) || die "the server must not run as root (TARVELL_FB_SERVER_USER=$server_user)"
  as_server=(setpriv --reuid="$(id -u "$server_user")" --regid="$(id -g "$server_user")" --clear-groups --no-new-privs)
fi

# Client calls go to our instance by address; the server and the embedded
# engine find our root, lock and temporary folders through these variables.
ours=(env -u ISC_USER -u ISC_PASSWORD FIREBIRD="$root" FIREBIRD_LOCK="$lock" FIREBIRD_TMP="$scratch" "${as_server[@]}")
client=(env -u FIREBIRD -u FIREBIRD_LOCK -u ISC_USER -u ISC_PASSWORD)

answers() {
  "${client[@]}" fbsvcmgr "127.0.0.1/$1:service_mgr" user SYSDBA password "$password" \
    info_server_version >/dev/null 2>&1
}

# Our server, and not some other process that took over its PID.
running() {
  [[ -s $pidfile ]] || return 1
  local pid
  pid=$(cat "$pidfile")
  kill -0 "$pid" 2>/dev/null && [[ $(readlink "/proc/$pid/exe" 2>/dev/null) == "$server" ]]
}

# Something accepts connections on 127.0.0.1:port.
port_taken() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

# A port handed out stays with its state folder for as long as that folder
# exists, its server running or not: a test that stops its own server to
# start it again on the same port must not find another instance there
# meanwhile. The reservation is a link, named by the port, to the folder.
registry=${TMPDIR:-/tmp}/tarvell-firebird-ports-$(id -u)
reserve_port() {
  local link=$registry/$1 owner
  mkdir -p "$registry"
  ln -sT "$state" "$link" 2>/dev/null && return 0
  owner=$(readlink "$link") || return 1
  [[ $owner != "$state" ]] || return 0
  [[ ! -d $owner ]] || return 1
  rm -f "$link"
  ln -sT "$state" "$link" 2>/dev/null
}

# The port to listen on: $TARVELL_FB_PORT, else the last one used or the
# first free one from 3051 up, passing over those in $1 (tried already) and
# those another state folder holds.
choose_port() {
  local tried=" ${1:-} " port
  if [[ -n ${TARVELL_FB_PORT:-} ]]; then
    [[ $TARVELL_FB_PORT =~ ^[0-9]+$ ]] && ((TARVELL_FB_PORT > 0 && TARVELL_FB_PORT < 65536)) ||
      die "TARVELL_FB_PORT is not a port number: $TARVELL_FB_PORT"
    port_taken "$TARVELL_FB_PORT" && die "port $TARVELL_FB_PORT is in use by another program"
    echo "$TARVELL_FB_PORT"
    return
  fi
  if [[ -s $portfile ]]; then
    port=$(cat "$portfile")
    [[ $tried == *" $port "* ]] || port_taken "$port" || ! reserve_port "$port" || { echo "$port"; return; }
  fi
  for ((port = 3051; port < 3151; port++)); do
    [[ $tried == *" $port "* ]] || port_taken "$port" || ! reserve_port "$port" || { echo "$port"; return; }
  done
  die "no free port from 3051 to 3150; export TARVELL_FB_PORT to choose one"
}

# A root folder of our own: the installed one's files linked in, except the
# configuration we write ourselves. The character sets are not found through
# a linked folder, so that one is copied.
make_root() {
  local port=$1 entry name installed
  installed=$(installed_root)
  rm -rf "$root" "$lock" "$data" "$scratch"
  mkdir "$root" "$lock" "$data" "$scratch"
  # What the server may write; the root folder stays the caller's, so the
  # server cannot change its own configuration.
  [[ -z ${as_server[*]} ]] || chown "$server_user:" "$lock" "$data" "$scratch"
  for entry in "$installed"/*; do
    name=$(basename "$entry")
    case $name in
      firebird.conf | databases.conf | security3.fdb) ;;
      intl) mkdir "$root/intl" && cp -L "$entry"/* "$root/intl/" ;;
      *) ln -s "$(readlink -f "$entry")" "$root/$name" ;;
    esac
  done
  cat >"$root/firebird.conf" <<EOF
# Written by scripts/firebird-server.sh for the tests' private server.
RemoteBindAddress = 127.0.0.1
RemoteServicePort = $port
ServerMode = Super
SecurityDatabase = $data/security3.fdb
AuthServer = Srp
UserManager = Srp
UdfAccess = None
TempDirectories = $scratch
EOF
  cat >"$root/databases.conf" <<EOF
# Written by scripts/firebird-server.sh for the tests' private server.
security.db = $data/security3.fdb
{
	RemoteAccess = false
}
EOF
}

# A fresh security database of our own, opened embedded as the server's
# user; the user manager adds its tables with the first user.
make_security_database() {
  local output
  output=$(printf "CREATE DATABASE '%s' USER SYSDBA;\nCREATE USER SYSDBA PASSWORD '%s' USING PLUGIN Srp;\nCOMMIT;\n" \
    "$data/security3.fdb" "${password//\'/\'\'}" | "${ours[@]}" isql-fb -q 2>&1) ||
    die "could not create the security database: $output"
  [[ -z $output ]] || die "could not create the security database: $output"
}

# The state folder, made by this user and no other (a folder of that name
# made by someone else in /tmp is refused), which the server's user may
# enter but not list.
make_state_folder() {
  mkdir -p "$state"
  [[ -d $state && ! -L $state && -O $state ]] || die "$state is not a folder of $(id -un)'s own"
  if [[ -n ${as_server[*]} ]]; then chmod 711 "$state"; else chmod 700 "$state"; fi
}

# The server's user reaches its files; a folder above the state folder that
# is closed to others (a private temporary folder) is named here rather than
# left to a server that fails to start.
check_reachable() {
  [[ -n ${as_server[*]} ]] || return 0
  "${as_server[@]}" test -r "$root/firebird.conf" -a -w "$data" -a -w "$lock" ||
    die "the server's user $server_user cannot reach $state: a folder above it is closed to others (choose TARVELL_FB_STATE elsewhere, e.g. under /tmp)"
}

start_server() {
  make_state_folder
  # Two starts on one state folder would build its root folder at the same
  # time; the second fails at once instead of starting on half-made files.
  # The lock goes with this script, never with the server it starts.
  exec 9>"$state/start.lock"
  flock -n 9 || die "another start is using $state"
  if running; then
    local port
    port=$(cat "$portfile")
    if answers "$port"; then
      say "already running (pid $(cat "$pidfile")) on 127.0.0.1 port $port"
      echo "$port"
      return
    fi
    stop_server >/dev/null
  fi
  [[ -x $server ]] || die "$server not installed (scripts/install-deps.sh)"

  # A port found free may be taken by another instance starting at the same
  # moment; a port of our own choosing is then chosen again.
  local port attempt tried=""
  for attempt in 1 2 3 4 5; do
    port=$(choose_port "$tried")
    # Called as a command of its own, never as a condition, so that any step
    # of it that fails ends the script there with its message.
    launch "$port"
    if [[ $launched == yes ]]; then
      say "started (pid $(cat "$pidfile")) on 127.0.0.1 port $port"
      echo "$port"
      return
    fi
    [[ -z ${TARVELL_FB_PORT:-} ]] || break
    tried+=" $port"
  done
  cat "$logfile" >&2
  die "server ended at start"
}

# Kills the server ($2) once the owner ($1) has ended.
watch_owner() {
  setsid bash -c 'while kill -0 "$0" 2>/dev/null; do sleep 1; done
    [[ $(readlink "/proc/$1/exe" 2>/dev/null) == /usr/sbin/firebird ]] && kill -KILL "$1"' "$1" "$2" \
    </dev/null >/dev/null 2>&1 9>&- &
}

# Starts the server on port and waits until it answers. Sets launched to
# yes, or to no when the server ended before answering or lost the port to
# another; every other failure ends the script.
launched=no
launch() {
  local port=$1
  launched=no
  make_root "$port"
  check_reachable
  make_security_database
  echo "$port" >"$portfile"
  # A session of its own: an interrupted caller does not take the server
  # with it, stop does.
  "${ours[@]}" setsid "$server" </dev/null >"$logfile" 2>&1 9>&- &
  local pid=$! waited=0
  echo "$pid" >"$pidfile"
  [[ -z ${TARVELL_FB_OWNER:-} ]] || watch_owner "$TARVELL_FB_OWNER" "$pid"
  # The commands before it (env, setpriv, setsid) each hand the process on
  # to the next; until the server itself runs it is not yet ours to judge.
  while kill -0 "$pid" 2>/dev/null && [[ $(readlink "/proc/$pid/exe" 2>/dev/null) != "$server" ]] &&
    ((waited++ < 50)); do
    sleep 0.1
  done

  waited=0
  until answers "$port"; do
    if ! running; then
      rm -f "$pidfile"
      return
    fi
    ((waited++ < 60)) || { stop_server >/dev/null; die "server did not answer within 30 s"; }
    sleep 0.5
  done
  # Two starts at once may pick the same free port: the one that lost it
  # hears the other's server answer. It gives the port up and tries another.
  if ! listens_here "$port"; then
    stop_server 2>/dev/null
    return
  fi
  launched=yes
}

# Whether our server is the one listening on port $1.
listens_here() {
  ss -ltnpH "sport = :$1" 2>/dev/null | grep -q "pid=$(cat "$pidfile"),"
}

# $1: the signal that asks it to end, TERM for a shutdown, KILL for a crash.
stop_server() {
  if ! running; then
    rm -f "$pidfile"
    say "not running"
    return
  fi
  local pid waited=0
  pid=$(cat "$pidfile")
  kill "-${1:-TERM}" "$pid" 2>/dev/null || true
  # running, not kill -0: an ended server nobody has reaped yet counts as gone.
  while running && ((waited++ < 100)); do sleep 0.1; done
  if running; then kill -KILL "$pid" 2>/dev/null || true; fi
  rm -f "$pidfile"
  say "stopped"
}

case ${1:-} in
  start) start_server ;;
  stop) stop_server TERM ;;
  kill) stop_server KILL ;;
  *) echo "usage: $0 start|stop|kill" >&2; exit 2 ;;
esac
