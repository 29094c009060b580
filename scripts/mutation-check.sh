#!/usr/bin/env bash
# Mutation check: does the test suite catch deliberate faults?
#
#   scripts/mutation-check.sh [-b BUILD] [-o FILE] [-t SECONDS] [--check] [NAME...]
#
# For each fault of scripts/mutations.txt (or only the NAMEs given) it puts
# the fault into the source, builds BUILD (default out/mutation: a g++
# RelWithDebInfo build with the dialog and the benchmarks, whose source
# generator the stopped runs need, as in CI; configured when missing, the
# generator turned on in an existing tree), runs the
# ctest suite there (-j2, each test limited to SECONDS, default 600; the
# dialog's tests on the offscreen platform, as scripts/test.sh runs them),
# notes whether a test failed, and puts the source back. To be done sooner,
# the tests of the fault's own area are built and run first; only when they
# all pass is everything built and the rest of the suite run. It prints a
# table (NAME, FILE, caught by which test / NOT CAUGHT / no build / not
# found) and, with -o, writes it to FILE too. --check only checks that every
# fault still applies. The suite must pass on the untouched tree first.
# Exits 1 when a fault is not caught.
set -euo pipefail
cd "$(dirname "$0")/.."

build=out/mutation
out=
timeout=600
check_only=0
names=()
while [ $# -gt 0 ]; do
  case $1 in
    -b) build=$2; shift 2 ;;
    -o) out=$2; shift 2 ;;
    -t) timeout=$2; shift 2 ;;
    --check) check_only=1; shift ;;
    *) names+=("$1"); shift ;;
  esac
done
export QT_QPA_PLATFORM=offscreen
if [ "$check_only" = 0 ] && [ ! -f "$build/build.ninja" ]; then
  cmake -S . -B "$build" -G Ninja -DKARVEL_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=g++ -DKARVEL_BUILD_BENCH=ON > /dev/null
elif [ "$check_only" = 0 ]; then
  # A tree made without the generator would skip the stopped runs unnoticed.
  cmake -S . -B "$build" -DKARVEL_BUILD_BENCH=ON > /dev/null
fi
exec python3 - "$build" "$out" "$timeout" "$check_only" "${names[@]}" <<'EOF'
import json, os, re, subprocess, sys, time

build, out, timeout, check_only, names = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4] == "1", sys.argv[5:]

# The faults of scripts/mutations.txt, in order.
faults, order, current = {}, [], None
for line in open("scripts/mutations.txt", encoding="utf-8"):
    line = line.rstrip("\n")
    if line.startswith("== "):
        name, path = line[3:].split()
        current = faults[name] = {"file": path, "old": [], "new": []}
        order.append(name)
    elif current is not None and (line[:2] in ("- ", "+ ") or line in ("-", "+")):
        current["old" if line[0] == "-" else "new"].append(line[2:])
names = names or order

def texts(fault):
    old = "\n".join(fault["old"]) + "\n"
    new = "\n".join(fault["new"]) + "\n" if fault["new"] else ""
    return old, new

if check_only:
    missing = [n for n in names
               if open(faults[n]["file"], encoding="utf-8").read().count(texts(faults[n])[0]) != 1]
    for n in missing:
        print("not found:", n)
    print(len(names), "faults checked")
    sys.exit(1 if missing else 0)

# The test programs of each folder's area, built and run first.
AREA = {"files": ["engine_tests"], "records": ["engine_tests"], "messages": ["engine_tests"],
        "text": ["text_tests"], "index": ["index_tests"], "themes": ["themes_tests"],
        "engine": ["batch_tests"], "batch": ["batch_tests"],
        "app": ["dialog_test", "worker_test", "dialog_view_test", "instance_lock_test"]}

def run(command, log):
    with open(log, "w") as f:
        return subprocess.run(command, stdout=f, stderr=subprocess.STDOUT).returncode

def ctest(indices, log):
    """Runs the tests of `indices`; returns the first failed test's name or None."""
    if not indices:
        return None
    selection = "0,0,0," + ",".join(str(i) for i in indices)
    if run(["ctest", "--test-dir", build, "-j2", "--timeout", timeout, "--stop-on-failure",
            "-I", selection], log) == 0:
        return None
    failed = re.findall(r"^\s*\d+ - (\S+)", open(log).read(), re.M)
    return failed[0] if failed else "?"

log = os.path.join(build, "mutation.log")
print("== the untouched tree", flush=True)
if run(["cmake", "--build", build, "-j2"], log) != 0 or ctest([], log) is not None:
    sys.exit("the untouched tree does not build")
listing = json.loads(subprocess.run(["ctest", "--test-dir", build, "--show-only=json-v1"],
                                    capture_output=True, text=True).stdout)
programs = [os.path.basename((t.get("command") or ["?"])[0]) for t in listing["tests"]]
everything = list(range(1, len(programs) + 1))
if ctest(everything, log) is not None:
    print(open(log).read()[-3000:])
    sys.exit("the suite fails without a fault; nothing to measure")

rows, caught, missed = [], 0, 0
for name in names:
    fault = faults[name]
    path, start = fault["file"], time.time()
    text = open(path, encoding="utf-8").read()
    old, new = texts(fault)
    if text.count(old) != 1:
        result = "not found"
    else:
        try:
            with open(path, "w", encoding="utf-8") as f:
                f.write(text.replace(old, new))
            area = AREA[path.split("/")[0]]
            first = [i for i in everything if programs[i - 1] in area]
            rest = [i for i in everything if i not in first]
            result, failed = None, None
            if run(["cmake", "--build", build, "-j2", "--target"] + area, log) != 0:
                result = "no build"
            else:
                failed = ctest(first, log)
                if failed is None:
                    if run(["cmake", "--build", build, "-j2"], log) != 0:
                        result = "no build"
                    else:
                        failed = ctest(rest, log)
            if result is None and failed is not None:
                result, caught = "caught (" + failed + ")", caught + 1
            elif result is None:
                result, missed = "NOT CAUGHT", missed + 1
        finally:
            with open(path, "w", encoding="utf-8") as f:
                f.write(text)
    row = "%-34s %-30s %s" % (name, path, result)
    print(row, "  [%ds]" % (time.time() - start), flush=True)
    rows.append(row)
# Leave the build matching the untouched tree.
run(["cmake", "--build", build, "-j2"], log)
table = ["%-34s %-30s %s" % ("FAULT", "FILE", "RESULT")] + rows
table.append("caught %d, not caught %d, of %d faults" % (caught, missed, len(names)))
print("\n" + "\n".join(table))
if out:
    open(out, "w").write("\n".join(table) + "\n")
sys.exit(1 if missed else 0)
EOF
