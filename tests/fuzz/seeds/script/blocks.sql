/* a comment; with a semicolon */
CREATE TABLE "Mixed Case" ("Item Id" NUMBER(6) PRIMARY KEY, NOTE CLOB, PIC LONG RAW)
/
INSERT INTO "Mixed Case" VALUES (1, EMPTY_CLOB(), NULL); -- trailing; comment
INSERT INTO "Mixed Case" VALUES (2, TO_CLOB(RPAD('a', 5000, 'b')), NULL);
SELECT COUNT(*), MAX("Item Id") FROM "Mixed Case" WHERE NOTE LIKE 'a%';
DROP TABLE "Mixed Case";
