-- The rights a team's database user needs for a shared Vexorin history.
-- Run as a superuser (or the database's owner), once; replace the names.
--
--   psql -d postgres -f postgres-rights.sql
--
-- The history's tables are made, and upgraded, by the first Vexorin that
-- records into the database, so that user needs CREATE on the schema once;
-- the others only read and write rows (see recorder below). A client without the right to make
-- the tables says so and keeps its runs on its own computer.

CREATE ROLE vexorin_team NOLOGIN;
CREATE ROLE ann LOGIN IN ROLE vexorin_team;  -- one per person or server;
CREATE ROLE ci_server LOGIN IN ROLE vexorin_team;  -- passwords in ~/.pgpass

CREATE DATABASE team_history OWNER vexorin_team;
\connect team_history

-- The tables belong to the team's role, whoever made them.
GRANT CREATE, USAGE ON SCHEMA public TO vexorin_team;
ALTER DEFAULT PRIVILEGES FOR ROLE vexorin_team IN SCHEMA public
  GRANT SELECT, INSERT, UPDATE, DELETE ON TABLES TO vexorin_team;
ALTER DEFAULT PRIVILEGES FOR ROLE vexorin_team IN SCHEMA public
  GRANT USAGE, SELECT ON SEQUENCES TO vexorin_team;
-- Members act as the team's role, so every table is the team's.
ALTER ROLE ann SET role = 'vexorin_team';
ALTER ROLE ci_server SET role = 'vexorin_team';

-- A member that records but never makes or upgrades the tables (a server
-- account kept to the least it needs): row rights alone, once the tables
-- are there at the schema its Vexorin writes.
CREATE ROLE recorder LOGIN;
GRANT CONNECT ON DATABASE team_history TO recorder;
GRANT USAGE ON SCHEMA public TO recorder;
ALTER DEFAULT PRIVILEGES FOR ROLE vexorin_team IN SCHEMA public
  GRANT SELECT, INSERT, UPDATE, DELETE ON TABLES TO recorder;
ALTER DEFAULT PRIVILEGES FOR ROLE vexorin_team IN SCHEMA public
  GRANT USAGE, SELECT ON SEQUENCES TO recorder;

-- A user that may read the history only (reports, dashboards):
-- CREATE ROLE reader LOGIN;
-- GRANT USAGE ON SCHEMA public TO reader;
-- GRANT SELECT ON ALL TABLES IN SCHEMA public TO reader;
