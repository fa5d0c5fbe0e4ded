#!/bin/sh
# Whole-process figures: the start to a painted window with its whole list, and
# the command-line import of 1,000 mails.
#   bench/start-and-import.sh TIMER [BUILD]
# TIMER runs a command as a whole process and pairs it with a second one
# ("TIMER --vs 'B' -- A" prints the ratio A/B per pair).
set -eu
TIMER=${1:?a timing command}
BUILD=${2:-build/release}
EXE=$PWD/$BUILD/app/gaveldesk
RAW=$PWD/$BUILD/bench/raw_start
WORK=${TMPDIR:-/tmp}/gaveldesk-process-bench

home() {  # $1 folder: program files, settings for the user "haendler", an empty database
  rm -rf "$1"; mkdir -p "$1/bin"
  cp resources/bin/* "$1/bin/"
  printf '[User]\r\nUsername=haendler\r\n' >"$1/bin/config.ini"
  GAVELDESK_HOME="$1" "$EXE" --create-database "$1/gaveldesk.mdb" >/dev/null
}

trades() {  # $1 folder, $2 trades: one partner for five trades, mails of 2,000 bytes
  [ -f "$1/.made-$2" ] && return
  home "$1"
  sqlcipher "$1/gaveldesk.mdb" >/dev/null <<SQL
PRAGMA key='kaltwind';
BEGIN;
WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < $2 / 5)
INSERT INTO Kunden (KundenNr, Name, ebayName, Kunde, Standarduser)
  SELECT i, 'Kunde ' || i, 'mitglied_' || i, 1, 'haendler' FROM n;
WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i + 1 < $2)
INSERT INTO Auktionen (AuktionsID, AuktionsNr, Titel, EndeDatum, Status, Betrag, ebayName, EmailText, Standarduser)
  SELECT 'id' || i, 1000000 + i, 'Artikel Nummer ' || i || ' in gutem Zustand',
         printf('20%02d-%02d-%02d 12:%02d:00', 20 + i % 7, 1 + i % 12, 1 + i % 28, i % 60), 'Bezahlt',
         (5 + i % 200) || ',90', 'mitglied_' || (i % ($2 / 5)), substr(hex(zeroblob(1000)), 1, 2000), 'haendler' FROM n;
COMMIT;
SQL
  touch "$1/.made-$2"
}

mails() {  # $1 folder, $2 "one" buyer or "many": 1,000 sale notifications
  rm -rf "$1"; mkdir -p "$1"
  i=0
  while [ $i -lt 1000 ]; do
    buyer=mueller_hans; [ "$2" = many ] && buyer="kaeufer_$i"
    sed -e "s/1234567890/$((5000000 + i))/g" -e "s/mueller_hans/$buyer/g" tests/data/mails/verkauf.txt >"$1/mail$i.txt"
    i=$((i + 1))
  done
}

for n in 10000 100000; do
  trades "$WORK/start-$n" $n
  echo "== start to the painted whole list, $n trades (A: program, B: yardstick)"
  GAVELDESK_HOME="$WORK/start-$n" GAVELDESK_QUIT_AFTER_START=1 QT_QPA_PLATFORM=offscreen \
    "$TIMER" -n 7 --timeout 600 --vs "$RAW $WORK/start-$n/gaveldesk.mdb" -- "$EXE"
done

# The yardstick of the import is in bench_import (the same files through the C API).
for kind in one many; do
  mails "$WORK/mails-$kind" $kind
  echo "== --import of 1,000 mails, $kind buyer(s), into a new database"
  home "$WORK/import-$kind"
  GAVELDESK_HOME="$WORK/import-$kind" "$TIMER" -n 5 --warmup 0 --timeout 600 \
    -- sh -c "rm -f $WORK/import-$kind/gaveldesk.mdb; $EXE --create-database >/dev/null; exec $EXE --import $WORK/mails-$kind/*.txt"
done
