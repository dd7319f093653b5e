// Compares `jetutil dump` output with what mdb-reader reads from the same
// file: table names, columns (name, type, size) and rows (as multisets, since
// the two readers may meet moved rows in a different order).
// usage: node compare.mjs OURS.json FILE.mdb   exit 0 when they agree
import { readFileSync } from "node:fs";
import MDBReader from "mdb-reader";

const [oursPath, mdbPath] = process.argv.slice(2);
const ours = JSON.parse(readFileSync(oursPath, "utf8"));
const reader = new MDBReader(readFileSync(mdbPath));
const problems = [];

// Our type names against mdb-reader's.
const typeNames = { single: "float", longbinary: "ole", guid: "repid" };
const theirType = (type) => typeNames[type] ?? type;

// mdb-reader turns the stored OLE date into a JavaScript date as if the days
// were a plain line. OLE counts the time of a negative date forward from its
// day (-1.25 is 1899-12-29 06:00), as our dump shows it, so the stored
// number is taken back and shown that way.
function oleDateText(date) {
  const stored = date.getTime() / 86400000 + 25569;
  const day = Math.trunc(stored);
  const fraction = Math.abs(stored - day);
  const shown = new Date(Math.round((day - 25569 + fraction) * 86400000));
  return shown.toISOString().replace(/Z$/, "");
}

function canonical(value, type) {
  if (value === null || value === undefined) return null;
  switch (type) {
    case "datetime": return oleDateText(value);
    case "binary": case "ole": return Buffer.from(value).toString("hex");
    case "repid": return String(value).replace(/[{}]/g, "").toLowerCase();
    case "float": case "double": return Number.isNaN(value) ? "NaN" : value;
    default: return value;
  }
}

// The five bytes code page 1252 leaves undefined stand for the C1 controls
// of the same number in Windows' conversions, which our reader follows;
// mdb-reader shows them as U+FFFD.
const undefinedIn1252 = /[\u0081\u008d\u008f\u0090\u009d]/g;

function oursCanonical(value, type) {
  if (value === null) return null;
  if (type === "repid") return value.replace(/[{}]/g, "").toLowerCase();
  if ((type === "text" || type === "memo") && ours.version === 0) return value.replace(undefinedIn1252, "\ufffd");
  if (type === "float" || type === "double") {
    if (value === "Infinity") return Infinity;
    if (value === "-Infinity") return -Infinity;
  }
  return value;
}

const theirNames = reader.getTableNames({ normalTables: true, systemTables: true, linkedTables: false }).sort();
const ourTables = ours.tables.filter((t) => t.object_type === 1);
const ourNames = ourTables.map((t) => t.name).sort();
if (JSON.stringify(theirNames) !== JSON.stringify(ourNames))
  problems.push(`tables differ: mdb-reader ${JSON.stringify(theirNames)} ours ${JSON.stringify(ourNames)}`);

let rowsCompared = 0;
const skipped = [];
for (const table of ourTables) {
  if (!theirNames.includes(table.name)) continue;
  const theirs = reader.getTable(table.name);
  let theirColumns;
  try {
    theirColumns = theirs.getColumns();
  } catch (error) {
    // mdb-reader refuses some column types of Access's own system tables.
    skipped.push(`${table.name} (${error.message})`);
    continue;
  }
  const types = theirColumns.map((c) => c.type);
  // mdb-reader gives a text column's size in bytes: two a character in Jet 4, one in Jet 3.
  const bytesPerCharacter = ours.version === 0 ? 1 : 2;
  const theirShape = theirColumns.map(
    (c) => `${c.name}:${c.type}:${c.type === "text" ? c.size / bytesPerCharacter : c.type === "boolean" ? 1 : c.size}`,
  );
  const ourShape = table.columns.map((c) => `${c.name}:${theirType(c.type)}:${c.size}`);
  if (JSON.stringify(theirShape) !== JSON.stringify(ourShape)) {
    problems.push(`${table.name}: columns differ\n  mdb-reader ${theirShape.join(", ")}\n  ours       ${ourShape.join(", ")}`);
    continue;
  }
  if (!table.rows) continue;
  const theirRows = theirs.getData().map((row) =>
    JSON.stringify(theirColumns.map((c, i) => canonical(row[c.name], types[i]))));
  const ourRows = table.rows.map((row) => JSON.stringify(row.map((v, i) => oursCanonical(v, types[i]))));
  theirRows.sort();
  ourRows.sort();
  if (theirRows.length !== ourRows.length)
    problems.push(`${table.name}: ${theirRows.length} rows in mdb-reader, ${ourRows.length} in ours`);
  for (let i = 0; i < Math.min(theirRows.length, ourRows.length); ++i) {
    if (theirRows[i] !== ourRows[i]) {
      problems.push(`${table.name}: first differing row\n  mdb-reader ${theirRows[i].slice(0, 400)}\n  ours       ${ourRows[i].slice(0, 400)}`);
      break;
    }
  }
  rowsCompared += ourRows.length;
}

if (problems.length) {
  console.log(problems.join("\n"));
  process.exit(1);
}
console.log(`agree: ${ourTables.length - skipped.length} tables, ${rowsCompared} rows` +
  (skipped.length ? `; not readable by mdb-reader: ${skipped.join(", ")}` : ""));
