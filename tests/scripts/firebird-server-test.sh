#!/usr/bin/env bash
# Checks scripts/firebird-server.sh as root: the server it starts runs as an
# unprivileged user and changes nothing outside its state folder, two starts
# on one state folder give one server and one clean failure, and a state
# folder the server's user could not reach, or that another user made, is
# refused with a reason.
#
#   firebird-server-test.sh SCRIPT
#
# Runs in a mount namespace of its own, where the machine's Firebird log
# folder and lock folder are replaced by empty ones owned as the real ones
# are: whatever the server or the script writes there shows, and the tests
# and servers of others that write to the real ones meanwhile do not.
# Exits 77 (skipped) when not root or without mount namespaces.
set -uo pipefail
script=${1:?path of firebird-server.sh}

if (($(id -u) != 0)); then
  echo "skipped: only root starts the server as another user"
  exit 77
fi
if [[ -z ${TARVELL_FB_TEST_NAMESPACE:-} ]]; then
  TARVELL_FB_TEST_NAMESPACE=1 exec unshare --mount --propagation private "$0" "$@" ||
    { echo "skipped: no mount namespace"; exit 77; }
fi

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

# An empty folder over a machine folder, with its owner and mode.
shadow() {
  local folder=$1 owner=root: mode=755
  if [[ -d $folder ]]; then
    owner=$(stat -c %U:%G "$folder")
    mode=$(stat -c %a "$folder")
  fi
  mkdir -p "$folder"
  mount -t tmpfs tmpfs "$folder" || { echo "skipped: cannot mount over $folder"; exit 77; }
  chown "$owner" "$folder"
  chmod "$mode" "$folder"
}
machine_folders=(/var/log/firebird /tmp/firebird)
for folder in "${machine_folders[@]}"; do shadow "$folder"; done

work=$(mktemp -d)
chmod 711 "$work"
export TMPDIR=$work/tmp  # the script's port registry
mkdir "$TMPDIR"
export TARVELL_FB_PASSWORD=quorvane
unset TARVELL_FB_PORT TARVELL_FB_OWNER TARVELL_FB_SERVER_USER
cleanup() {
  for state in "$work"/state*; do TARVELL_FB_STATE=$state "$script" kill >/dev/null 2>&1; done
  rm -rf "$work"
}
trap cleanup EXIT

# The PIDs of servers whose root folder lies in state folder $1.
servers_of() {
  local environ
  for environ in /proc/[0-9]*/environ; do
    [[ $(readlink "${environ%/environ}/exe" 2>/dev/null) == /usr/sbin/firebird ]] || continue
    tr '\0' '\n' <"$environ" 2>/dev/null | grep -qxF "FIREBIRD=$1/root" && basename "${environ%/environ}"
  done
}

client() { env -u FIREBIRD -u FIREBIRD_LOCK -u ISC_USER -u ISC_PASSWORD "$@"; }

# 1. The server's user, and its work through a client: a database made by
#    root and handed over, as the tests do, read and written through it.
#    The server logs a line at every start (an IPv6 socket option on a
#    server bound to IPv4), which a server allowed to would write to the
#    machine's log folder.
state=$work/state
if port=$(TARVELL_FB_STATE=$state "$script" start 2>"$work/start.err"); then
  pid=$(cat "$state/firebird.pid")
  user=$(ps -o user= -p "$pid")
  [[ $user == nobody ]] && pass "the server runs as nobody" || fail "the server runs as '$user'"
  mkdir "$work/db" && chmod 711 "$work/db"
  database=$work/db/T.FDB
  printf "CREATE DATABASE '%s' USER SYSDBA;\n" "$database" | FIREBIRD_LOCK=$work/tmp isql-fb -q
  chown nobody: "$work/db" "$database"
  output=$(printf "CREATE TABLE T (A INTEGER);\nINSERT INTO T VALUES (7);\nCOMMIT;\nSELECT A FROM T;\n" |
    client isql-fb -q -user SYSDBA -password quorvane "127.0.0.1/$port:$database" 2>&1)
  [[ $output == *7* ]] && pass "a database handed to the server's user is written through it" ||
    fail "the server could not use the database: $output"
  TARVELL_FB_STATE=$state "$script" stop 2>/dev/null
  [[ -z $(servers_of "$state") ]] && pass "stop ends the server" || fail "a server of $state still runs"
  owner=$(stat -c %U "$state/data/security3.fdb" 2>/dev/null)
  [[ $owner == nobody ]] && pass "the security database is the server user's" ||
    fail "security database owned by '$owner'"
else
  fail "start as root: $(cat "$work/start.err")"
fi
for folder in "${machine_folders[@]}"; do
  left=$(ls -A "$folder")
  [[ -z $left ]] && pass "nothing written to $folder" || fail "written to $folder: $left"
done

# 2. Two starts at once on one state folder.
state=$work/state-race
TARVELL_FB_STATE=$state "$script" start >"$work/first.out" 2>&1 &
first=$!
TARVELL_FB_STATE=$state "$script" start >"$work/second.out" 2>&1 &
second=$!
wait $first; first_status=$?
wait $second; second_status=$?
if ((first_status == 0 && second_status != 0)); then lost=$work/second.out
elif ((first_status != 0 && second_status == 0)); then lost=$work/first.out
else lost=""; fi
if [[ -n $lost ]] && grep -q "another start is using" "$lost"; then
  pass "of two starts one fails cleanly: $(tail -n 1 "$lost")"
else
  fail "two starts: statuses $first_status and $second_status: $(cat "$work/first.out" "$work/second.out")"
fi
count=$(servers_of "$state" | wc -l)
((count == 1)) && pass "one server for two starts" || fail "$count servers for two starts"
TARVELL_FB_STATE=$state "$script" stop >/dev/null 2>&1

# 3. State folders the script refuses, each with its reason and no server.
mkdir -m 700 "$work/closed"
refused() {
  local label=$1 state=$2 reason=$3 output
  if output=$(TARVELL_FB_STATE=$state "$script" start 2>&1); then
    fail "$label: started ($output)"
  elif [[ $output != *"$reason"* ]]; then
    fail "$label: $output"
  elif [[ -n $(servers_of "$state") ]]; then
    fail "$label: a server runs"
  else
    pass "$label: $(tail -n 1 <<<"$output")"
  fi
}
refused "a state folder the server's user cannot reach" "$work/closed/state" "cannot reach"
mkdir "$work/state-other" && chown nobody: "$work/state-other"
refused "a state folder another user made" "$work/state-other" "is not a folder of root's own"

((failures == 0)) || { echo "$failures failed"; exit 1; }
echo "all passed"
