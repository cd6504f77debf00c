#!/usr/bin/python3
"""`make mutants`: how many small faults in the portable code the tests catch.

Run from anywhere with /usr/bin/python3 (standard library only):

    MUTANTS=50 MUTANT_SEED=19 MUTANT_FILES="SString.cpp ..." MUTANT_TIMEOUT=60 \
        /usr/bin/python3 tools/mutants.py

Each mutant changes one line of a portable source in Shared/sdk (what the
native build compiles): a relational or equality operator, `&&`/`||`, an
integer constant one up or down, a negation or boolean result inverted, an
early return removed. It is built in a copy of the checkout
(build/mutants/src, its own `native` build: the sanitizers are on, as in
`make test`) and the native suite runs there, the fuzz replays included. A
mutant is killed when a test fails or the suite runs past the time limit;
one that does not compile is left out of the count. The checkout itself is
never changed, so no mutant can stay behind, whatever stops the run.

MUTANTS (default 50) mutants are drawn from all candidates with MUTANT_SEED
(default 19), so two runs with the same settings on the same sources try the
same mutants. MUTANT_FILES names some sources (base names or paths).
MUTANT_TIMEOUT (default 60) bounds the suite's run on each mutant, in
seconds (unchanged, it takes a few).
"""

import filecmp
import json
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
WORK = os.path.join(ROOT, "build", "mutants")
COPY = os.path.join(WORK, "src")
SOURCE_FOLDER = "Shared/sdk"
# As tools/jobs.sh chooses: JOBS when set, else one per processor.
JOBS = os.environ.get("JOBS") or str(os.cpu_count() or 1)

# Binary operators stand between spaces in clang-format's shape, which tells
# them from template brackets, shifts, arrows and rvalue references.
SWAPS = {
    "<": ("<=", "relational"),
    "<=": ("<", "relational"),
    ">": (">=", "relational"),
    ">=": (">", "relational"),
    "==": ("!=", "equality"),
    "!=": ("==", "equality"),
    "&&": ("||", "logical"),
    "||": ("&&", "logical"),
}
OPERATOR = re.compile(r"(?<= )(<=|>=|==|!=|&&|\|\||<|>)(?= )")
# Decimal constants only: hexadecimal ones are masks and code points, where
# one up or down is rarely a boundary.
CONSTANT = re.compile(r"(?<![\w.])(\d+)([uU]?[lL]{0,2})(?![\w.'])")
BOOLEAN = re.compile(r"\b(true|false)\b")
NEGATION = re.compile(r"(?<=[(\s])!(?=[\w(])")
COMPARISON_RETURN = re.compile(r"^(\s*return )(.*(?: == | != | < | <= | > | >= | && | \|\| ).*);\s*$")
LONE_RETURN = re.compile(r"^\s*return\b.*;\s*$")
CONTROL_HEADER = re.compile(r"^\s*(else\b|if \(|for \(|while \()")


def code_only(lines):
    """The lines with comments, string and character literals blanked out."""
    masked, in_comment = [], False
    for line in lines:
        out, i = [], 0
        while i < len(line):
            if in_comment:
                end = line.find("*/", i)
                if end < 0:
                    out.append(" " * (len(line) - i))
                    i = len(line)
                else:
                    out.append(" " * (end + 2 - i))
                    i, in_comment = end + 2, False
            elif line.startswith("//", i):
                out.append(" " * (len(line) - i))
                i = len(line)
            elif line.startswith("/*", i):
                in_comment = True
            elif line[i] in "\"'" and not (line[i] == "'" and i > 0 and line[i - 1].isalnum()):
                quote, j = line[i], i + 1
                while j < len(line) and line[j] != quote:
                    j += 2 if line[j] == "\\" else 1
                out.append(quote + " " * (min(j, len(line)) - i - 1) + (quote if j < len(line) else ""))
                i = j + 1
            else:
                out.append(line[i])
                i += 1
        masked.append("".join(out))
    return masked


def mutants_of(path, lines):
    """Every single-line mutant of one file: (path, line number, kind, before, after)."""
    found = []
    masked = code_only(lines)
    for index, (line, code) in enumerate(zip(lines, masked)):
        stripped = code.strip()
        if not stripped or stripped.startswith("#") or "static_assert" in code:
            continue

        def add(kind, start, end, text):
            found.append((path, index + 1, kind, line, line[:start] + text + line[end:]))

        for match in OPERATOR.finditer(code):
            after, kind = SWAPS[match.group(1)]
            add(kind, match.start(1), match.end(1), after)
        for match in CONSTANT.finditer(code):
            value = int(match.group(1))
            add("constant", match.start(1), match.end(1), str(value + 1))
            if value > 0:
                add("constant", match.start(1), match.end(1), str(value - 1))
        for match in BOOLEAN.finditer(code):
            add("boolean", match.start(), match.end(), "false" if match.group(1) == "true" else "true")
        for match in NEGATION.finditer(code):
            add("boolean", match.start(), match.end(), "")
        returned = COMPARISON_RETURN.match(code)
        if returned:
            start, end = returned.start(2), returned.end(2)
            add("boolean", start, end, "!(" + line[start:end] + ")")
        if is_early_return(masked, index):
            add("early return", indentation(line), len(line.rstrip()), "{}")
    return found


def indentation(line):
    return len(line) - len(line.lstrip())


def is_early_return(masked, index):
    """A return statement that is the body, or ends the braced body, of an
    if, else or loop (not the last statement of the function)."""
    if not LONE_RETURN.match(masked[index]):
        return False
    depth = indentation(masked[index])
    header = index - 1
    while header >= 0 and (not masked[header].strip() or indentation(masked[header]) >= depth):
        header -= 1
    if header > 0 and masked[header].strip() == "{":
        header -= 1
    return header >= 0 and bool(CONTROL_HEADER.match(masked[header]))


def portable_sources():
    """The sources of Shared/sdk that the native build compiles."""
    folder = os.path.join(ROOT, SOURCE_FOLDER)
    return sorted(
        f"{SOURCE_FOLDER}/{name}"
        for name in os.listdir(folder)
        if name.endswith(".cpp") and not name.endswith(".Win32.cpp")
    )


def chosen_sources(wanted):
    sources = portable_sources()
    if not wanted:
        return sources
    chosen = []
    for name in wanted:
        matches = [s for s in sources if s == name or os.path.basename(s) == name]
        if not matches:
            sys.exit(f"mutants: {name} is not a portable source of {SOURCE_FOLDER}")
        chosen += matches
    return sorted(set(chosen))


def sync_copy():
    """Brings build/mutants/src to the checkout's files (tracked or new, not
    ignored), copying only what differs so that its build stays incremental."""
    listed = subprocess.run(
        ["git", "ls-files", "-z", "--cached", "--others", "--exclude-standard"],
        cwd=ROOT, check=True, capture_output=True,
    ).stdout.decode().split("\0")
    for name in filter(None, listed):
        source, target = os.path.join(ROOT, name), os.path.join(COPY, name)
        if not os.path.isfile(source):
            continue
        if os.path.isfile(target) and filecmp.cmp(source, target, shallow=False):
            continue
        os.makedirs(os.path.dirname(target), exist_ok=True)
        # Dated now: newer than anything built from the old content.
        shutil.copy(source, target)


def run(command, timeout=None):
    """Runs a command in the copy; returns (exit code or None on timeout, output)."""
    process = subprocess.Popen(
        command, cwd=COPY, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, start_new_session=True
    )
    try:
        output, _ = process.communicate(timeout=timeout)
        return process.returncode, output.decode(errors="replace")
    except subprocess.TimeoutExpired:
        return None, ""
    finally:
        # Whatever the command started ends with it: a test that a mutant sent
        # into an endless loop would outlive ctest.
        try:
            os.killpg(process.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        process.wait()


def build():
    code, output = run(["cmake", "--build", "--preset", "native", "-j", JOBS])
    return code == 0, output


def build_mutant(path):
    """Builds the copy with a mutant in path: (True, "") when it builds, (False,
    the compiler's first error in path) when the compiler refuses the mutant.
    A build that fails elsewhere says nothing about the mutant: it is tried
    once more, then the run stops."""
    for _ in range(2):
        built, output = build()
        if built:
            return True, ""
        errors = [line for line in output.splitlines() if f"{path}:" in line and "error" in line]
        if errors:
            return False, errors[0]
    sys.exit(f"{output}\nmutants: the build failed, and not in {path}")


def failed_tests(output):
    return re.findall(r"^\s*\d+ - (\S+) \(", output, re.MULTILINE)


def test(timeout):
    """Runs the native suite; returns the failing tests (empty when all pass)."""
    code, output = run(["ctest", "--preset", "native", "-j", JOBS], timeout=timeout)
    if code is None:
        return [f"the time limit ({timeout} s)"]
    if code == 0:
        return []
    return failed_tests(output) or ["(ctest failed)"]


def main():
    count = int(os.environ.get("MUTANTS", "50"))
    seed = int(os.environ.get("MUTANT_SEED", "19"))
    timeout = int(os.environ.get("MUTANT_TIMEOUT", "60"))
    sources = chosen_sources(os.environ.get("MUTANT_FILES", "").split())

    candidates = []
    for path in sources:
        with open(os.path.join(ROOT, path), encoding="utf-8") as f:
            candidates += mutants_of(path, f.read().split("\n"))
    picked = random.Random(seed).sample(candidates, min(count, len(candidates)))
    # In file order, so that consecutive mutants rebuild the same object.
    picked.sort(key=lambda m: (m[0], m[1], m[4]))
    print(f"mutants: {len(picked)} of {len(candidates)} candidates in {len(sources)} files, seed {seed}")

    os.makedirs(COPY, exist_ok=True)
    sync_copy()
    code, output = run(["cmake", "--preset", "native"])
    if code != 0:
        sys.exit(output + "\nmutants: the copy does not configure")
    ok, output = build()
    if not ok:
        sys.exit(output + "\nmutants: the unchanged sources do not build")
    broken = test(timeout)
    if broken:
        sys.exit(f"mutants: the unchanged sources fail {', '.join(broken)}: no mutant can be judged")

    killed, survivors, not_compiled = 0, [], 0
    results = []
    for number, (path, line_number, kind, before, after) in enumerate(picked, 1):
        target = os.path.join(COPY, path)
        with open(target, encoding="utf-8") as f:
            original = f.read()
        lines = original.split("\n")
        lines[line_number - 1] = after
        started = time.monotonic()
        try:
            with open(target, "w", encoding="utf-8") as f:
                f.write("\n".join(lines))
            compiled, error = build_mutant(path)
            failing = test(timeout) if compiled else []
        finally:
            with open(target, "w", encoding="utf-8") as f:
                f.write(original)
        seconds = time.monotonic() - started
        if not compiled:
            verdict = "does not compile"
            not_compiled += 1
        elif failing:
            verdict = "killed by " + ", ".join(failing)
            killed += 1
        else:
            verdict = "SURVIVED"
            survivors.append((path, line_number, kind, before, after))
        results.append({"file": path, "line": line_number, "kind": kind, "before": before.strip(),
                        "after": after.strip(), "verdict": verdict, "error": error})
        print(f"[{number}/{len(picked)}] {path}:{line_number} {kind}: {before.strip()} → {after.strip()}: "
              f"{verdict} ({seconds:.0f} s)", flush=True)

    judged = len(picked) - not_compiled
    with open(os.path.join(WORK, "results.json"), "w", encoding="utf-8") as f:
        json.dump({"seed": seed, "killed": killed, "judged": judged, "not_compiled": not_compiled,
                   "mutants": results}, f, indent=1, ensure_ascii=False)
    print(f"\nmutants: killed {killed}/{judged} (seed {seed}; {not_compiled} did not compile and are left out)")
    if survivors:
        print(f"survivors ({len(survivors)}):")
        for path, line_number, kind, before, after in survivors:
            print(f"  {path}:{line_number} {kind}: {before.strip()} → {after.strip()}")
    print(f"every verdict: {os.path.relpath(os.path.join(WORK, 'results.json'), ROOT)}")


if __name__ == "__main__":
    # Being ended restores the copy's file as Ctrl-C does. A restore cut short
    # harms nothing: every run first brings the copy back to the checkout.
    signal.signal(signal.SIGTERM, signal.default_int_handler)
    main()
