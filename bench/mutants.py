#!/usr/bin/env python3
"""How many deliberate faults the test suite catches: mutation testing over bench/mutants.txt.

    python3 bench/mutants.py SOURCE_DIR BUILD_DIR [--only ID,...] [--results FILE]
    python3 bench/mutants.py SOURCE_DIR BUILD_DIR --build-only [--only ID,...]
    python3 bench/mutants.py SOURCE_DIR --list
    python3 bench/mutants.py --compare OLD_RESULTS NEW_RESULTS

BUILD_DIR is a build of SOURCE_DIR configured with the tests (as CI configures it), and
SOURCE_DIR/build-web the page's (cmake --preset web && cmake --build --preset web), which the
page's tests take: the page is the tool's own sources compiled with Emscripten, so it is built
with every fault, as the tool is; a page left without the fault would differ from the tool in
the page's tests whether or not they test what the fault breaks. For each fault, in the order of
the list:

- the text it replaces must occur exactly once in its file; otherwise the fault is "not
  applicable" and the next one is taken;
- the file is changed, and the build brought up to date (cmake --build BUILD_DIR): a fault
  that does not compile is reported as a failed build, to be mended in the list; one that
  compiles but stops a later step of the build (a conversion the build makes with the tool) is
  caught by the build;
- the suite runs in two phases, each stopping at its first failure: the quick tests, and only if
  they all pass, the page built (cmake --build --preset web in SOURCE_DIR) and the long ones
  (LONG_TESTS below), with CI=true so that no test skips for want of a program;
- the file is restored, byte for byte, whatever happens (an interruption too); the next fault's
  build, or the last build, brings the build and the page back to it.

One line per fault says which test caught it, or SURVIVED; at the end, the faults caught out of
those applied, and the survivors. --results FILE writes one line per fault, tab-separated (id,
file, outcome, test or reason, seconds), for --compare. The unchanged suite runs first, and must
pass (--no-baseline skips that); at the end the build is brought back to the unchanged sources.
--build-only applies each fault and builds, without the tests, to check that the list builds.

While a fault is applied, BUILD_DIR/mutants/pending.json holds the file's original text, so that
a run stopped hard (kill -9, a power cut) is undone by the next run, which restores the file
first. The logs of each build and test run go to BUILD_DIR/mutants/ID.log. Beyond the file
changed and restored, the build folders and the results file, nothing is written.
"""
import argparse
import datetime
import json
import os
import pathlib
import re
import signal
import subprocess
import sys
import time

HERE = pathlib.Path(__file__).resolve().parent
# The tests that take long: run only once the others pass.
LONG_TESTS = ["consumer", "valgrind_end_to_end_.*", "web", "firefox", "arduino", "gif_chromium",
              "doc_examples"]
LONG_REGEX = "^(" + "|".join(LONG_TESTS) + ")$"
FIELDS = ("id", "file", "from", "to", "why")


class Stopped(Exception):
    """SIGTERM or SIGHUP, taken as Ctrl-C is."""


def parse_mutants(path):
    """The faults of `path`, as dicts of FIELDS, in order; exits saying why on a bad list."""
    mutants = []
    block = {}
    last = None
    problems = []

    def close(line_number):
        nonlocal block, last
        if block:
            missing = [field for field in FIELDS if field not in block]
            if missing:
                problems.append(f"{path}:{line_number}: the fault {block.get('id', '?')} lacks "
                                f"{', '.join(missing)}")
            elif not block["from"]:
                problems.append(f"{path}:{line_number}: the fault {block['id']} replaces nothing")
            elif block["from"] == block["to"]:
                problems.append(f"{path}:{line_number}: the fault {block['id']} changes nothing")
            else:
                mutants.append(block)
        block = {}
        last = None

    lines = pathlib.Path(path).read_text(encoding="utf-8").split("\n")
    for number, line in enumerate(lines, 1):
        if line.strip() == "":
            close(number)
        elif line.startswith("#") and last is None and not block:
            continue
        elif line.startswith("|"):
            if last is None:
                problems.append(f"{path}:{number}: a continuation line with no field before it")
                continue
            block[last] += "\n" + (line[2:] if line.startswith("| ") else line[1:])
        else:
            match = re.match(r"^(id|file|from|to|why):( ?)(.*)$", line)
            if not match:
                problems.append(f"{path}:{number}: not a field of a fault: {line!r}")
                continue
            key = match[1]
            if key in block:
                problems.append(f"{path}:{number}: {key} given twice")
            block[key] = match[3]
            last = key
    close(len(lines))
    seen = set()
    for mutant in mutants:
        if mutant["id"] in seen:
            problems.append(f"{path}: the id {mutant['id']} is given twice")
        seen.add(mutant["id"])
    if problems:
        sys.exit("\n".join(problems))
    return mutants


def occurrences(source, mutant):
    path = source / mutant["file"]
    if not path.is_file():
        return None
    return path.read_text(encoding="utf-8").count(mutant["from"])


def run(command, log, cwd=None, env=None):
    """Runs `command`, its output appended to `log`; its exit status. The command runs in a
    session of its own, which is ended if this script is interrupted."""
    with open(log, "a", encoding="utf-8", errors="replace") as out:
        out.write(f"\n$ {' '.join(command)}\n")
        out.flush()
        process = subprocess.Popen(command, cwd=cwd, env=env, stdout=out, stderr=subprocess.STDOUT,
                                   stdin=subprocess.DEVNULL, start_new_session=True)
        try:
            return process.wait()
        except BaseException:
            try:
                os.killpg(process.pid, signal.SIGTERM)
                process.wait(timeout=30)
            except (ProcessLookupError, subprocess.TimeoutExpired):
                try:
                    os.killpg(process.pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
            raise


def failed_tests(log_text):
    """The tests ctest reports failed in `log_text`, the last run's."""
    text = log_text[log_text.rfind("\n$ ctest"):]
    names = []
    summary = text.find("The following tests FAILED:")
    if summary >= 0:
        for line in text[summary:].splitlines()[1:]:
            match = re.match(r"^\s*\d+ - (\S+) \((.+)\)\s*$", line)
            if not match:
                break
            names.append(match[1] if match[2] == "Failed" else f"{match[1]} ({match[2]})")
    if not names:
        for match in re.finditer(r"Test\s+#\d+: (\S+) \.*\s*\*\*\*(\w[\w ]*)", text):
            if match[2].strip() not in ("Skipped", "Not Run"):
                names.append(f"{match[1]} ({match[2].strip()})")
    return names


def build_failure(log, what):
    """(compiled, why) for `what`, the build whose output ends `log`: whether the sources
    compiled, and the compiler's first error, or the file the failed step was making."""
    text = pathlib.Path(log).read_text(encoding="utf-8", errors="replace")
    text = text[text.rfind("\n$ "):]
    error = re.search(r"^(\S+?):(\d+):(?:\d+:)? (?:fatal )?error: (.*)$", text, re.M)
    if error:
        return False, f"{what}: {os.path.basename(error[1])}:{error[2]}: {error[3]}"
    if re.search(r"CMake Error", text):
        return False, f"{what}: CMake stopped"
    step = re.search(r"\*\*\* \[\S+?: (\S+)\] Error", text)
    return True, f"{what}, making {step[1] if step else 'a file'}"


class Runner:
    def __init__(self, source, build, jobs, timeout, ci):
        self.source = source
        self.build = build
        self.jobs = jobs
        self.timeout = timeout
        self.env = dict(os.environ)
        if ci:
            self.env["CI"] = "true"
        self.state = build / "mutants"
        self.state.mkdir(exist_ok=True)
        self.pending = self.state / "pending.json"

    def log(self, name):
        path = self.state / f"{name}.log"
        path.write_text(f"{datetime.datetime.now().isoformat(timespec='seconds')}\n",
                        encoding="utf-8")
        return path

    def build_all(self, log, page=True):
        """Brings the build, and with `page` the page, up to date: None, or (compiled, why):
        whether the sources compiled (a step after failed, such as a conversion the build
        makes), and what failed."""
        if run(["cmake", "--build", str(self.build), f"-j{self.jobs}"], log, env=self.env) != 0:
            return build_failure(log, "the build")
        return self.build_page(log) if page else None

    def build_page(self, log):
        if run(["cmake", "--build", "--preset", "web", f"-j{self.jobs}"], log, cwd=self.source,
               env=self.env) != 0:
            return build_failure(log, "the page's build")
        return None

    def phase(self, log, long):
        """Runs the quick tests, or the long ones: the tests that failed."""
        ctest = ["ctest", "--test-dir", str(self.build), f"-j{self.jobs}", "--stop-on-failure",
                 "--timeout", str(self.timeout), "-R" if long else "-E", LONG_REGEX]
        status = run(ctest, log, env=self.env)
        if status != 0:
            text = pathlib.Path(log).read_text(encoding="utf-8", errors="replace")
            return failed_tests(text) or [f"ctest (exit status {status})"]
        return []

    def suite(self, log):
        """The quick tests, then if they pass the page built and the long tests, some of which
        take it: None, or (compiled, why) for a page that does not build, or the tests that
        failed. A fault the quick tests catch costs no build of the page."""
        failed = self.phase(log, long=False)
        if failed:
            return failed
        return self.build_page(log) or self.phase(log, long=True)

    def restore_pending(self):
        """Undoes a fault a run stopped hard left applied; whether there was one."""
        if not self.pending.exists():
            return False
        left = json.loads(self.pending.read_text(encoding="utf-8"))
        path = self.source / left["file"]
        if path.read_bytes() != left["original"].encode("utf-8"):
            path.write_bytes(left["original"].encode("utf-8"))
            print(f"restored {left['file']}, which a stopped run left with the fault "
                  f"{left['id']}", flush=True)
        self.pending.unlink()
        return True

    def apply(self, mutant, original):
        """Puts the fault into its file, whose bytes are `original`."""
        text = original.decode("utf-8")
        self.pending.write_text(json.dumps({"id": mutant["id"], "file": mutant["file"],
                                            "original": text}), encoding="utf-8")
        (self.source / mutant["file"]).write_bytes(
            text.replace(mutant["from"], mutant["to"], 1).encode("utf-8"))

    def restore(self, mutant, original):
        # Written afresh, so that its time is newer than what was built from the fault.
        (self.source / mutant["file"]).write_bytes(original)
        self.pending.unlink(missing_ok=True)

    def try_mutant(self, mutant, build_only=False):
        """(outcome, detail): caught and the tests, survived, or build-failed and why; with
        `build_only`, built once the build passes."""
        log = self.log(mutant["id"])
        original = (self.source / mutant["file"]).read_bytes()
        try:
            self.apply(mutant, original)
            failure = self.build_all(log, page=build_only)
            failed = [] if failure or build_only else self.suite(log)
            if isinstance(failed, tuple):
                failure = failed
            if failure:
                compiled, why = failure
                outcome = ("caught", why) if compiled else ("build-failed", why)
            elif build_only:
                outcome = ("built", "")
            else:
                outcome = ("caught", ", ".join(failed[:3])) if failed else ("survived", "")
        finally:
            self.restore(mutant, original)
        return outcome


def results_line(mutant, outcome, detail, seconds):
    return "\t".join([mutant["id"], mutant["file"], outcome, detail, str(round(seconds))])


def compare(old_path, new_path):
    def read(path):
        rows = {}
        for line in pathlib.Path(path).read_text(encoding="utf-8").splitlines():
            if line and not line.startswith("#"):
                fields = line.split("\t")
                rows[fields[0]] = fields
        return rows

    old, new = read(old_path), read(new_path)
    for path, rows in ((old_path, old), (new_path, new)):
        applied = [r for r in rows.values() if r[2] != "not-applicable"]
        caught = [r for r in applied if r[2] in ("caught", "build-failed")]
        print(f"{path}: {len(caught)}/{len(applied)} caught")
    changed = 0
    for key in sorted(old.keys() | new.keys()):
        before = old[key][2] if key in old else "absent"
        after = new[key][2] if key in new else "absent"
        if before != after:
            changed += 1
            print(f"  {key}: {before} -> {after}")
    if not changed:
        print("  every fault has the same outcome in both")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0],
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("source", nargs="?", help="the source folder, whose files are changed")
    parser.add_argument("build", nargs="?", help="its build folder, configured with the tests")
    parser.add_argument("--only", help="these faults alone, by id, parted by commas")
    parser.add_argument("--list", action="store_true",
                        help="list the faults and whether each applies, and stop")
    parser.add_argument("--results", help="write one line per fault to this file")
    parser.add_argument("--mutants", default=str(HERE / "mutants.txt"),
                        help="the list of faults (default: mutants.txt beside this script)")
    parser.add_argument("--jobs", type=int, default=2, help="for the build and ctest (2)")
    parser.add_argument("--timeout", type=int, default=900, help="ctest's timeout a test (900)")
    parser.add_argument("--build-only", action="store_true",
                        help="build each fault without running the tests")
    parser.add_argument("--no-baseline", action="store_true",
                        help="do not run the unchanged suite first")
    parser.add_argument("--no-ci", action="store_true", help="do not set CI=true for the tests")
    parser.add_argument("--compare", nargs=2, metavar=("OLD", "NEW"),
                        help="compare two results files, and stop")
    args = parser.parse_args()

    if args.compare:
        compare(*args.compare)
        return 0
    if not args.source or (not args.list and not args.build):
        parser.error("give SOURCE_DIR and BUILD_DIR (or SOURCE_DIR with --list)")
    source = pathlib.Path(args.source).resolve()
    mutants = parse_mutants(args.mutants)
    if args.only:
        wanted = [name.strip() for name in args.only.split(",") if name.strip()]
        unknown = [name for name in wanted if name not in {m["id"] for m in mutants}]
        if unknown:
            sys.exit("no such fault: " + ", ".join(unknown))
        mutants = [m for m in mutants if m["id"] in wanted]

    if args.list:
        for mutant in mutants:
            count = occurrences(source, mutant)
            where = ("no such file" if count is None else "applies" if count == 1
                     else f"NOT APPLICABLE: found {count} times")
            print(f"{mutant['id']:40} {mutant['file']:32} {where}\n    {mutant['why']}")
        return 0

    build = pathlib.Path(args.build).resolve()
    if not (build / "CTestTestfile.cmake").is_file():
        sys.exit(f"{build} is not a build folder with tests (configure with -DBUILD_TESTING=ON)")
    if not (source / "build-web" / "CMakeCache.txt").is_file():
        sys.exit(f"the page is not configured in {source / 'build-web'}: cmake --preset web && "
                 f"cmake --build --preset web, in {source}")

    def stop(signum, frame):
        raise Stopped(signal.Signals(signum).name)

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGHUP, stop)

    runner = Runner(source, build, args.jobs, args.timeout, not args.no_ci)
    started = time.monotonic()
    results = []
    out = open(args.results, "w", encoding="utf-8") if args.results else None
    try:
        if runner.restore_pending():
            failure = runner.build_all(runner.log("restored"))
            if failure:
                sys.exit(f"{failure[1]} after restoring what a stopped run left; see "
                         f"{runner.state / 'restored.log'}")
        if not args.no_baseline and not args.build_only:
            log = runner.log("baseline")
            at = time.monotonic()
            failure = runner.build_all(log)
            failed = [] if failure else runner.suite(log)
            if isinstance(failed, tuple):
                failure, failed = failed, []
            if failure or failed:
                sys.exit(f"the unchanged sources do not pass: "
                         f"{failure[1] if failure else ', '.join(failed)}; see {log}")
            print(f"baseline: the unchanged suite passes ({time.monotonic() - at:.0f} s)",
                  flush=True)
        if out:
            commit = subprocess.run(["git", "-C", str(source), "rev-parse", "--short", "HEAD"],
                                    capture_output=True, text=True, check=False).stdout.strip()
            out.write(f"# bench/mutants.py on {source} (commit {commit or 'unknown'}), "
                      f"{datetime.datetime.now().isoformat(timespec='seconds')}\n")
            out.write("# id\tfile\toutcome\tcaught by / reason\tseconds\n")
            out.flush()
        for number, mutant in enumerate(mutants, 1):
            at = time.monotonic()
            count = occurrences(source, mutant)
            if count != 1:
                outcome = "not-applicable"
                detail = "no such file" if count is None else f"found {count} times"
            else:
                outcome, detail = runner.try_mutant(mutant, args.build_only)
            seconds = time.monotonic() - at
            results.append((mutant, outcome, detail))
            shown = {"caught": f"caught by {detail}", "survived": "SURVIVED",
                     "build-failed": f"BUILD FAILED: {detail}", "built": "builds",
                     "not-applicable": f"not applicable: {detail}"}[outcome]
            print(f"[{number}/{len(mutants)}] {mutant['id']:40} {shown}  ({seconds:.0f} s)",
                  flush=True)
            if out:
                out.write(results_line(mutant, outcome, detail, seconds) + "\n")
                out.flush()
    except (KeyboardInterrupt, Stopped) as interruption:
        print(f"\nstopped ({interruption or 'Ctrl-C'}): the file was restored; the build (and the "
              f"page) may hold the fault until built again: cmake --build {build}, and "
              f"cmake --build --preset web in {source}", flush=True)
        return 130
    finally:
        if out:
            out.close()

    failure = runner.build_all(runner.log("restored"))
    applied = [r for r in results if r[1] != "not-applicable"]
    broken = [r[0]["id"] for r in applied if r[1] == "build-failed"]
    if args.build_only:
        print(f"\n{len(applied) - len(broken)}/{len(applied)} build"
              + (f"; the build fails with: {', '.join(broken)}" if broken else ""))
    else:
        caught = [r for r in applied if r[1] in ("caught", "build-failed")]
        survivors = [r[0]["id"] for r in applied if r[1] == "survived"]
        print(f"\ncaught {len(caught)}/{len(applied)}"
              + (f" ({len(broken)} by a failed build: {', '.join(broken)})" if broken else ""))
        print("survived: " + (", ".join(survivors) if survivors else "none"))
    skipped = [r[0]["id"] for r in results if r[1] == "not-applicable"]
    if skipped:
        print("not applicable: " + ", ".join(skipped))
    print(f"{time.monotonic() - started:.0f} s in all")
    if failure:
        print(f"{failure[1]} when building the unchanged sources again; see "
              f"{runner.state / 'restored.log'}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
