#!/usr/bin/env python3
"""Instructions per row by layer, from a callgrind profile of one conversion.

usage: bench/layer_profile.py CALLGRIND_OUT ROWS

Each function's own instructions (callgrind's self cost) are counted to the
layer its name or library belongs to; the C and C++ run-time (allocation,
copies, formatting) is shown as a line of its own. Below that, the inclusive
cost of the calls that cross between layers.
"""
import re
import subprocess
import sys

LAYERS = [
    ("SQLite (reading the source)", lambda n, o: "libsqlite3" in o),
    ("ocilite (OCI client)", lambda n, o: "libocilite" in o),
    ("trace", lambda n, o: re.match(r"trace(_line|_writes)?\(", n)),
    ("ORA (Oracle source)", lambda n, o: re.search(r"\bora_", n)),
    ("UDB (conversion)", lambda n, o: re.search(r"\budb_", n)),
    ("DAO (Access layer)", lambda n, o: re.search(r"\bdao_", n)),
    ("jet (Access engine)", lambda n, o: re.search(r"\b(jet_|jd_)", n)),
    ("OLE/platform (values)", lambda n, o: re.search(r"\bole_|Variant|SysAlloc|SysFree|SysString|SystemTime|VarDec|VarCy|Dec[A-Z]", n)),
    ("common (copy loop)", lambda n, o: "dunmarrow_convertor" in n),
    ("C/C++ run-time", lambda n, o: re.search(r"libc\.so|libstdc\+\+|libm\.so|ld-linux|libgcc", o)),
]
CROSSINGS = [
    ("OCI calls (ocilite + SQLite)", r"^OCI[A-Z]\w+$"),
    ("UDB convert_record", r"udb_recordset::convert_record"),
    ("DAO append_record", r"dao_recordset::append_record"),
    ("engine: AddNew/put_Collect/Update/Close", r"jd_recordset::(AddNew|put_Collect|Update|Close)\("),
]


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    path, rows = sys.argv[1], int(sys.argv[2])
    text = subprocess.run(["callgrind_annotate", "--threshold=100", path], capture_output=True, text=True).stdout
    inclusive = subprocess.run(["callgrind_annotate", "--threshold=100", "--inclusive=yes", path],
                               capture_output=True, text=True).stdout
    line = re.compile(r"^\s*([\d,]+) \([\s\d.]+%\)\s+(?:\S*?):(.*?)(?: \[(.*)\])?$")
    total = 0
    sums = {name: 0 for name, _ in LAYERS}
    sums["other"] = 0
    for row in text.splitlines():
        if "PROGRAM TOTALS" in row:
            total = int(row.split()[0].replace(",", ""))
            continue
        m = line.match(row)
        if not m:
            continue
        cost, name, obj = int(m.group(1).replace(",", "")), m.group(2), m.group(3) or ""
        for layer, test in LAYERS:
            if test(name, obj):
                sums[layer] += cost
                break
        else:
            sums["other"] += cost
    print(f"{'layer (own instructions)':44} {'per row':>9} {'share':>7}")
    for layer, cost in sums.items():
        print(f"{layer:44} {cost / rows:9.0f} {100 * cost / max(total, 1):6.1f}%")
    print(f"{'total':44} {total / rows:9.0f}")
    print()
    print(f"{'calls across layers (inclusive)':44} {'per row':>9}")
    costs = {}
    for row in inclusive.splitlines():
        m = line.match(row)
        if not m:
            continue
        name = m.group(2)
        for label, pattern in CROSSINGS:
            short = re.sub(r"\(.*", "", name)
            if re.search(pattern, short if pattern.startswith("^") else name):
                costs[label] = costs.get(label, 0) + int(m.group(1).replace(",", ""))
    for label, _ in CROSSINGS:
        print(f"{label:44} {costs.get(label, 0) / rows:9.0f}")


if __name__ == "__main__":
    main()
