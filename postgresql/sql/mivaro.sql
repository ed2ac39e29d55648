-- SPDX-License-Identifier: Apache-2.0
-- The extension mivaro in a throwaway cluster: every input row of the type,
-- casts, operators, indexes and joins, every function, parallel query, a
-- CHECK constraint, and the input that must not hurt the server.
CREATE EXTENSION mivaro;
\set VERBOSITY default

-- What the type takes: exactly what mivaro-cli validate takes.
SELECT entry, entry::sin AS stored
  FROM (VALUES ('123456782'), ('123 456 782'), ('123-456-782'), ('123,456,782'),
               (E' \t046\u00A0454\u00A0286\u00A0'), ('''046454286'), ('800000002'),
               ('000000026'), ('999999998')) AS entries(entry);

-- What it refuses, one row each: SQLSTATE 22P02 and the library's reason.
\set VERBOSITY sqlstate
SELECT '123 456 789'::sin;
\set VERBOSITY default
SELECT '123 456 789'::sin;
SELECT ''::sin;
SELECT '   '::sin;
SELECT '12345'::sin;
SELECT '46454286'::sin;
SELECT '1234567823'::sin;
SELECT '12345678a'::sin;
SELECT '123 456-782'::sin;
SELECT '4.6454286E+7'::sin;
SELECT '000 000 000'::sin;
SELECT repeat('7', 1000)::sin;

-- Casts: text to sin checks, sin to text gives the nine digits.
SELECT '046 454 286'::text::sin, ('046 454 286'::sin)::text;
SELECT 'not a SIN'::text::sin;

-- Operators in the order of the nine digits.
SELECT a, b, a = b AS eq, a <> b AS ne, a < b AS lt, a <= b AS le, a > b AS gt, a >= b AS ge
  FROM (VALUES ('046454286'::sin, '123456782'::sin), ('800000002', '800000002')) AS pairs(a, b);

-- A primary key, a unique index used by an index scan, hash and merge joins.
CREATE TABLE staff (sin sin PRIMARY KEY, name text);
INSERT INTO staff VALUES ('046 454 286', 'Roy, Luc'), ('123-456-782', 'Ann Lee'),
                         ('800000002', 'Test');
INSERT INTO staff VALUES ('046454286', 'Again');
SET enable_seqscan = off;
EXPLAIN (COSTS OFF) SELECT name FROM staff WHERE sin = '046454286';
SELECT name FROM staff WHERE sin = '046454286';
RESET enable_seqscan;
CREATE TABLE payroll (sin sin, amount integer);
INSERT INTO payroll VALUES ('046454286', 100), ('123456782', 200);
SET enable_mergejoin = off;
SET enable_nestloop = off;
EXPLAIN (COSTS OFF) SELECT name, amount FROM staff JOIN payroll USING (sin);
SELECT name, amount FROM staff JOIN payroll USING (sin) ORDER BY amount;
SET enable_hashjoin = off;
SET enable_mergejoin = on;
EXPLAIN (COSTS OFF) SELECT name, amount FROM staff JOIN payroll USING (sin);
RESET enable_hashjoin;
RESET enable_mergejoin;
RESET enable_nestloop;
SELECT sin FROM staff ORDER BY sin DESC;

-- The functions.
SELECT entry, sin_is_valid(entry), sin_reason(entry)
  FROM (VALUES ('123 456 782'), ('123456789'), (''), ('000000000'), (NULL)) AS entries(entry);
SELECT (sin_check(entry)).*
  FROM (VALUES ('046 454 286'), ('123 456 789'), ('12345'), ('000 000 000')) AS entries(entry);
SELECT sin, sin_group(sin), sin_regions(sin), sin_format(sin), sin_format(sin, 'bare'),
       sin_format(sin, 'dashed'), sin_mask(sin)
  FROM staff ORDER BY sin;
SELECT sin_format('046454286', 'fancy');
SELECT sin_group(NULL), sin_mask(NULL), sin_check(NULL) IS NULL AS no_check;

-- Test data: the numbers mivaro-cli generate prints for the same options.
SELECT * FROM sin_generate(3, 'QC,ON', seed => 7);
SELECT * FROM sin_generate(2, first_digit => 9, seed => 1);
SELECT count(*), count(DISTINCT n) FROM sin_generate(1000, seed => 42) AS n;
SELECT count(*) FROM sin_generate(0);
SELECT sin_group(n), count(*) FROM sin_generate(500, 'nb,bc') AS n GROUP BY 1;
-- In the select list the numbers come one at a time, so LIMIT stops early;
-- in FROM the server would make all of them first.
SELECT count(*) FROM (SELECT sin_generate(100000000) LIMIT 3) AS first_three;
SET statement_timeout = '200ms';
SELECT count(*) FROM sin_generate(100000000);
RESET statement_timeout;
SELECT * FROM sin_generate(-1);
SELECT * FROM sin_generate(100000001);
SELECT * FROM sin_generate(1, 'QC,XX');
SELECT * FROM sin_generate(1, first_digit => 10);
SELECT * FROM sin_generate(5, first_digit => -1);
SELECT * FROM sin_generate(1, 'QC', 2);
SELECT * FROM sin_generate(NULL);

-- A CHECK constraint on a legacy text column: the bad row refused, the
-- good ones kept.
CREATE TABLE legacy (id integer, sin_text text CHECK (sin_is_valid(sin_text)));
INSERT INTO legacy VALUES (1, '046 454 286'), (2, '123-456-782');
INSERT INTO legacy VALUES (3, '123 456 789');
SELECT id, sin_text FROM legacy ORDER BY id;

-- Parallel query: the check runs in the workers.
CREATE TABLE many AS
  SELECT CASE WHEN i % 3 = 0 THEN 'x' ELSE n::text END AS s
    FROM sin_generate(30000, seed => 3) WITH ORDINALITY AS g(n, i);
SET max_parallel_workers_per_gather = 2;
SET parallel_setup_cost = 0;
SET parallel_tuple_cost = 0;
SET min_parallel_table_scan_size = 0;
EXPLAIN (COSTS OFF) SELECT count(*) FROM many WHERE sin_is_valid(s);
SELECT count(*) FROM many WHERE sin_is_valid(s);
RESET max_parallel_workers_per_gather;
RESET parallel_setup_cost;
RESET parallel_tuple_cost;
RESET min_parallel_table_scan_size;

-- Binary send and receive: a round trip, and a value that is no SIN refused.
CREATE TABLE binary_copy (sin sin);
SELECT current_setting('data_directory') || '/mivaro-binary-copy' AS file \gset
COPY staff (sin) TO :'file' (FORMAT binary);
COPY binary_copy FROM :'file' (FORMAT binary);
COPY (SELECT 123456789) TO :'file' (FORMAT binary);
COPY binary_copy FROM :'file' (FORMAT binary);
COPY (SELECT -1) TO :'file' (FORMAT binary);
COPY binary_copy FROM :'file' (FORMAT binary);
SELECT sin FROM binary_copy ORDER BY sin;

-- Input that must not hurt the server: a 100 MB text, and bytes that are
-- not UTF-8 in a SQL_ASCII database.
SELECT sin_is_valid(repeat('1', 100000000)), (sin_check(repeat(' ', 100000000))).error;
CREATE DATABASE ascii_only ENCODING 'SQL_ASCII' LC_COLLATE 'C' LC_CTYPE 'C' TEMPLATE template0;
\c ascii_only
CREATE EXTENSION mivaro;
SELECT sin_is_valid(E'12345678\xE9'), (sin_check(E'12345678\xE9')).error,
       (sin_check(E'\xA0123456782')).error;
\set VERBOSITY sqlstate
SELECT E'123 456 782\xA0'::sin;

-- SINs in free text: where they are, in characters from 1, and scrubbed.
\c mivaro_regression
\set VERBOSITY default
SELECT * FROM sin_find('Ticket: my SIN is 046 454 286; call 613-555-0199. NAS 123-456-782');
SELECT * FROM sin_find('id 046454286 and 123 456 782', 'low');
SELECT * FROM sin_find('id 046454286 and 123 456 782', 'high');
SELECT start, length, substr(t, start, length) AS written
  FROM (SELECT 'Zoë — numéro d''assurance sociale : 046 454 286' AS t) AS s, sin_find(t);
SELECT sin_redact('Zoë — SIN: 046 454 286, id 123456782 and 046-454-289');
SELECT sin_redact('SIN 046 454 286', all_digits => true);
SELECT sin_redact('nothing to hide'), sin_redact(NULL), count(*) FROM sin_find(NULL);
SELECT * FROM sin_find('SIN 046 454 286', 'sure');
-- In a LATIN1 database the text is converted to scan it, and scrubbed in its
-- own encoding; places are its characters.
CREATE DATABASE latin ENCODING 'LATIN1' LC_COLLATE 'C' LC_CTYPE 'C' TEMPLATE template0;
\c latin
SET client_encoding = 'UTF8';
CREATE EXTENSION mivaro;
SELECT * FROM sin_find('Zoë, numéro d''assurance sociale 046 454 286 ou 123 456 782');
SELECT sin_redact('Zoë, numéro d''assurance sociale 046 454 286 ou 123 456 782');

