-- A Corvane server whose names hold characters special to SQL and to the command
-- interpreters: a release R'Q, a path with a quote, a blank and a "$", and a path with
-- a "%" and a "&", a path with a blank that ends in a backslash; and a path of 172
-- characters, eight directories deep.

-- nupathname, changedate, revisionname, ancestorrevision, nuadddate, sourceid, oid
INSERT INTO RevisionView VALUES
  ('src/it''s $HOME.c', '2020/02/01 10:00:00', '1', NULL, '2020/02/01 10:00:00', '11', '911'),
  ('src/it''s $HOME.c', '2020/02/02 10:00:00', '2', '1', '2020/02/02 10:00:00', '12', '912'),
  ('docs/50% & more.txt', '2020/02/03 10:00:00', '1', NULL, '2020/02/03 10:00:00', '21', '921'),
  ('docs/a b\', '2020/02/03 11:00:00', '1', NULL, '2020/02/03 11:00:00', '41', '941'),
  ('deep/level00_of_a_long_path/level01_of_a_long_path/level02_of_a_long_path/level03_of_a_long_path/level04_of_a_long_path/level05_of_a_long_path/level06_of_a_long_path/file.c', '2020/02/04 10:00:00', '1', NULL, '2020/02/04 10:00:00', '31', '931');

-- nupathname, releasename, workareaname, userlogin, revisionname, lastupdate, fmode, sourceid, workareaid, dropdate
INSERT INTO PartFullView VALUES
  ('src/it''s $HOME.c', 'R''Q', NULL, 'asmith', '2', '2020/02/02 10:00:00', '0644', '12', NULL, NULL),
  ('docs/50% & more.txt', 'R''Q', NULL, 'asmith', '1', '2020/02/03 10:00:00', '0644', '21', NULL, NULL),
  ('docs/a b\', 'R''Q', NULL, 'asmith', '1', '2020/02/03 11:00:00', '0644', '41', NULL, NULL),
  ('deep/level00_of_a_long_path/level01_of_a_long_path/level02_of_a_long_path/level03_of_a_long_path/level04_of_a_long_path/level05_of_a_long_path/level06_of_a_long_path/file.c', 'R''Q', NULL, 'asmith', '1', '2020/02/04 10:00:00', '0644', '31', NULL, NULL);
