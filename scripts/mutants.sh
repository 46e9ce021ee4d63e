#!/usr/bin/env bash
# Mutation runner: plants each fault listed in scripts/mutants.txt in turn,
# builds, runs the tests and tells whether a test caught it ("killed") or
# not ("survived"). Measures how much the suite would notice, so that tests
# can be cut or merged without losing what they find.
#
#   scripts/mutants.sh [options] [ID...]      every mutant, or those named
#
#   -R, --tests REGEX   run only the tests whose names match this (Python)
#                       regular expression: a quick check; a result taken
#                       this way says nothing about the suite
#   --markdown FILE     also write the results as a Markdown table to FILE
#   --list              check the anchors and list the mutants; build nothing
#   --no-baseline       skip the run of the unmutated suite (while iterating)
#   -j N                tests run in parallel (default: the number of cores)
#   --build-dir DIR     build folder (default build-mutants/ in the checkout)
#
# Tests of the mutated file's own folder run first (only their programs are
# built for that) and the run stops at the first failure. A failure is
# confirmed by running that test again alone, three times: one that passes
# once failed by chance (a loaded machine), and the run goes on without it.
# The unmutated suite runs first in the same way and must pass. The mutated
# file is restored after each mutant, and on any exit.
set -euo pipefail
# Bash reads a script while it runs it: the braces make it read all of this
# first, so that the script may be edited (or checked out anew) during a run.
{
root=$(cd "$(dirname "$0")/.." && pwd)
mutants_file=$root/scripts/mutants.txt
build=${KESTRIX_MUTANTS_BUILD:-$root/build-mutants}
pattern=""
markdown=""
list_only=0
baseline=1
jobs=$(nproc)
ids=()

die() {
  echo "mutants: $*" >&2
  exit 2
}

usage() {
  sed -n '2,/^set -euo/p' "$0" | sed -e '$d' -e 's/^# \{0,1\}//'
}

while (($#)); do
  case $1 in
    -R | --tests) pattern=${2:?"$1 needs a regular expression"}; shift ;;
    --markdown) markdown=${2:?"$1 needs a file name"}; shift ;;
    --list) list_only=1 ;;
    --no-baseline) baseline=0 ;;
    -j) jobs=${2:?"-j needs a number"}; shift ;;
    --build-dir) build=${2:?"$1 needs a folder"}; shift ;;
    -h | --help) usage; exit 0 ;;
    -*) die "unknown option $1 (see --help)" ;;
    *) ids+=("$1") ;;
  esac
  shift
done
[[ $build = /* ]] || build=$PWD/$build
[[ -z $markdown || $markdown = /* ]] || markdown=$PWD/$markdown

# The records, anchors and test lists are read with Python: anchors hold any
# character, and the test list comes as JSON.
read -r -d '' helper <<'PY' || true
import json, re, sys

def records(path):
    out, rec = [], {}
    for number, line in enumerate(open(path, encoding="utf-8"), 1):
        line = line.rstrip("\n")
        if line.startswith("#"):
            continue
        if not line.strip():
            if rec:
                out.append(rec)
            rec = {}
            continue
        key, sep, value = line.partition(":")
        if not sep or key not in ("id", "file", "find", "replace", "fault"):
            sys.exit(f"{path}:{number}: expected 'key: value', got {line!r}")
        rec[key] = value[1:] if value.startswith(" ") else value
    if rec:
        out.append(rec)
    seen = set()
    for r in out:
        missing = [k for k in ("id", "file", "find", "replace", "fault") if k not in r]
        if missing or not r["find"]:
            sys.exit(f"{path}: mutant {r.get('id', '?')} lacks {', '.join(missing) or 'find text'}")
        if r["id"] in seen:
            sys.exit(f"{path}: mutant {r['id']} is listed twice")
        seen.add(r["id"])
    return out

def anchor_state(root, r):
    try:
        text = open(f"{root}/{r['file']}", encoding="utf-8").read()
    except OSError:
        return "stale (no such file)", None
    count = text.count(r["find"])
    if count == 0:
        return "stale (anchor missing)", None
    if count > 1:
        return f"stale (anchor found {count} times)", None
    return "ok", text

cmd, args = sys.argv[1], sys.argv[2:]
if cmd == "select":
    # select LIST ROOT [ID...]: id, file, folder, anchor state and fault, tab-separated
    path, root, wanted = args[0], args[1], args[2:]
    recs = records(path)
    known = {r["id"]: r for r in recs}
    unknown = [i for i in wanted if i not in known]
    if unknown:
        sys.exit("unknown mutant(s): " + " ".join(unknown))
    for r in (known[i] for i in wanted) if wanted else recs:
        state, _ = anchor_state(root, r)
        folder = r["file"].split("/")[0]
        print("\t".join([r["id"], r["file"], folder, state, r["fault"]]))
elif cmd == "apply":
    # apply LIST ROOT ID: plants the mutant; fails when its anchor is stale
    path, root, wanted = args
    r = next(r for r in records(path) if r["id"] == wanted)
    state, text = anchor_state(root, r)
    if text is None:
        sys.exit(state)
    with open(f"{root}/{r['file']}", "w", encoding="utf-8") as f:
        f.write(text.replace(r["find"], r["replace"], 1))
elif cmd == "tests":
    # tests BUILD_TESTS_DIR REGEX < ctest json: number, folder, test name and
    # program of the tests whose names match. Numbers are those of the whole
    # list: ctest renumbers the tests it has left after its own -R, so the
    # pattern is applied here instead.
    base = args[0].rstrip("/") + "/"
    match = re.compile(args[1]).search
    for number, t in enumerate(json.load(sys.stdin)["tests"], 1):
        if not match(t["name"]):
            continue
        program = (t.get("command") or [""])[0]
        folder = program[len(base):].split("/")[0] if program.startswith(base) else ""
        print(f"{number}\t{folder}\t{t['name']}\t{program.rsplit('/', 1)[-1]}")
elif cmd == "failed":
    # failed < ctest output: number, status and name of the first failed test
    listing = False
    for line in sys.stdin:
        if line.startswith("The following tests FAILED:"):
            listing = True
            continue
        m = re.match(r"^\s*(\d+) - (.*) \(([^()]*)\)\s*$", line) if listing else None
        if m:
            print(f"{m.group(1)}\t{m.group(3)}\t{m.group(2)}")
            break
elif cmd == "passed":
    # passed < ctest output: the numbers of the tests that passed
    for line in sys.stdin:
        m = re.search(r"Test +#(\d+): .* +Passed +[0-9.]+ sec", line)
        if m:
            print(m.group(1))
PY

py() { python3 -c "$helper" "$@"; }

selected=$(py select "$mutants_file" "$root" "${ids[@]}") || exit 2
if ((list_only)); then
  printf '%s\n' "$selected" | awk -F'\t' '{ printf "%-34s %-30s %s\n", $1, $4, $5 }'
  exit 0
fi


mkdir -p "$build"
exec 9>"$build/.mutants.lock"
flock -n 9 || die "another mutation run uses $build"

scratch=$(mktemp -d "${TMPDIR:-/tmp}/kestrix-mutants.XXXXXX")
logs=$build/mutants-logs
mkdir -p "$logs" "$scratch/home" "$scratch/run"
chmod 700 "$scratch/run"
private_env=(HOME="$scratch/home" XDG_CONFIG_HOME="$scratch/home/.config"
  XDG_RUNTIME_DIR="$scratch/run" KESTRIX_SETTINGS="$scratch/home/kestrix.ini")
# The records are read once: the list may be edited while a run goes on.
cp "$mutants_file" "$scratch/mutants.txt"
mutants_file=$scratch/mutants.txt
current_file=""

restore() {
  [[ -n $current_file ]] || return 0
  cp "$scratch/original" "$root/$current_file"
  if ! cmp -s "$scratch/original" "$root/$current_file" ||
    ! git -C "$root" diff --quiet HEAD -- "$current_file"; then
    echo "mutants: could not restore $current_file; check it with git diff" >&2
    exit 1
  fi
  current_file=""
}
# shellcheck disable=SC2317 # run by the trap
finish() {
  local status=$?
  restore
  rm -rf "$scratch"
  exit "$status"
}
trap finish EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# The unmutated tree is set up and built by scripts/setup.sh itself (packages,
# test tools, the same cmake configuration and compiler cache); a mutant then
# only needs an incremental build. Warnings are errors, as in CI: a mutant that
# only a warning gives away is no test's to catch, and counts as a bad mutant.
# Builds see the same private home and runtime folder as the tests, since
# test discovery runs the test programs.
setup_tree() {
  env KESTRIX_BUILD_DIR="$build" KESTRIX_CMAKE_ARGS="-DKESTRIX_WERROR=ON ${KESTRIX_CMAKE_ARGS:-}" \
    "${private_env[@]}" nice -n 15 "$root/scripts/setup.sh" >"$1" 2>&1
}
# build_tree LOG [TARGET...]: builds the targets named, or everything.
build_tree() {
  local log=$1
  shift
  local -a targets=()
  (($# == 0)) || targets=(--target "$@")
  env CCACHE_BASEDIR="$root" CCACHE_NOHASHDIR=1 "${private_env[@]}" \
    nice -n 15 cmake --build "$build" "${targets[@]}" >>"$log" 2>&1
}

# The test programs of folder $1.
programs() {
  awk -F'\t' -v only="$1" '$2 == only && !seen[$4]++ { print $4 }' "$scratch/tests"
}

# Tests run as in scripts/test.sh, with a home, runtime folder and settings
# file of their own so that nothing of the user's is read or written.
ctest_run() {
  env "${private_env[@]}" QT_QPA_PLATFORM=offscreen \
    ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}" \
    LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$root/tests/lsan.supp:print_suppressions=0}" \
    UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}" \
    nice -n 15 ctest --test-dir "$build" --timeout 120 "$@"
}

# The numbers of the tests to run: those of folder $1 (or all but those of
# folder $2), less the ones found flaky during this mutant.
numbers() {
  awk -F'\t' -v only="$1" -v skip="$2" -v flaky=" $3 " \
    '(only == "" || $2 == only) && (skip == "" || $2 != skip) && index(flaky, " " $1 " ") == 0 \
     { printf "%s%s", sep, $1; sep = "," }' "$scratch/tests"
}

# Runs the tests of folder $1 first, then the rest, stopping at the first
# failure; prints "NUMBER<tab>STATUS<tab>NAME" of the failed test, or nothing.
# $2 names the log; $3 lists test numbers to leave out. Only the test
# programs of the folder are built before the first phase (most mutants are
# caught there); the rest is built when the run gets that far.
run_suite() {
  local folder=$1 log=$2 skip=$3 phase list failed status
  for phase in first rest; do
    if [[ $phase = first ]]; then
      [[ -n $folder ]] || continue
      list=$(numbers "$folder" "" "$skip")
    else
      if ! build_tree "${log%.test.log}.build.log"; then
        echo $'0\tbuild\t(the build failed)'
        return 0
      fi
      list=$(numbers "" "$folder" "$skip")
    fi
    [[ -n $list ]] || continue
    echo "0,0,0,$list" >"$scratch/include"
    status=0
    ctest_run --stop-on-failure -j "$jobs" -I "$scratch/include" >"$scratch/last.log" 2>&1 || status=$?
    cat "$scratch/last.log" >>"$log"
    if ((status != 0)); then
      failed=$(py failed <"$scratch/last.log")
      [[ -n $failed ]] || failed=$'0\terror\t(ctest failed; see the log)'
      echo "$failed"
      return 0
    fi
  done
}

# Runs the suite as run_suite does, and confirms a failure by running that
# test again alone, up to three times. A test that passes once failed by
# chance (a loaded machine: some tests race with a server's log, say): the
# run goes on without it and without the tests that passed already. Prints "passed", "failed<tab>TEST", "build" or "unconfirmed";
# the names of the chance failures go to $scratch/chance.
fails_alone() {
  local _
  for _ in 1 2 3; do
    ! ctest_run -I "0,0,0,$1" >>"$2" 2>&1 || return 1
  done
}
run_confirmed() {
  local folder=$1 log=$2 skip="" failed number status name
  : >"$log"
  : >"$scratch/chance"
  for _ in 1 2 3 4 5; do
    failed=$(run_suite "$folder" "$log" "$skip")
    if [[ -z $failed ]]; then
      echo passed
      return 0
    fi
    IFS=$'\t' read -r number status name <<<"$failed"
    if [[ $status = build ]]; then
      echo build
      return 0
    fi
    ((number > 0)) || break
    if fails_alone "$number" "$log"; then
      [[ $status = Failed ]] || name="$name ($status)"
      printf 'failed\t%s\n' "$name"
      return 0
    fi
    echo "mutants: $name failed only under load; the run goes on without it" >>"$log"
    echo "$name" >>"$scratch/chance"
    skip="$skip $number $(py passed <"$log" | tr '\n' ' ')"
  done
  echo unconfirmed
}

load() { cut -d' ' -f1-3 /proc/loadavg; }

started=$(date +%s)
start_date=$(date -u '+%Y-%m-%d %H:%M UTC')
start_load=$(load)
echo "mutants: setting up and building the unmutated tree in $build ..."
setup_tree "$logs/unmutated.build.log" || die "the unmutated tree does not build; see $logs/unmutated.build.log"
ctest --test-dir "$build" --show-only=json-v1 | py tests "$build/tests" "$pattern" >"$scratch/tests" ||
  die "cannot list the tests (is -R a valid regular expression?)"
[[ -s $scratch/tests ]] || die "no test matches${pattern:+ $pattern}"

chance_unmutated=""
if ((baseline)); then
  echo "mutants: running the unmutated suite ..."
  outcome=$(run_confirmed "" "$logs/unmutated.test.log")
  [[ $outcome = passed ]] ||
    die "the unmutated suite fails (${outcome/$'\t'/: }); see $logs/unmutated.test.log"
  chance_unmutated=$(paste -sd, - <"$scratch/chance" | sed 's/,/, /g')
  [[ -z $chance_unmutated ]] ||
    echo "mutants: failed under load but passed alone: $chance_unmutated"
fi

summary() {
  local text="killed ${tally[killed]:-0}, survived ${tally[survived]:-0}, stale ${tally[stale]:-0}"
  echo "$text, build failed ${tally[build failed]:-0}, unconfirmed ${tally[unconfirmed]:-0}"
}
took() {
  local wall=$(($(date +%s) - started))
  echo "$((wall / 60)) min $((wall % 60)) s"
}

# Rewritten after every mutant, so that an interrupted run keeps its table;
# $1 is 1 while the run goes on.
write_markdown() {
  [[ -n $markdown ]] || return 0
  {
    echo "- date: $start_date, commit $(git -C "$root" rev-parse --short HEAD)"
    # shellcheck disable=SC2016
    echo "- command: \`scripts/mutants.sh${pattern:+ -R '$pattern'}$( ((baseline)) || echo " --no-baseline") -j $jobs${ids[*]:+ ${ids[*]}}\`"
    echo "- machine: $(nproc) cores; load average (1, 5, 15 min) $start_load at the start, $(load) at the end"
    [[ -z $chance_unmutated ]] ||
      echo "- failed under load on the unmutated tree, passed alone: $chance_unmutated"
    if (($1)); then
      echo "- unfinished: ${#results[@]} of $total mutants so far, in $(took); $(summary)"
    else
      echo "- wall time: $(took); $(summary)"
    fi
    echo
    echo "| id | folder | fault | result | killing test | s |"
    echo "|---|---|---|---|---|---:|"
    local row id folder fault result test_name seconds
    for row in "${results[@]}"; do
      IFS=$us read -r id folder fault result test_name seconds <<<"$row"
      fault=${fault//|/\\|}
      echo "| $id | $folder | $fault | $result | ${test_name:+\`$test_name\`} | $seconds |"
    done
  } >"$markdown.part"
  mv "$markdown.part" "$markdown"
}

us=$'\x1f' # separates the fields of a result: unlike a tab, never merged
total=$(grep -c . <<<"$selected")
results=()
declare -A tally=()
while IFS=$'\t' read -r -u 3 id file folder state fault; do
  began=$(date +%s)
  test_name=""
  if [[ $state != ok ]]; then
    result=$state
  else
    git -C "$root" diff --quiet HEAD -- "$file" ||
      die "$file has changes of its own; commit or stash them first"
    cp "$root/$file" "$scratch/original"
    current_file=$file
    py apply "$mutants_file" "$root" "$id"
    : >"$logs/$id.build.log"
    # shellcheck disable=SC2046 # one word per program name
    if ! build_tree "$logs/$id.build.log" $(programs "$folder"); then
      result="build failed"
    else
      outcome=$(run_confirmed "$folder" "$logs/$id.test.log")
      case $outcome in
        passed) result=survived ;;
        build) result="build failed" ;;
        failed*) result=killed test_name=${outcome#failed$'\t'} ;;
        *) result=unconfirmed ;;
      esac
    fi
    restore
  fi
  seconds=$(($(date +%s) - began))
  key=${result%% (*}
  tally[$key]=$((${tally[$key]:-0} + 1))
  shown=$result
  [[ $result != killed ]] || shown="killed by $test_name"
  printf '%-34s %-60s %5d s\n' "$id" "$shown" "$seconds"
  results+=("$id$us$folder$us$fault$us$result$us$test_name$us$seconds")
  [[ -z $markdown ]] || write_markdown "$((${#results[@]} < total ? 1 : 0))"
done 3<<<"$selected"

write_markdown "$((${#results[@]} < total ? 1 : 0))"
echo "mutants: ${#results[@]} mutants: $(summary); $(took)"
[[ -z $markdown ]] || echo "mutants: table written to $markdown"
exit
}
