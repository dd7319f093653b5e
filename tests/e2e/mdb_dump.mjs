// Prints what mdb-reader reads from an Access file, one fact a line, so that
// the end-to-end tests can compare it with what the Oracle side served:
//   table NAME
//   column NAME TYPE SIZE required|optional
//   row V1<TAB>V2...          rows sorted, values canonical (see below)
// Values: NULL for null, numbers as JavaScript prints them, dates as
// YYYY-MM-DD HH:MM:SS, binary as 0x and hex, text with \ \t \n \r escaped.
// usage: node mdb_dump.mjs FILE.mdb [TABLE...]
import { readFileSync } from "node:fs";
import { createRequire } from "node:module";
import { pathToFileURL } from "node:url";

// mdb-reader is installed once for the project under tools/readers.
const readers = new URL("../../tools/readers/package.json", import.meta.url);
const { default: MDBReader } = await import(pathToFileURL(createRequire(readers).resolve("mdb-reader")).href);

const [file, ...only] = process.argv.slice(2);
const bytes = readFileSync(file);
const reader = new MDBReader(bytes);

function canonical(value) {
  if (value === null || value === undefined) return "NULL";
  if (value instanceof Date) return value.toISOString().slice(0, 19).replace("T", " ");
  if (Buffer.isBuffer(value) || value instanceof Uint8Array) return "0x" + Buffer.from(value).toString("hex");
  if (typeof value === "string")
    return value.replace(/\\/g, "\\\\").replace(/\t/g, "\\t").replace(/\n/g, "\\n").replace(/\r/g, "\\r");
  return String(value);
}

// Text sizes in characters: mdb-reader gives bytes, two a character in Access
// 2000 files, one in Access 95/97 files (version byte 0 at offset 0x14).
const bytesPerCharacter = bytes[0x14] === 0 ? 1 : 2;

const names = reader.getTableNames().sort();
const lines = [];
for (const name of names) {
  if (only.length && !only.includes(name)) continue;
  const table = reader.getTable(name);
  lines.push(`table ${name}`);
  const columns = table.getColumns();
  for (const c of columns) {
    const size = c.type === "text" ? c.size / bytesPerCharacter : c.size;
    lines.push(`column ${c.name} ${c.type} ${size} ${c.nullable === false ? "required" : "optional"}`);
  }
  const rows = table.getData().map((row) => "row " + columns.map((c) => canonical(row[c.name])).join("\t"));
  lines.push(...rows.sort());
}
process.stdout.write(lines.join("\n") + "\n");
