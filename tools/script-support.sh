# shellcheck shell=bash
# Sourced by every script once its arguments are read: the check of the
# commands it needs, and a signal (INT, TERM, HUP) that ends its whole run.
# Before sourcing, or later as it learns more, a script may set
# velmi_left_behind: what an interrupted run leaves, for the message it prints.
velmi_left_behind=${velmi_left_behind:-}
# The message goes here, not where the interrupted command's output went.
exec {velmi_stderr}>&2

# velmi_need <command>:<Debian package>...: stops before any work, naming each
# missing command and the package that brings it.
velmi_need() {
  local need packages=()
  for need in "$@"; do
    if ! command -v "${need%%:*}" >/dev/null 2>&1; then
      echo "$0: needs the command ${need%%:*} (Debian package ${need#*:})" >&2
      [[ " ${packages[*]} " == *" ${need#*:} "* ]] || packages+=("${need#*:}")
    fi
  done
  if ((${#packages[@]})); then
    echo "  on Debian or Ubuntu: apt-get install ${packages[*]}" >&2
    exit 1
  fi
}

# velmi_run <command>...: runs a long command in the background and waits for
# it, since bash handles a signal only once a foreground command returns. With
# the caller's stdin, and SIGINT and SIGQUIT not ignored, as in the foreground.
velmi_run() {
  (
    trap - INT QUIT
    exec {velmi_stderr}>&-
    "$@"
  ) <&0 &
  wait $!
}

# Whether a process runs (a zombie does not).
velmi_alive() { # pid
  local stat
  read -r stat 2>/dev/null <"/proc/$1/stat" || return 1
  stat=${stat##*) }
  [[ ${stat%% *} != Z ]]
}

# velmi_wait_gone <tenths of a second> <pid>...: whether they all end within that time.
velmi_wait_gone() {
  local tenths=$1 i pid
  shift
  (($#)) || return 0
  for ((i = 0; i <= tenths; i++)); do
    for pid; do velmi_alive "$pid" && break; done || return 0
    ((i == tenths)) || sleep 0.1
  done
  return 1
}

# Every process below this shell into velmi_descendants, parents first.
velmi_collect_descendants() { # pid
  local task children child
  for task in /proc/"$1"/task/*; do
    children=()
    read -ra children 2>/dev/null <"$task/children" || true
    for child in "${children[@]}"; do
      velmi_descendants+=("$child")
      velmi_collect_descendants "$child"
    done
  done
}

velmi_interrupted() { # signal number
  trap '' INT TERM HUP
  disown -a # no "Killed" line for each
  if (($$ == 1)); then
    # The first process of its own PID namespace: everything else in it, gone
    # before the script's own clean-up starts.
    kill -KILL -1 2>/dev/null || true
    local i processes
    for ((i = 0; i < 20; i++)); do
      processes=(/proc/[0-9]*)
      ((${#processes[@]} > 1)) || break
      sleep 0.05
    done
  else
    # Twice, for what was started in between; what is left after 3 s is killed.
    local all=()
    for _ in 1 2; do
      velmi_descendants=()
      velmi_collect_descendants $$
      ((${#velmi_descendants[@]} == 0)) || kill -TERM "${velmi_descendants[@]}" 2>/dev/null || true
      all+=("${velmi_descendants[@]}")
    done
    velmi_wait_gone 30 "${all[@]}" || kill -KILL "${all[@]}" 2>/dev/null || true
  fi
  # The terminal may be gone (SIGHUP).
  echo "$0: interrupted (SIG$(kill -l "$1")), every process of the run ended${velmi_left_behind:+; $velmi_left_behind}" >&"$velmi_stderr" || true
  exit $((128 + $1))
}
trap 'velmi_interrupted 1' HUP
trap 'velmi_interrupted 2' INT
trap 'velmi_interrupted 15' TERM
