#!/usr/bin/python3
"""Prints the one-screen summary of `make coverage` and writes its page of
line and branch figures per function.

Run by tools/coverage.sh with /usr/bin/python3 (standard library only):

    /usr/bin/python3 tools/coverage-summary.py OUTPUT_FOLDER RUN...

OUTPUT_FOLDER holds gcovr's merged report (merged.json, summary.json); the
page goes to functions.html beside index.html.
"""

import html
import json
import os
import sys

FOLDERS = ("launch/", "Shared/sdk/")
WORST_FILES = 10


def percent(covered, total):
    return f"{100.0 * covered / total:5.1f}%" if total else "    -"


def figure(covered, total):
    return f"{percent(covered, total)} ({covered}/{total})"


def counted_lines(entry):
    """The lines gcov counts (code, not excluded) of one file of gcovr's JSON."""
    return [line for line in entry["lines"] if not line["gcovr/noncode"] and not line["gcovr/excluded"]]


def line_and_branch_figures(lines):
    branches = [branch for line in lines for branch in line["branches"]]
    return (
        sum(1 for line in lines if line["count"] > 0),
        len(lines),
        sum(1 for branch in branches if branch["count"] > 0),
        len(branches),
    )


def functions_of(entry):
    """(first line, name, calls, figures) per function of one file. gcov gives
    only a function's first line: its lines run to the next function's first
    line. A lambda's lines count with the function around it. The builds may
    name one function differently (the types of 32- and 64-bit targets): one
    row per first line, under the shortest name."""
    by_line = {}
    for function in entry["functions"]:
        if "{lambda" in function["name"]:
            continue
        names, calls = by_line.get(function["lineno"], ([], 0))
        by_line[function["lineno"]] = (names + [function["name"]], calls + function["execution_count"])
    starts = sorted(by_line)
    lines = counted_lines(entry)
    rows = []
    for index, start in enumerate(starts):
        end = starts[index + 1] if index + 1 < len(starts) else float("inf")
        names, calls = by_line[start]
        inside = [line for line in lines if start <= line["line_number"] < end]
        rows.append((start, min(names, key=len), calls, line_and_branch_figures(inside)))
    return rows


def write_function_page(path, files):
    rows = []
    for entry in sorted(files, key=lambda e: e["file"]):
        for start, name, calls, (lines_hit, lines, branches_hit, branches) in functions_of(entry):
            rows.append(
                f"<tr><td>{html.escape(entry['file'])}:{start}</td><td><code>{html.escape(name)}</code></td>"
                f"<td>{calls}</td><td>{figure(lines_hit, lines)}</td><td>{figure(branches_hit, branches)}</td></tr>"
            )
    with open(path, "w", encoding="utf-8") as f:
        f.write(
            "<!DOCTYPE html>\n<html><head><meta charset='utf-8'><title>Coverage per function</title>"
            "<style>td,th{padding:2px 8px;text-align:left}tr:nth-child(even){background:#eee}</style>"
            "</head><body><h1>Coverage per function</h1><p>A function's lines run from its first line to the "
            "next function's; a lambda's count with the function around it. <a href='index.html'>Per file</a>"
            "</p><table><tr><th>Where</th><th>Function</th><th>Calls</th><th>Lines</th><th>Branches</th></tr>\n"
            + "\n".join(rows)
            + "\n</table></body></html>\n"
        )


def main():
    out, runs = sys.argv[1], sys.argv[2:]
    with open(os.path.join(out, "merged.json"), encoding="utf-8") as f:
        files = json.load(f)["files"]
    with open(os.path.join(out, "summary.json"), encoding="utf-8") as f:
        summary = {entry["filename"]: entry for entry in json.load(f)["files"]}
    write_function_page(os.path.join(out, "functions.html"), files)

    print(f"\ncoverage of {' + '.join(runs)}: {out}/index.html (per file), {out}/functions.html (per function)")
    print(f"{'':14}{'lines':22}branches")
    for folder in FOLDERS:
        entries = [entry for name, entry in summary.items() if name.startswith(folder)]
        lines = figure(sum(e["line_covered"] for e in entries), sum(e["line_total"] for e in entries))
        branches = figure(sum(e["branch_covered"] for e in entries), sum(e["branch_total"] for e in entries))
        print(f"{folder:14}{lines:22}{branches}")

    print(f"\nthe {WORST_FILES} files with the most lines not reached:")
    print(f"{'missed':>7}  {'lines':7}{'branches':10}file")
    worst = sorted(summary.values(), key=lambda e: (e["line_covered"] - e["line_total"], e["filename"]))
    for entry in worst[:WORST_FILES]:
        missed = entry["line_total"] - entry["line_covered"]
        if missed == 0:
            break
        print(
            f"{missed:7}  {percent(entry['line_covered'], entry['line_total']):7}"
            f"{percent(entry['branch_covered'], entry['branch_total']):10}{entry['filename']}"
        )


if __name__ == "__main__":
    main()
