#!/usr/bin/env bash
# Makes a fresh office database with scripts/office-db.sh on the test server and checks
# what each clerk may see and write there.
set -uo pipefail

if [ -z "${QUILLMARSH_TEST_PG:-}" ]; then
  if [ "${QUILLMARSH_REQUIRE_POSTGRES:-}" = 1 ]; then
    echo "FAIL: QUILLMARSH_TEST_PG is not set but QUILLMARSH_REQUIRE_POSTGRES=1"
    exit 1
  fi
  echo "SKIP: no test PostgreSQL server (set QUILLMARSH_TEST_PG to an admin connection)"
  exit 0
fi
script=${QUILLMARSH_OFFICE_DB_SCRIPT:-$(cd "$(dirname "$0")/../.." && pwd)/scripts/office-db.sh}
admin=$QUILLMARSH_TEST_PG
db=tst_officedb_$$_$RANDOM
export PGCLIENTENCODING=UTF8
trap 'psql -X -q "$admin" -c "DROP DATABASE IF EXISTS $db WITH (FORCE)" >/dev/null 2>&1' EXIT

failures=0
check() { # check DESCRIPTION COMMAND...: the command succeeds
  local what=$1
  shift
  if "$@" >/dev/null 2>&1; then echo "PASS: $what"; else echo "FAIL: $what"; failures=$((failures + 1)); fi
}
refused() { ! "$@"; }
as() { psql -X -At -v ON_ERROR_STOP=1 "$admin dbname=$db user=$1" -c "$2"; }
is() { [ "$(as "$1" "$2" 2>&1)" = "$3" ]; }
schema() { # tables, rules and grants of the database, and the roles
  pg_dump -s "$admin dbname=$db" | grep -v '^\\\(un\)\?restrict '
  as postgres "SELECT datacl FROM pg_database WHERE datname = current_database();
    SELECT r.rolname, r.rolcanlogin, array(SELECT b.rolname FROM pg_auth_members m JOIN pg_roles b ON b.oid = m.roleid
    WHERE m.member = r.oid) FROM pg_roles r WHERE r.rolname ~ '^(clerk|quillmarsh)' ORDER BY 1"
}

check "first run makes the database" bash "$script" "$admin" "$db" clerk1 clerk2
before=$(schema)
check "second run succeeds" bash "$script" "$admin" "$db" clerk1 clerk2
check "second run changes nothing" test "$before" = "$(schema)"
check "schema version is 1" is clerk1 'SELECT Version FROM "版本"' 1
check "format table starts empty" is clerk1 'SELECT count(*) FROM "格式"' 0

check "clerk1 saves a record" as clerk1 "INSERT INTO \"出口\" (Ord, Dat, Ctl, Con) VALUES (1, 45000, 0, 'r1')"
check "clerk1 saves a working record" as clerk1 "INSERT INTO \"出口\" (Ord, Dat, Ctl, Con) VALUES (-1, 45000, 0, 'w1')"
check "a record carries its clerk" is clerk1 'SELECT Clerk FROM "出口" WHERE Ord = 1' clerk1
check "clerk2 sees the record" is clerk2 'SELECT Con FROM "出口" WHERE Ord = 1' r1
check "clerk2 does not see clerk1's working record" is clerk2 'SELECT count(*) FROM "出口" WHERE Ord = -1' 0
check "clerk2 cannot delete clerk1's working record" is clerk2 'WITH d AS (DELETE FROM "出口" WHERE Ord = -1 RETURNING 1) SELECT count(*) FROM d' 0
check "clerk1's working record is still there" is clerk1 'SELECT Con FROM "出口" WHERE Ord = -1' w1
check "clerk2 cannot write a record as clerk1" refused as clerk2 "INSERT INTO \"出口\" VALUES (2, 45000, 0, 'x', 'clerk1')"
check "clerk2 cannot write a working record as clerk1" refused as clerk2 "INSERT INTO \"进口\" VALUES (-1, 45000, 0, 'x', 'clerk1')"
check "a duplicate record number is refused" refused as clerk2 "INSERT INTO \"出口\" (Ord, Dat, Ctl, Con) VALUES (1, 45000, 0, 'dup')"
check "a second working record is refused" refused as clerk1 "INSERT INTO \"出口\" (Ord, Dat, Ctl, Con) VALUES (-1, 45000, 0, 'w2')"
check "clerk2 keeps a working record of its own" as clerk2 "INSERT INTO \"出口\" (Ord, Dat, Ctl, Con) VALUES (-1, 45000, 0, 'w2')"
check "clerk1 keeps a last-exit layout" as clerk1 "INSERT INTO \"格式\" (Name, Ctl, Clerk) VALUES ('last', 0, 'clerk1')"
check "clerk2 does not see clerk1's last-exit layout" is clerk2 'SELECT count(*) FROM "格式"' 0
check "clerk2 cannot write a layout as clerk1" refused as clerk2 "INSERT INTO \"格式\" (Name, Ctl, Clerk) VALUES ('x', 0, 'clerk1')"
check "clerk1 saves a scanned form" as clerk1 "INSERT INTO \"底图\" VALUES (0, 'a.png', '\\x00', 0, 0, 1)"
check "clerk1 cannot change the schema version" refused as clerk1 'UPDATE "版本" SET Version = 2'
check "clerk1 cannot drop a table" refused as clerk1 'DROP TABLE "出口"'
check "clerk1 cannot alter a table" refused as clerk1 'ALTER TABLE "出口" DISABLE ROW LEVEL SECURITY'
check "clerk1 cannot create a table" refused as clerk1 'CREATE TABLE x()'
check "a database name with bad characters is refused" refused bash "$script" "$admin" "x;DROP" clerk1
check "a clerk name with bad characters is refused" refused bash "$script" "$admin" "$db" 'clerk"1'

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
