#!/usr/bin/env bash
# Runs a command against a private PostgreSQL cluster: initdb in a
# temporary folder as the postgres user (the server refuses root), its
# socket in that folder and a free loopback port, stopped and removed after.
# The command gets VEXORIN_TEST_PG_URL (a database user that owns its
# database, with a made-up password in PGPASSWORD), VEXORIN_TEST_PG_LIMITED
# (a user without the right to make tables) and VEXORIN_TEST_PG_CTL (a
# script taking stop or start, to make the server go away and come back).
set -euo pipefail
bin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -1)
dir=$(mktemp -d)
chmod 755 "$dir"
as_postgres() {
  if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}
[ "$(id -u)" -eq 0 ] && chown postgres "$dir"
as_postgres "$bin/initdb" -D "$dir/data" -U postgres -A trust --no-instructions >/dev/null
# Loopback clients give a password; the socket is the superuser's.
cat > "$dir/hba" <<HBA
local all postgres trust
host all all 127.0.0.1/32 scram-sha-256
HBA
as_postgres cp "$dir/hba" "$dir/data/pg_hba.conf"
cat > "$dir/ctl" <<CTL
#!/usr/bin/env bash
set -e
if [ "\$(id -u)" -eq 0 ]; then run=(runuser -u postgres --); else run=(); fi
case "\$1" in
  stop) "\${run[@]}" "$bin/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null ;;
  start) "\${run[@]}" "$bin/pg_ctl" -D "$dir/data" -w -l "$dir/data/log" \
    -o "-k $dir -p \$(cat "$dir/port") -c listen_addresses=127.0.0.1 -c fsync=off" \
    start >/dev/null ;;
esac
CTL
chmod 755 "$dir/ctl"
trap '"$dir/ctl" stop 2>/dev/null || true; rm -rf "$dir"' EXIT
# A free port, and another if a cluster started at the same moment took it.
for try in 1 2 3 4 5 6 7 8; do
  port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
  echo "$port" > "$dir/port"
  "$dir/ctl" start 2>/dev/null && break
  [ "$try" -lt 8 ] || { echo "the test server did not start" >&2; exit 1; }
done
psql() { as_postgres "$bin/psql" -h "$dir" -p "$port" -U postgres -v ON_ERROR_STOP=1 -q "$@"; }
password=made-up-test-password
psql -d postgres -c "CREATE ROLE vexorin LOGIN PASSWORD '$password'" \
  -c "CREATE DATABASE vexorin OWNER vexorin" \
  -c "CREATE ROLE limited LOGIN PASSWORD '$password'" \
  -c "CREATE DATABASE limited_db"
# PostgreSQL 15 gives no one but the owner CREATE on public.
psql -d limited_db -c "GRANT CONNECT ON DATABASE limited_db TO limited"
export VEXORIN_TEST_PG_URL="postgresql://vexorin@127.0.0.1:$port/vexorin"
export VEXORIN_TEST_PG_LIMITED="postgresql://limited@127.0.0.1:$port/limited_db"
export VEXORIN_TEST_PG_CTL="$dir/ctl" PGPASSWORD=$password
# The superuser, through the socket, for tests that set rights up.
export VEXORIN_TEST_PG_ADMIN="$dir:$port"
"$@"
