# Sourced by scripts/test.sh and scripts/windows-stage.sh: every step runs
# with its output kept in build/logs/STEP.log (and shown as it comes), and a
# step that fails says which one, with what status, and where its output is.
steps_logs=${steps_logs:-$PWD/build/logs}
mkdir -p "$steps_logs"

# step NAME COMMAND...: runs COMMAND; stops the script when it fails.
step() {
  local name=$1
  shift
  local log="$steps_logs/$name.log" status=0
  "$@" 2>&1 | tee "$log" || status=${PIPESTATUS[0]}
  if ((status)); then
    echo "${steps_prefix:-test}: step \"$name\" failed with status $status: $*" >&2
    echo "${steps_prefix:-test}: its whole output is in $log" >&2
    exit "$status"
  fi
}

# quiet_step NAME COMMAND...: the same with the output only in the log (and
# its end on the terminal when the step fails).
quiet_step() {
  local name=$1
  shift
  local log="$steps_logs/$name.log" status=0
  "$@" >"$log" 2>&1 || status=$?
  if ((status)); then
    echo "${steps_prefix:-test}: step \"$name\" failed with status $status: $*" >&2
    tail -n 30 "$log" | sed 's/^/    /' >&2
    echo "${steps_prefix:-test}: its whole output is in $log" >&2
    exit "$status"
  fi
}
