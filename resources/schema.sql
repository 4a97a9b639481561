-- The empty customer database: table info and its index "序号".
-- No column is required and there is no primary key; numbers are kept unique
-- by the customer dialog, not by the database.  Text comparisons ignore case
-- as the customer code expects.  Photo holds the bytes of a BMP file.
-- Sizes the customer code writes within: Number and Remark 255 characters,
-- the other text columns 50.
CREATE TABLE info (
    Number   TEXT COLLATE NOCASE,
    Name     TEXT COLLATE NOCASE,
    Sex      TEXT COLLATE NOCASE,
    Age      TEXT COLLATE NOCASE,
    Birthday TEXT COLLATE NOCASE,
    Phone    TEXT COLLATE NOCASE,
    Email    TEXT COLLATE NOCASE,
    Address  TEXT COLLATE NOCASE,
    Operator TEXT COLLATE NOCASE,
    Remark   TEXT COLLATE NOCASE,
    Photo    BLOB
);
CREATE INDEX "序号" ON info (Number ASC);
