# Sourced by scripts/test.sh: a throwaway PostgreSQL 15 server for the office-database
# tests. It listens only on a Unix socket in its own temporary folder, trusts every local
# connection and is removed again by stop_test_postgres.
#
#   source scripts/test-postgres.sh; start_test_postgres; trap stop_test_postgres EXIT

test_postgres_bin=/usr/lib/postgresql/15/bin
test_postgres_dir=""

# Runs a server program as the postgres user when we are root (the server refuses to run
# as root), else as ourselves.
test_postgres_as_owner() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u postgres -- "$@"
  else
    "$@"
  fi
}

start_test_postgres() {
  if [ ! -x "$test_postgres_bin/pg_ctl" ]; then
    echo "test-postgres: $test_postgres_bin/pg_ctl not found (package postgresql-15)" >&2
    return 1
  fi
  # A short path: the socket's full name must stay under 108 bytes.
  test_postgres_dir=$(mktemp -d /tmp/quillmarsh-pg.XXXXXX)
  # Others may enter to reach the socket; the data folder itself stays private.
  chmod 0755 "$test_postgres_dir"
  [ "$(id -u)" -ne 0 ] || chown postgres: "$test_postgres_dir"
  if ! test_postgres_as_owner "$test_postgres_bin/initdb" -D "$test_postgres_dir/data" -U postgres \
      --auth=trust -E UTF8 --locale=C.UTF-8 --no-sync >"$test_postgres_dir/initdb.log" 2>&1; then
    cat "$test_postgres_dir/initdb.log" >&2
    echo "test-postgres: initdb failed" >&2
    return 1
  fi
  if ! test_postgres_as_owner "$test_postgres_bin/pg_ctl" -D "$test_postgres_dir/data" -w -t 60 \
      -l "$test_postgres_dir/server.log" \
      -o "-c listen_addresses='' -k $test_postgres_dir -c fsync=off -c full_page_writes=off -c synchronous_commit=off" \
      start >/dev/null; then
    cat "$test_postgres_dir/server.log" >&2
    echo "test-postgres: the server did not start" >&2
    return 1
  fi
  export QUILLMARSH_TEST_PG="host=$test_postgres_dir user=postgres dbname=postgres"
  export QUILLMARSH_REQUIRE_POSTGRES=1
  QUILLMARSH_OFFICE_DB_SCRIPT="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/office-db.sh"
  export QUILLMARSH_OFFICE_DB_SCRIPT
  echo "Test PostgreSQL server: socket in $test_postgres_dir"
}

stop_test_postgres() {
  [ -n "$test_postgres_dir" ] || return 0
  if [ -f "$test_postgres_dir/data/postmaster.pid" ]; then
    test_postgres_as_owner "$test_postgres_bin/pg_ctl" -D "$test_postgres_dir/data" -m fast -w \
      stop >/dev/null 2>&1 || true
  fi
  rm -rf "$test_postgres_dir"
  test_postgres_dir=""
  unset QUILLMARSH_TEST_PG QUILLMARSH_OFFICE_DB_SCRIPT
}
