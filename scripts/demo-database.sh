#!/usr/bin/env bash
# Makes a folder ready for the program to run on a local demo database:
# creates POSDATA.FDB there when it is missing, and writes dlconnections.ini
# and dldrivers.ini when they are missing. Never overwrites a file the user
# already has.
#
#   scripts/demo-database.sh FOLDER
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
folder=$(cd "${1:?usage: demo-database.sh FOLDER}" && pwd)
database=$folder/POSDATA.FDB

source "$here/firebird-lock.sh"

write_if_missing() {
  local file=$1
  if [[ -e $file ]]; then
    echo "Keeping your $file"
    cat >/dev/null
  else
    cat >"$file"
    echo "Wrote $file"
  fi
}

# Embedded access ignores the password; the lines match what a server
# installation would use so the file is a template for one.
write_if_missing "$folder/dlconnections.ini" <<INI
[VuzEza]
DriverName=Firebird
Database=$database
RoleName=RoleName
User_Name=sysdba
Password=quorvane
ServerCharSet=
SQLDialect=3
BlobSize=-1
CommitRetain=False
WaitOnLocks=True
ErrorResourceFile=
LocaleCode=0000
Firebird TransIsolation=ReadCommited
Trim Char=False
INI

write_if_missing "$folder/dldrivers.ini" <<INI
[Firebird]
LibraryName=libdlfirebird.so
VendorLib=libfbclient.so.2
GetDriverFunc=getSQLDriverFIREBIRD
INI

if [[ -e $database ]]; then
  echo "Keeping the database $database"
  exit 0
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
{
  cat <<SQL
SET SQL DIALECT 3;
CREATE DATABASE '$database' USER 'SYSDBA' PASSWORD 'quorvane'
  PAGE_SIZE 8192 DEFAULT CHARACTER SET BIG_5;
CREATE TABLE PROD_ITEM (
  PD_ITEMID   VARCHAR(10) NOT NULL PRIMARY KEY,
  PD_ITEMNAME VARCHAR(40),
  D_PROFIT1 NUMERIC(9,2), D_PROFIT2 NUMERIC(9,2), D_PROFIT3 NUMERIC(9,2),
  D_PROFIT4 NUMERIC(9,2), D_PROFIT5 NUMERIC(9,2), D_PROFIT6 NUMERIC(9,2)
);
CREATE TABLE PRODUCT (
  PROD_ID     VARCHAR(20) NOT NULL PRIMARY KEY,
  PROD_NAME   VARCHAR(50),
  STD_COST    NUMERIC(15,2),
  PD_ITEMID   VARCHAR(10),
  SALE_PRICE  NUMERIC(15,2), N_PRICE  NUMERIC(15,2), P_PRICE     NUMERIC(15,2),
  P_PRICE2    NUMERIC(15,2), PSALE_PRICE NUMERIC(15,2), VIP_PRICE NUMERIC(15,2)
);
CREATE INDEX PRODUCT_PD_ITEMID ON PRODUCT (PD_ITEMID);
COMMIT;
SQL
  awk -f "$here/demo-data.awk" "$here/demo-catalogue.txt"
  echo "COMMIT;"
} | iconv -f UTF-8 -t CP950 >"$work/create.sql"

# The script's bytes are Big5, so the session says so.
if ! isql-fb -q -ch BIG_5 -b -i "$work/create.sql" >"$work/isql.log" 2>&1; then
  cat "$work/isql.log" >&2
  rm -f "$database"
  echo "Could not create the demo database $database" >&2
  exit 1
fi
echo "Created the demo database $database"
