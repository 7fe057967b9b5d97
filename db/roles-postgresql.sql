-- The roles of a site whose desks share one PostgreSQL database. Run it once,
-- as the owner of the database, after `vx4418-db init`:
--
--   psql -v ON_ERROR_STOP=1 -d dose -f db/roles-postgresql.sql
--
-- and give every desk (or every operator) a login of its own in one role:
--
--   CREATE ROLE gate1 LOGIN PASSWORD '...' IN ROLE vx4418_desk;
--   CREATE ROLE auditor LOGIN PASSWORD '...' IN ROLE vx4418_viewer;
--
-- vx4418_desk reads and writes the register and the history and adds journal
-- rows; it cannot change the layout, nor change or delete a journal row.
-- vx4418_viewer reads everything and changes nothing. The layout steps of a
-- newer program are taken by the owner (start that program once as the
-- owner); a desk works on without them until then.

DO $$
BEGIN
  IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'vx4418_desk') THEN
    CREATE ROLE vx4418_desk NOLOGIN;
  END IF;
  IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'vx4418_viewer') THEN
    CREATE ROLE vx4418_viewer NOLOGIN;
  END IF;
END
$$;

REVOKE CREATE ON SCHEMA public FROM PUBLIC;
GRANT USAGE ON SCHEMA public TO vx4418_desk, vx4418_viewer;

GRANT SELECT, INSERT, UPDATE, DELETE ON TableUser, TableHistory, TableLastFiled TO vx4418_desk;
GRANT SELECT, INSERT ON TableJournal TO vx4418_desk;
GRANT SELECT ON TableSchema TO vx4418_desk;
-- Deleted events are kept for a restore, which moves them back.
GRANT SELECT, INSERT, DELETE ON TableDeletedHistory TO vx4418_desk;
GRANT USAGE ON SEQUENCE tableuser_userid_seq, tablejournal_journalid_seq,
  tabledeletedhistory_deletedid_seq TO vx4418_desk;

GRANT SELECT ON TableUser, TableHistory, TableLastFiled, TableJournal, TableSchema,
  TableDeletedHistory TO vx4418_viewer;
