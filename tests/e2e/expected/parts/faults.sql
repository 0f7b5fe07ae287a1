-- A Corvane server whose release R1 holds parts that cannot all be exported.
-- a/ok.c and e/last.c: plain parts (e/last.c dated by its add date alone). b/empty.c:
-- listed in R1, but RevisionView holds no revision of it. c/norev.c: its row names
-- revision 9, which RevisionView lacks.
-- d/fork.c: two roots, a1 -> a2 and b1 -> b2, b1 -> b3; rows for a2 (retired work area
-- "solo"), b2 and b3, so b1 is a branch point without a row: its SID is looked up.
-- f/cycle.c: r1 -> r2 -> r3 -> r1 beside the root r0: a history that closes on itself.
-- g/twice.c: x -> y -> x, a revision name given twice (the root x newest): y descends from
-- itself.
-- h/skew.c: 1 -> 2 -> 3, 2 -> 2.1.1 and 1 -> 1.1.1, 2 dated an hour before 1 (a client
-- clock behind), 1.1.1 at the time of 1, 3 and 2.1.1 at the same time: 2 follows 1, and
-- its effective time (that of 1) ties with 1.1.1, listed first.
-- i/anew.c: a1 -> a2 and a1 -> a3, and the part made anew as b1 -> b2, b1 dated between a1
-- and a2: the second tree follows the first on the main line, its top's effective time
-- (that of a2) ties with a3, listed first.
-- j/prefix.c: 1 -> 2 and 1 -> CVN-BRANCH-x, a revision named with the branch prefix: its
-- OnBranch gets the prefix twice, its SubBranch and branch type once, so the element fails
-- the lineage check.

-- nupathname, changedate, revisionname, ancestorrevision, nuadddate, sourceid, oid
INSERT INTO RevisionView VALUES
  ('a/ok.c', '2020/01/01 10:00:00', '1', NULL, '2020/01/01 10:00:00', '101', '901'),
  ('c/norev.c', '2020/01/01 10:00:00', '1', NULL, '2020/01/01 10:00:00', '301', '931'),
  ('d/fork.c', '2020/01/01 10:00:00', 'a1', NULL, '2020/01/01 10:00:00', '401', '941'),
  ('d/fork.c', '2020/01/02 10:00:00', 'a2', 'a1', '2020/01/02 10:00:00', '402', '942'),
  ('d/fork.c', '2020/01/03 10:00:00', 'b1', NULL, '2020/01/03 10:00:00', '403', '943'),
  ('d/fork.c', '2020/01/04 10:00:00', 'b2', 'b1', '2020/01/04 10:00:00', '404', '944'),
  ('d/fork.c', '2020/01/05 10:00:00', 'b3', 'b1', '2020/01/05 10:00:00', '405', '945'),
  ('e/last.c', NULL, '1', NULL, '2020/01/06 10:00:00', '501', '951'),
  ('f/cycle.c', '2020/01/07 10:00:00', 'r1', 'r3', '2020/01/07 10:00:00', '601', '961'),
  ('f/cycle.c', '2020/01/07 11:00:00', 'r2', 'r1', '2020/01/07 11:00:00', '602', '962'),
  ('f/cycle.c', '2020/01/07 12:00:00', 'r3', 'r2', '2020/01/07 12:00:00', '603', '963'),
  ('f/cycle.c', '2020/01/07 09:00:00', 'r0', NULL, '2020/01/07 09:00:00', '600', '960'),
  ('g/twice.c', '2020/01/08 12:00:00', 'x', NULL, '2020/01/08 12:00:00', '701', '971'),
  ('g/twice.c', '2020/01/08 11:00:00', 'y', 'x', '2020/01/08 11:00:00', '702', '972'),
  ('g/twice.c', '2020/01/08 10:00:00', 'x', 'y', '2020/01/08 10:00:00', '703', '973'),
  ('h/skew.c', '2020/01/09 10:00:00', '1.1.1', '1', '2020/01/09 10:00:00', '805', '985'),
  ('h/skew.c', '2020/01/09 10:00:00', '1', NULL, '2020/01/09 10:00:00', '801', '981'),
  ('h/skew.c', '2020/01/09 09:00:00', '2', '1', '2020/01/09 09:00:00', '802', '982'),
  ('h/skew.c', '2020/01/09 11:00:00', '3', '2', '2020/01/09 11:00:00', '803', '983'),
  ('h/skew.c', '2020/01/09 11:00:00', '2.1.1', '2', '2020/01/09 11:00:00', '804', '984'),
  ('i/anew.c', '2020/01/10 10:00:00', 'a1', NULL, '2020/01/10 10:00:00', '901', '991'),
  ('i/anew.c', '2020/01/10 12:00:00', 'a3', 'a1', '2020/01/10 12:00:00', '905', '995'),
  ('i/anew.c', '2020/01/10 12:00:00', 'a2', 'a1', '2020/01/10 12:00:00', '902', '992'),
  ('i/anew.c', '2020/01/10 11:00:00', 'b1', NULL, '2020/01/10 11:00:00', '903', '993'),
  ('i/anew.c', '2020/01/10 13:00:00', 'b2', 'b1', '2020/01/10 13:00:00', '904', '994'),
  ('j/prefix.c', '2020/01/11 10:00:00', '1', NULL, '2020/01/11 10:00:00', '1001', '9101'),
  ('j/prefix.c', '2020/01/11 12:00:00', '2', '1', '2020/01/11 12:00:00', '1002', '9102'),
  ('j/prefix.c', '2020/01/11 11:00:00', 'CVN-BRANCH-x', '1', '2020/01/11 11:00:00', '1003', '9103');

-- revisionname, sourceid (the RevisionView oid), sid, releasename
INSERT INTO versions VALUES ('b1', '943', '1.7', 'R1');

-- nupathname, releasename, workareaname, userlogin, revisionname, lastupdate, fmode, sourceid, workareaid, dropdate
INSERT INTO PartFullView VALUES
  ('a/ok.c', 'R1', NULL, 'asmith', '1', '2020/01/01 10:00:00', '0644', '101', NULL, NULL),
  ('b/empty.c', 'R1', NULL, 'asmith', '1', '2020/01/01 10:00:00', '0644', '201', NULL, NULL),
  ('c/norev.c', 'R1', NULL, 'asmith', '9', '2020/01/01 10:00:00', '0644', '309', NULL, NULL),
  ('d/fork.c', 'R1', 'solo', 'asmith', 'a2', '2020/01/02 10:00:00', '0644', '402', '9001', NULL),
  ('d/fork.c', 'R1', NULL, 'asmith', 'b2', '2020/01/04 10:00:00', '0644', '404', NULL, NULL),
  ('d/fork.c', 'R1', NULL, 'asmith', 'b3', '2020/01/05 10:00:00', '0644', '405', NULL, NULL),
  ('e/last.c', 'R1', NULL, 'asmith', '1', '2020/01/06 10:00:00', '0755', '501', NULL, NULL),
  ('f/cycle.c', 'R1', NULL, 'asmith', 'r1', '2020/01/07 10:00:00', '0644', '601', NULL, NULL),
  ('g/twice.c', 'R1', NULL, 'asmith', 'y', '2020/01/08 11:00:00', '0644', '702', NULL, NULL),
  ('h/skew.c', 'R1', NULL, 'asmith', '1', '2020/01/09 10:00:00', '0644', '801', NULL, NULL),
  ('h/skew.c', 'R1', NULL, 'asmith', '2', '2020/01/09 09:00:00', '0644', '802', NULL, NULL),
  ('h/skew.c', 'R1', NULL, 'asmith', '3', '2020/01/09 11:00:00', '0644', '803', NULL, NULL),
  ('h/skew.c', 'R1', NULL, 'asmith', '2.1.1', '2020/01/09 11:00:00', '0644', '804', NULL, NULL),
  ('h/skew.c', 'R1', NULL, 'asmith', '1.1.1', '2020/01/09 10:00:00', '0644', '805', NULL, NULL),
  ('i/anew.c', 'R1', NULL, 'asmith', 'a1', '2020/01/10 10:00:00', '0644', '901', NULL, NULL),
  ('i/anew.c', 'R1', NULL, 'asmith', 'a2', '2020/01/10 12:00:00', '0644', '902', NULL, NULL),
  ('i/anew.c', 'R1', NULL, 'asmith', 'b1', '2020/01/10 11:00:00', '0644', '903', NULL, NULL),
  ('i/anew.c', 'R1', NULL, 'asmith', 'b2', '2020/01/10 13:00:00', '0644', '904', NULL, NULL),
  ('i/anew.c', 'R1', NULL, 'asmith', 'a3', '2020/01/10 12:00:00', '0644', '905', NULL, NULL),
  ('j/prefix.c', 'R1', NULL, 'asmith', '1', '2020/01/11 10:00:00', '0644', '1001', NULL, NULL),
  ('j/prefix.c', 'R1', NULL, 'asmith', '2', '2020/01/11 12:00:00', '0644', '1002', NULL, NULL),
  ('j/prefix.c', 'R1', NULL, 'asmith', 'CVN-BRANCH-x', '2020/01/11 11:00:00', '0644', '1003', NULL, NULL);
