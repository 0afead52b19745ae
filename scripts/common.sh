# shellcheck shell=bash disable=SC2034  # the variables are for the scripts that source this
# Sourced by the scripts for what they share: the project's root, the build's parallel jobs and
# a runtime folder for the programs. Runs nothing by itself.

# The folder above scripts/.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# The build's parallel jobs: JOBS, or one a core.
jobs=${JOBS:-$(nproc)}

# Qt wants a private runtime folder and warns at every start without one. Gives the programs one
# in XDG_RUNTIME_DIR, "fresh" always or "if-missing" when the session has none, and names it in
# $runtime for the caller to remove when it ends ($runtime stays empty when none was made).
runtime=
own_runtime_folder() {
  if [ "$1" = fresh ] || [ -z "${XDG_RUNTIME_DIR:-}" ]; then
    runtime=$(mktemp -d "${TMPDIR:-/tmp}/keycard-runtime.XXXXXX")
    export XDG_RUNTIME_DIR=$runtime
  fi
}
