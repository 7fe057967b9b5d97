-- The supplied database of VX4418M: the register of people and the events of
-- every instrument. This is the whole current layout. The program brings an
-- older file up to it when it opens one, step by step (user_version counts the
-- steps taken); a step only adds tables and indexes, never changes the two
-- original tables.
--
-- Dates are REAL day counts since 30 December 1899, the time of day as the
-- fraction. Dose values are sievert, dose rates sievert per hour.

PRAGMA journal_mode=WAL;

CREATE TABLE TableUser (
  UserId         INTEGER PRIMARY KEY,  -- assigned by the database
  UserSecondName TEXT,
  UserFirstName  TEXT,
  UserMiddleName TEXT,                 -- may be NULL
  DeviceId       INTEGER DEFAULT -1    -- instrument held now, -1 for none
);

CREATE TABLE TableHistory (
  DeviceId      INTEGER,
  UserId        INTEGER,
  DateTimeEvent REAL,
  EventType     INTEGER,   -- rows without a code are purged at start
  EventValue    REAL,
  DEValue       REAL
);

CREATE INDEX IX_TableHistory_UserId    ON TableHistory (UserId);
CREATE INDEX IX_TableHistory_DeviceId  ON TableHistory (DeviceId);
CREATE INDEX IX_TableHistory_EventType ON TableHistory (EventType);
CREATE INDEX IX_TableUser_DeviceId     ON TableUser (DeviceId);

-- Step 1: what was last filed from each instrument, so that a reading that
-- begins with it has only the rest filed. FiledHash is the SHA-256 of the
-- first FiledLength bytes of that reading.
CREATE TABLE TableLastFiled (
  DeviceId    INTEGER PRIMARY KEY,
  FiledLength INTEGER NOT NULL,
  FiledHash   BLOB NOT NULL
);

-- Step 2: an instrument has one holder at most. Refused on an older file
-- while two people hold one instrument (vx4418-db check names them).
CREATE UNIQUE INDEX UX_TableUser_Holder ON TableUser (DeviceId) WHERE DeviceId >= 1;

-- Step 3: who changed the register or the history, and when: one row per
-- change, written with the change. Action: 1 reading filed, 2 registration,
-- 3 registration cancelled, 4 person added, 5 person changed, 6 person
-- deleted, 7 history deleted, 8 import. EventCount: events filed, deleted or
-- imported. Rows are never changed or deleted.
CREATE TABLE TableJournal (
  JournalId   INTEGER PRIMARY KEY,
  JournalTime REAL NOT NULL,  -- day count, like DateTimeEvent
  Desk        TEXT,           -- the computer's host name
  OsUser      TEXT,           -- who was logged in to it
  Action      INTEGER NOT NULL,
  UserId      INTEGER,
  DeviceId    INTEGER,
  EventCount  INTEGER
);

-- Step 4: deleted history is kept, so that it can be restored: the events
-- as they were, with the time of deletion (a day count) and the desk's host
-- name. Restoring moves them back into TableHistory.
CREATE TABLE TableDeletedHistory (
  DeletedId     INTEGER PRIMARY KEY,
  DeviceId      INTEGER,
  UserId        INTEGER,
  DateTimeEvent REAL,
  EventType     INTEGER,
  EventValue    REAL,
  DEValue       REAL,
  DeletedTime   REAL NOT NULL,
  Desk          TEXT
);
CREATE INDEX IX_TableDeletedHistory_UserId ON TableDeletedHistory (UserId);

PRAGMA user_version = 4;
