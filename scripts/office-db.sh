#!/usr/bin/env bash
# Makes the shared office database on a PostgreSQL 13 or newer server: the tables, the
# row rules that keep each clerk's working record and last-exit layout their own, the
# clerks' group role and one login role per clerk. Run it as the server's admin; running
# it again changes nothing that is already there.
#
#   bash scripts/office-db.sh ADMIN_CONNINFO DBNAME CLERK...
#   bash scripts/office-db.sh "host=db.example user=postgres dbname=postgres" quillmarsh clerk1 clerk2
set -euo pipefail

usage() {
  echo "usage: $0 ADMIN_CONNINFO DBNAME CLERK..." >&2
  echo "  ADMIN_CONNINFO  libpq keyword=value string of an admin (not a postgresql:// URI)" >&2
  exit 2
}
[ $# -ge 3 ] || usage
admin=$1
db=$2
shift 2
clerks=("$@")
group=quillmarsh_clerks

case $admin in
  postgres://* | postgresql://*)
    echo "office-db.sh: give the admin connection as keyword=value pairs, not as a URI" >&2
    exit 2
    ;;
esac

# Plain identifiers only, and short enough that the server keeps them whole.
check_name() {
  if ! [[ $2 =~ ^[A-Za-z_][A-Za-z0-9_]*$ ]] || [ ${#2} -gt 63 ]; then
    echo "office-db.sh: $1 '$2' refused: use letters, digits and _ only, not starting with a digit, at most 63 characters" >&2
    exit 2
  fi
}
check_name "database name" "$db"
for c in "${clerks[@]}"; do
  check_name "clerk name" "$c"
  [ "$c" != "$group" ] || { echo "office-db.sh: clerk name '$c' is the clerks' group" >&2; exit 2; }
done

command -v psql >/dev/null || { echo "office-db.sh: psql not found (install postgresql-client)" >&2; exit 1; }

# The table names are Chinese: the script text is UTF-8 whatever the admin's locale.
export PGCLIENTENCODING=UTF8
run_psql() {
  local conninfo=$1
  shift
  psql -X -q -v ON_ERROR_STOP=1 -v db="$db" -v clerks="${clerks[*]}" -v group="$group" -d "$conninfo" "$@"
}
fail() {
  echo "office-db.sh: $1 failed; nothing of that step was kept" >&2
  exit 1
}

create_sql=$(cat <<'SQL'
DO $$
BEGIN
  IF current_setting('server_version_num')::int < 130000 THEN
    RAISE EXCEPTION 'PostgreSQL 13 or newer is needed; this server is %', current_setting('server_version');
  END IF;
END $$;
SELECT NOT EXISTS (SELECT FROM pg_database WHERE datname = :'db') AS missing \gset
\if :missing
  -- the tables' names need a UTF-8 database; keep the server's locale when it is one
  SELECT format('CREATE DATABASE %I', :'db')
           || CASE WHEN pg_encoding_to_char(encoding) = 'UTF8' THEN ''
                   ELSE ' TEMPLATE template0 ENCODING ''UTF8'' LOCALE ''C''' END
    FROM pg_database WHERE datname = 'template1' \gexec
  \echo created
\endif
SQL
)

setup_sql=$(cat <<'SQL'
BEGIN;
SET LOCAL client_min_messages = warning;
SET LOCAL search_path = public;
SET LOCAL quillmarsh.clerks = :'clerks';
SET LOCAL quillmarsh.clerk_group = :'group';

DO $$
BEGIN
  IF pg_encoding_to_char((SELECT encoding FROM pg_database WHERE datname = current_database())) <> 'UTF8' THEN
    RAISE EXCEPTION 'database % is not UTF-8; the tables need Chinese names', current_database();
  END IF;
  IF to_regclass('public."版本"') IS NOT NULL THEN
    IF (SELECT max(Version) FROM "版本") > 1 THEN
      RAISE EXCEPTION 'database % has schema version %, newer than this script makes',
        current_database(), (SELECT max(Version) FROM "版本");
    END IF;
  END IF;
END $$;

-- schema version of the office database; the program refuses a newer one
CREATE TABLE IF NOT EXISTS "版本" (Version integer NOT NULL);
INSERT INTO "版本" SELECT 1 WHERE NOT EXISTS (SELECT 1 FROM "版本");

-- History tables, one per mode, with the same columns. One key serves the lookups by
-- number and guards them: no two records share a number, and each clerk has one working
-- record (Ord -1). A record's key is on its first row.
SELECT format($t$
CREATE TABLE IF NOT EXISTS %1$I (
  Ord integer NOT NULL, Dat double precision NOT NULL, Ctl smallint NOT NULL, Con text NOT NULL,
  Clerk text NOT NULL DEFAULT current_user,
  Saved timestamptz NOT NULL DEFAULT now(),
  RecordKey uuid
);
CREATE UNIQUE INDEX IF NOT EXISTS %2$I ON %1$I (Ord, Ctl, (CASE WHEN Ord = -1 THEN Clerk ELSE '' END));
CREATE INDEX IF NOT EXISTS %3$I ON %1$I (RecordKey) WHERE RecordKey IS NOT NULL;
-- a box's earlier texts for completion, counted from the index alone; a longer text would
-- not fit an index entry and is not offered
CREATE INDEX IF NOT EXISTS %4$I ON %1$I (Ctl, Con) INCLUDE (Dat)
  WHERE Ord >= 0 AND octet_length(Con) <= 2000;
$t$, t, t || '_Ord_Ctl', t || '_RecordKey', t || '_Ctl_Con')
  FROM unnest(ARRAY['出口', '进口']) AS t \gexec

-- the program writes its factory layout itself when this table has none
CREATE TABLE IF NOT EXISTS "格式" (
  Name text NOT NULL, Ctl smallint NOT NULL, X real, Y real, W real, H real, Color integer,
  fName text, fSize real, fBold smallint, fItalic smallint, fUnderline smallint, fStrikethru smallint,
  Clerk text NOT NULL DEFAULT ''
);
CREATE UNIQUE INDEX IF NOT EXISTS "格式_Name_Ctl" ON "格式" (Name, Clerk, Ctl);
CREATE INDEX IF NOT EXISTS "格式_Name" ON "格式" (Name);

-- the clerks' own code tables, one a box, shared by the office
CREATE TABLE IF NOT EXISTS "代码表" (Ctl smallint NOT NULL, Seq integer NOT NULL, Code text NOT NULL,
  Name text NOT NULL, PrintText text NOT NULL);
CREATE INDEX IF NOT EXISTS "代码表_Ctl" ON "代码表" (Ctl, Seq);

CREATE TABLE IF NOT EXISTS "底图" (Mode integer PRIMARY KEY, FileName text NOT NULL, Image bytea NOT NULL,
  OffsetX double precision NOT NULL, OffsetY double precision NOT NULL, Scale double precision NOT NULL);

-- Roles are shared by every database of the server, and another run may be making the
-- same ones at this moment: losing that race is not an error.
SELECT string_agg(c, ' ') AS new_clerks
  FROM unnest(string_to_array(:'clerks', ' ')) AS c
 WHERE NOT EXISTS (SELECT FROM pg_roles WHERE rolname = c) \gset
DO $$
DECLARE
  grp text := current_setting('quillmarsh.clerk_group');
  clerk text;
BEGIN
  IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = grp) THEN
    BEGIN
      EXECUTE format('CREATE ROLE %I NOLOGIN', grp);
    EXCEPTION WHEN duplicate_object OR unique_violation THEN NULL;
    END;
  END IF;
  FOREACH clerk IN ARRAY string_to_array(current_setting('quillmarsh.clerks'), ' ') LOOP
    IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = clerk) THEN
      BEGIN
        EXECUTE format('CREATE ROLE %I LOGIN NOSUPERUSER NOCREATEDB NOCREATEROLE', clerk);
      EXCEPTION WHEN duplicate_object OR unique_violation THEN NULL;
      END;
    END IF;
    IF NOT pg_has_role(clerk, grp, 'MEMBER') THEN
      BEGIN
        EXECUTE format('GRANT %I TO %I', grp, clerk);
      EXCEPTION WHEN duplicate_object OR unique_violation THEN NULL;
      END;
    END IF;
  END LOOP;
END $$;

GRANT CONNECT, TEMPORARY ON DATABASE :"db" TO :"group";
GRANT USAGE ON SCHEMA public TO :"group";
-- PostgreSQL 13 and 14 let everyone create tables in public
REVOKE CREATE ON SCHEMA public FROM PUBLIC;
GRANT SELECT, INSERT, DELETE ON "出口", "进口", "格式", "代码表" TO :"group";
GRANT SELECT, INSERT, UPDATE, DELETE ON "底图" TO :"group";
GRANT SELECT ON "版本" TO :"group";

-- A clerk sees every saved record but only their own working record, and writes rows
-- under their own name only; likewise for the last-exit layout.
ALTER TABLE "出口" ENABLE ROW LEVEL SECURITY;
ALTER TABLE "进口" ENABLE ROW LEVEL SECURITY;
ALTER TABLE "格式" ENABLE ROW LEVEL SECURITY;
SELECT format('CREATE POLICY clerk_rows ON %I FOR ALL TO %I
                 USING (Ord <> -1 OR Clerk = current_user)
                 WITH CHECK ((Ord <> -1 OR Clerk = current_user) AND Clerk = current_user)',
              t, :'group')
  FROM unnest(ARRAY['出口', '进口']) AS t
 WHERE NOT EXISTS (SELECT FROM pg_policies
                    WHERE schemaname = 'public' AND tablename = t AND policyname = 'clerk_rows') \gexec
SELECT format('CREATE POLICY clerk_rows ON %I FOR ALL TO %I
                 USING (Clerk = '''' OR Clerk = current_user)
                 WITH CHECK (Clerk = '''' OR Clerk = current_user)', '格式', :'group')
 WHERE NOT EXISTS (SELECT FROM pg_policies
                    WHERE schemaname = 'public' AND tablename = '格式' AND policyname = 'clerk_rows') \gexec

-- The layout kept at exit is each clerk's own: its rows carry the clerk who wrote them.
CREATE OR REPLACE FUNCTION quillmarsh_layout_owner() RETURNS trigger LANGUAGE plpgsql AS $f$
BEGIN
  IF NEW.Name = '上一次退出时的格式' THEN
    NEW.Clerk := current_user;
  END IF;
  RETURN NEW;
END
$f$;
SELECT 'CREATE TRIGGER layout_owner BEFORE INSERT ON "格式" FOR EACH ROW EXECUTE FUNCTION quillmarsh_layout_owner()'
 WHERE NOT EXISTS (SELECT FROM pg_trigger WHERE tgname = 'layout_owner'
                    AND tgrelid = '"格式"'::regclass) \gexec

COMMIT;
SELECT 'schema version ' || (SELECT max(Version) FROM "版本") || ', ' || current_setting('server_version');
\if :{?new_clerks}
  \echo new clerk roles: :new_clerks
\endif
SELECT string_agg(rolname, ' ') AS no_login FROM pg_roles
 WHERE rolname = ANY (string_to_array(:'clerks', ' ')) AND NOT rolcanlogin \gset
\if :{?no_login}
  \echo these roles were there already and cannot log in (ALTER ROLE ... LOGIN): :no_login
\endif
SQL
)

created=$(run_psql "$admin" -At <<<"$create_sql") || fail "creating database $db"
summary=$(run_psql "$admin dbname=$db" -At <<<"$setup_sql") || fail "setting up database $db"

if [ "$created" = created ]; then
  echo "Database $db: created."
else
  echo "Database $db: already there."
fi
echo "$summary" | sed 's/^/  /'
echo "  clerks (group $group): ${clerks[*]}"
