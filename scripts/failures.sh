# The failure summary (sourced): `./run.sh test` prints it last, so that a reader of CI's output sees
# first what failed in every build tree, not the next tree's compile output. Keyed by test name,
# which is why test names are unique across the test binaries.
# shellcheck shell=bash
FAILURES=build/failures.txt

# Adds to the summary a title line and the excerpt of the failure in the lines on stdin.
note_failure() { # title
  mkdir -p build
  { echo "  $1"; awk -f scripts/excerpt.awk -f scripts/excerpt-input.awk; } >>"$FAILURES"
}

# Adds to the summary each test ctest ran in the preset's tree that failed, with ctest's verdict
# (from its console output, in $2) and the first lines of the failure in the test's own output.
note_ctest_failures() { # preset ctest-console-log
  local log=build/$1/Testing/Temporary/LastTest.log
  if [ ! -f "$log" ]; then
    tail -n 8 "$2" | note_failure "$1: ctest failed and wrote no test log"
    return
  fi
  awk -v tree="$1" -f scripts/excerpt.awk -f scripts/ctest-failures.awk "$2" "$log" >>"$FAILURES"
}

logged_build() { # preset
  mkdir -p "build/$1"
  build "$1" 2>&1 | tee "build/$1/build.log" && return 0
  note_failure "$1: the build failed" <"build/$1/build.log"
  return 1
}
