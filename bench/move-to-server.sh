#!/bin/sh
# The move of the kept 100,000-trade file into a team's server, whole process, beside a raw copy of
# the same rows: each table as CSV from the sqlcipher shell into psql's \copy, into a database whose
# tables the program made (so the server's own rules run for both).
#   bench/move-to-server.sh [BUILD]      (after bench_server has made the file)
set -eu
BUILD=${1:-build/release}
EXE=$PWD/$BUILD/app/gaveldesk
FILE=$(ls "${TMPDIR:-/tmp}"/gaveldesk-bench-sqlcipher4-v*-100000-20000-2000.mdb | tail -1)
WORK=$(mktemp -d)
trap 'python3 tests/support/pgserver.py stop "$WORK/pg" >/dev/null 2>&1 || true; rm -rf "$WORK"' EXIT
python3 tests/support/pgserver.py start "$WORK/pg" >/dev/null
PORT=$(cat "$WORK/pg/port")
sql() { PGSSLMODE=disable psql -X -q -v ON_ERROR_STOP=1 -h 127.0.0.1 -p "$PORT" -U gaveldesk "$@"; }
sql -d postgres -c "create database umzug" -c "create database roh"
url() { echo "postgresql://gaveldesk@127.0.0.1:$PORT/$1?sslmode=disable"; }
mkdir -p "$WORK/home/bin"
cp resources/bin/* "$WORK/home/bin/"
printf '[User]\r\nUsername=haendler\r\n' >"$WORK/home/bin/config.ini"
run() { GAVELDESK_HOME="$WORK/home" "$EXE" "$@" >/dev/null; }

start=$(date +%s.%N)
run --database "$FILE" --move-to "$(url umzug)" 2>/dev/null
moved=$(echo "$(date +%s.%N) - $start" | bc)

run --database "$(url roh)" --list  # the program makes the tables
start=$(date +%s.%N)
for t in Kunden Auktionen; do
  cols=$(sqlcipher -cmd "PRAGMA key='kaltwind';" "$FILE" "select group_concat(name, ',') from pragma_table_info('$t');" | tail -1)
  sqlcipher -csv -cmd "PRAGMA key='kaltwind';" "$FILE" "select rowid, * from $t;" | tail -n +2 |
    sql -d roh -c "\\copy $(echo "$t" | tr 'A-Z' 'a-z') (rowid,$(echo "$cols" | tr 'A-Z' 'a-z')) from stdin csv"
done
raw=$(echo "$(date +%s.%N) - $start" | bc)
printf '100,000 trades to a server: --move-to %s s, raw copy (sqlcipher CSV into psql \\copy) %s s, ratio %s\n' \
  "$moved" "$raw" "$(echo "scale=2; $moved / $raw" | bc)"
