-- placeholder
CREATE TABLE TableUser (UserId INTEGER PRIMARY KEY);
