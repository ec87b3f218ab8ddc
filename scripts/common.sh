# Shell functions that run.sh and the scripts beside this file share (sourced, from the checkout's
# root): how many build jobs, packages installed when missing, a preset's build.
# shellcheck shell=bash

# As many build jobs as the machine has cores (named so as not to hide the shell's `jobs`).
build_jobs() { nproc 2>/dev/null || echo 2; }

setup_packages() { # package...
  local missing=() p
  for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "run.sh: installing ${missing[*]}" >&2
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

build() { # preset
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1" -j "$(build_jobs)"
}
