-- A Vandor server whose releases R1 and R2 hold parts that test the history path.
-- a/empty.c: listed, but the versions report holds no version of it.
-- b/nodate.c: 201 (no change date) -> 202 and 201 -> 203, rows for 202 and 203, so 201
-- is a branch point with neither a row nor a date: it comes first, with a warning.
-- c/zero.c: listed with versionid 0 only, so it is no part of the export.
-- d/it's $HOME.c: versions 1 -> 2 -> 3 and 2 -> 4, rows for 1, 3 and 4; 2 is the branch
-- point whose SID (with a quote in it) is looked up, 4 starts a branch.
-- e/tworows.c: two Fileview rows (R1, R2) and three committed versions.
-- f/long...: a path of 175 characters, in every command whole.
-- g/nested.c: 1 -> 2 -> 3, 2 -> 4 -> 5, 4 -> 6 -> 7 with rows for 3, 5, 6 and 7: branch 4
-- (its type declared once, though d/it's $HOME.c has one of that name too) and 4/6, which
-- 7 goes on; a committed row of versionid 0; the row of 7 without a SID.
-- h/roots.c: two roots, a1 -> a2 and b1 -> b2, b1 -> b3, rows for a2, b2 and b3: b1 is a
-- branch point.
-- i/self.c: version s1 is its own previous version.
-- j/skew.c: j1 -> j2 -> j3 and j1 -> j4, j2 dated an hour before j1, so the oldest version,
-- the head, is no root; rows for j2, j3 and j4: j1 is a branch point, j2 follows it.

-- sid, id, previousid, changedate, sourceid
INSERT INTO versions VALUES
  ('1.1', '201', '0', '', '502'),
  ('1.2', '202', '201', '2020/02/02 10:00:00', '502'),
  ('1.1.1.1', '203', '201', '2020/02/03 10:00:00', '502'),
  ('1.1', '1', '0', '2020/03/01 10:00:00', '504'),
  ('1.2''x', '2', '1', '2020/03/02 10:00:00', '504'),
  ('1.3', '3', '2', '2020/03/03 10:00:00', '504'),
  ('1.2''x.1.1', '4', '2', '2020/03/04 10:00:00', '504'),
  ('1.1', '51', '0', '2020/04/01 10:00:00', '505'),
  ('1.2', '52', '51', '2020/04/02 10:00:00', '505'),
  ('1.3', '53', '52', '2020/04/03 10:00:00', '505'),
  ('1.1', '61', '0', '2020/05/01 10:00:00', '506'),
  ('1.1', '1', '0', '2020/06/01 10:00:00', '507'),
  ('1.2', '2', '1', '2020/06/02 10:00:00', '507'),
  ('1.3', '3', '2', '2020/06/03 10:00:00', '507'),
  ('1.2.1.1', '4', '2', '2020/06/04 10:00:00', '507'),
  ('1.2.1.2', '5', '4', '2020/06/05 10:00:00', '507'),
  ('1.2.1.1.1.1', '6', '4', '2020/06/06 10:00:00', '507'),
  ('1.2.1.1.1.2', '7', '6', '2020/06/07 10:00:00', '507'),
  ('1.1', 'a1', '0', '2020/07/01 10:00:00', '508'),
  ('1.2', 'a2', 'a1', '2020/07/02 10:00:00', '508'),
  ('2.1', 'b1', '0', '2020/07/03 10:00:00', '508'),
  ('2.2', 'b2', 'b1', '2020/07/04 10:00:00', '508'),
  ('2.1.1.1', 'b3', 'b1', '2020/07/05 10:00:00', '508'),
  ('1.1', 's1', 's1', '2020/08/01 10:00:00', '509'),
  ('1.1', 'j1', '0', '2020/09/01 10:00:00', '510'),
  ('1.2', 'j2', 'j1', '2020/09/01 09:00:00', '510'),
  ('1.3', 'j3', 'j2', '2020/09/02 10:00:00', '510'),
  ('1.1.1.1', 'j4', 'j1', '2020/09/03 10:00:00', '510');

-- pathname, releasename, versionsid, versionid, compname, adddate, lastupdate, fmode, sourceid, dropdate
-- The rows of release R0 are found only by the SID lookups of the branch points.
INSERT INTO Fileview VALUES
  ('a/empty.c', 'R1', '1.1', '101', 'core', '2020/01/01 10:00:00', '2020/01/01 10:00:00', '0644', '501', NULL),
  ('b/nodate.c', 'R0', '1.1', '201', 'core', '2020/02/01 10:00:00', '2020/02/01 10:00:00', '0644', '502', NULL),
  ('b/nodate.c', 'R1', '1.2', '202', 'core', '2020/02/01 10:00:00', '2020/02/02 10:00:00', '0600', '502', NULL),
  ('c/zero.c', 'R1', NULL, '0', 'core', '2020/02/01 10:00:00', '2020/02/01 10:00:00', '0644', '503', NULL),
  ('d/it''s $HOME.c', 'R0', '1.2''x', '2', 'ui', '2020/03/01 10:00:00', '2020/03/02 10:00:00', '0644', '504', NULL),
  ('d/it''s $HOME.c', 'R1', '1.2''x.1.1', '4', 'ui', '2020/03/01 10:00:00', '2020/03/04 10:00:00', '0755', '504', NULL),
  ('e/tworows.c', 'R1', '1.2', '52', 'docs', '2020/04/01 10:00:00', '2020/04/02 10:00:00', '0644', '505', NULL),
  ('e/tworows.c', 'R2', '1.3', '53', 'docs', '2020/04/01 10:00:00', '2020/04/03 10:00:00', '0644', '505', NULL),
  ('f/long_directory_name_long_directory_name_long_directory_name_long_directory_name_long_directory_name_long_directory_name_long_directory_name_and_a_file_name_past_any_buffer.c', 'R2', '1.1', '61', 'docs', '2020/05/01 10:00:00', '2020/05/01 10:00:00', '0644', '506', NULL),
  ('g/nested.c', 'R0', '1.2', '2', 'core', '2020/06/01 10:00:00', '2020/06/02 10:00:00', '0644', '507', NULL),
  ('g/nested.c', 'R0', '1.2.1.1', '4', 'core', '2020/06/01 10:00:00', '2020/06/04 10:00:00', '0644', '507', NULL),
  ('g/nested.c', 'R1', NULL, '7', 'core', '2020/06/01 10:00:00', '2020/06/07 10:00:00', '0644', '507', NULL),
  ('h/roots.c', 'R0', '2.1', 'b1', 'core', '2020/07/01 10:00:00', '2020/07/03 10:00:00', '0644', '508', NULL),
  ('h/roots.c', 'R1', '2.1.1.1', 'b3', 'core', '2020/07/01 10:00:00', '2020/07/05 10:00:00', '0644', '508', NULL),
  ('i/self.c', 'R1', '1.1', 's1', 'core', '2020/08/01 10:00:00', '2020/08/01 10:00:00', '0644', '509', NULL),
  ('j/skew.c', 'R0', '1.1', 'j1', 'core', '2020/09/01 10:00:00', '2020/09/01 10:00:00', '0644', '510', NULL),
  ('j/skew.c', 'R1', '1.3', 'j3', 'core', '2020/09/01 10:00:00', '2020/09/02 10:00:00', '0644', '510', NULL);

-- pathname, releasename, sid, versionid, changedate, levelname, commitdate, changetype
INSERT INTO committedVersions VALUES
  ('b/nodate.c', 'R1', '1.1.1.1', '203', '2020/02/03 10:00:00', 'R1_L1', '2020/02/03 12:00:00', 'delta'),
  ('d/it''s $HOME.c', 'R1', '1.1', '1', '2020/03/01 10:00:00', 'R1_L1', '2020/03/01 12:00:00', 'delta'),
  ('d/it''s $HOME.c', 'R1', '1.3', '3', '2020/03/03 10:00:00', 'R1_L2', '2020/03/03 12:00:00', 'delta'),
  ('e/tworows.c', 'R1', '1.1', '51', '2020/04/01 10:00:00', 'R1_L1', '2020/04/01 12:00:00', 'delta'),
  ('e/tworows.c', 'R1', '1.2', '52', '2020/04/02 10:00:00', 'R1_L2', '2020/04/02 12:00:00', 'delta'),
  ('e/tworows.c', 'R2', '1.3', '53', '2020/04/03 10:00:00', 'R2_L1', '2020/04/03 12:00:00', 'delta'),
  ('e/tworows.c', 'R2', '1.2', '52', '2020/04/02 10:00:00', 'R2_L1', '2020/04/04 12:00:00', 'noDelta'),
  ('g/nested.c', 'R1', '1.3', '3', '2020/06/03 10:00:00', 'R1_L1', '2020/06/03 12:00:00', 'delta'),
  ('g/nested.c', 'R1', '1.2.1.2', '5', '2020/06/05 10:00:00', 'R1_L1', '2020/06/05 12:00:00', 'delta'),
  ('g/nested.c', 'R1', '1.2.1.1.1.1', '6', '2020/06/06 10:00:00', 'R1_L1', '2020/06/06 12:00:00', 'delta'),
  ('g/nested.c', 'R1', '1.0', '0', '2020/06/01 10:00:00', 'R1_L0', '2020/06/01 12:00:00', 'delta'),
  ('h/roots.c', 'R1', '1.2', 'a2', '2020/07/02 10:00:00', 'R1_L1', '2020/07/02 12:00:00', 'delta'),
  ('h/roots.c', 'R1', '2.2', 'b2', '2020/07/04 10:00:00', 'R1_L1', '2020/07/04 12:00:00', 'delta'),
  ('i/self.c', 'R1', '1.1', 's1', '2020/08/01 10:00:00', 'R1_L1', '2020/08/01 12:00:00', 'delta'),
  ('j/skew.c', 'R1', '1.2', 'j2', '2020/09/01 09:00:00', 'R1_L1', '2020/09/01 12:00:00', 'delta'),
  ('j/skew.c', 'R1', '1.1.1.1', 'j4', '2020/09/03 10:00:00', 'R1_L2', '2020/09/03 12:00:00', 'delta');
