-- The empty catalogue installed beside the program as all1.mdb.
-- Pathname compares exactly (Linux file names are case-sensitive); other texts compare
-- without regard to case. Dates are ISO text yyyy-mm-dd in columns declared DATETEXT (TEXT
-- affinity, so SQLite keeps the text as written; the catalogue layer reads the declaration).
PRAGMA journal_mode = WAL;

CREATE TABLE tbl1 (
  IDNumber INTEGER DEFAULT 0,
  Pathname TEXT NOT NULL COLLATE BINARY,
  Extension TEXT COLLATE NOCASE DEFAULT '',
  Filesize INTEGER DEFAULT 0,
  FileCreationDate DATETEXT,
  DateAddedToDB DATETEXT,
  DateLastViewed DATETEXT,
  NewFile INTEGER DEFAULT 1,
  FileERROR INTEGER DEFAULT 0,
  Width INTEGER DEFAULT 0,
  Height INTEGER DEFAULT 0,
  Bits INTEGER DEFAULT 0,
  Colors INTEGER DEFAULT 0,
  WidthHeightRatio REAL DEFAULT 0,
  BannerSize INTEGER DEFAULT 0,
  SPAM INTEGER DEFAULT 0,
  OverallRating INTEGER DEFAULT 0,
  UserRating1 INTEGER DEFAULT 0,
  UserRating2 INTEGER DEFAULT 0,
  UserRating3 INTEGER DEFAULT 0,
  UserRating4 INTEGER DEFAULT 0,
  UserRating5 INTEGER DEFAULT 0,
  UserRating6 INTEGER DEFAULT 0,
  UserRating7 INTEGER DEFAULT 0,
  UserRating8 INTEGER DEFAULT 0,
  UserRating9 INTEGER DEFAULT 0,
  Class1 INTEGER DEFAULT 0,
  Class2 INTEGER DEFAULT 0,
  Class3 INTEGER DEFAULT 0,
  Class4 INTEGER DEFAULT 0,
  Class5 INTEGER DEFAULT 0,
  Class6 INTEGER DEFAULT 0,
  Class7 INTEGER DEFAULT 0,
  Status TEXT COLLATE NOCASE DEFAULT '',
  DeleteStatus TEXT COLLATE NOCASE DEFAULT '',
  SafeguardPicture INTEGER DEFAULT 0
);
CREATE UNIQUE INDEX tbl1_Pathname ON tbl1 (Pathname);
CREATE INDEX tbl1_Status ON tbl1 (Status);

CREATE TABLE SetupNew (
  IDP INTEGER DEFAULT 0,
  MainPathIndex INTEGER DEFAULT 0,
  MainPathCaption TEXT COLLATE NOCASE DEFAULT '',
  SubPathIndex INTEGER DEFAULT 0,
  SubPathCaption TEXT COLLATE NOCASE DEFAULT '',
  SubPathPath TEXT COLLATE BINARY DEFAULT 'None'
);

-- The first row (a search that finds nothing comes to rest on it), then nine slot rows for
-- each of the seven main folders, slot (k - 1) * 9 + j.
INSERT INTO SetupNew (IDP, MainPathIndex, MainPathCaption, SubPathIndex, SubPathCaption, SubPathPath)
  VALUES (0, 0, 'NNNN', 0, 'NNNN', 'None');
WITH RECURSIVE slot(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM slot WHERE n < 63)
INSERT INTO SetupNew (IDP, MainPathIndex, MainPathCaption, SubPathIndex, SubPathCaption, SubPathPath)
  SELECT n, (n - 1) / 9 + 1, 'MainPath' || ((n - 1) / 9 + 1), (n - 1) % 9 + 1,
         'SubPath' || ((n - 1) % 9 + 1), 'None'
  FROM slot ORDER BY n;
