-- The SQL bridge's two tables. Create them in the database the host runtime
-- names as DbName:  mariadb mydatabase < sqlbridge/schema.sql
-- The table names are the host runtime's TagTable and AlarmTable settings;
-- rename them here if yours differ. The column names are fixed.

CREATE TABLE IF NOT EXISTS tagvalues (
    id        BIGINT UNSIGNED NOT NULL AUTO_INCREMENT PRIMARY KEY,
    groupname VARCHAR(255) NOT NULL,
    tagname   VARCHAR(255) NOT NULL,
    tagval    DOUBLE NULL,          -- numeric values, two decimals
    strtagval TEXT NULL,            -- text values
    tagtime   DATETIME NULL,        -- local time of the value; NULL when it has none
    KEY tagvalues_time (tagtime),
    KEY tagvalues_tag_time (tagname, tagtime)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;

CREATE TABLE IF NOT EXISTS alarms (
    id        BIGINT UNSIGNED NOT NULL AUTO_INCREMENT PRIMARY KEY,
    groupname VARCHAR(255) NOT NULL,
    tagname   VARCHAR(255) NOT NULL,
    tagval    DOUBLE NULL,          -- value at the alarm, three decimals
    almtime   DATETIME NULL,        -- local time of the alarm
    almtype   VARCHAR(16) NOT NULL, -- Discrete, Min Dev, Maj Dev, Hi Hi, Hi, Lo, Lo Lo
    event     VARCHAR(16) NOT NULL, -- Active, Change, Ack, Inactive
    severity  TINYINT UNSIGNED NOT NULL,
    comment   TEXT NOT NULL,
    user      VARCHAR(255) NOT NULL,
    KEY alarms_time (almtime),
    KEY alarms_tag_time (tagname, almtime)
) ENGINE=InnoDB DEFAULT CHARSET=utf8mb4;
