# shellcheck shell=bash
# Sourced by the scripts that start the updater, once their arguments are read
# and tools/script-support.sh is, and before anything else: runs the script
# again as the first process of a PID namespace of its own. Every updater run
# ends the first process named "Quillet.exe" it sees; in such a namespace a run
# sees, and so ends, only its own. As root that is "unshare --pid"; as anyone
# else also a user namespace that maps the user to itself (mapped to root, the
# tests that need real root would take themselves for root and fail where they
# should skip). Where no namespace can be made the script stops, unless
# VELMI_NO_NAMESPACE=1.
#
# This shell stays, as the one a signal is sent to: unshare passes none on. On
# SIGINT, SIGTERM or SIGHUP, or once the process that started it is gone, it
# ends the namespace, and with it every process of the run. Should this shell
# be killed outright, unshare dies with it (--pdeathsig), and the namespace
# with unshare (--kill-child).

# The parent of this shell now.
velmi_parent_now() {
  local stat
  read -r stat <"/proc/$$/stat"
  stat=${stat##*) }
  stat=${stat#* }
  velmi_parent=${stat%% *}
}

# Passes the signal to the namespace's first process, the script, whose trap
# ends the run; kills the namespace whole should unshare not end within 5 s.
velmi_end_namespace() { # signal number
  trap '' INT TERM HUP
  kill "${velmi_timer:-}" 2>/dev/null || true
  local first=''
  read -r first _ 2>/dev/null <"/proc/$velmi_unshare/task/$velmi_unshare/children" || true
  [[ -z $first ]] || kill -"$1" "$first" 2>/dev/null || true
  if ! velmi_wait_gone 50 "$velmi_unshare"; then
    kill -KILL "$velmi_unshare" 2>/dev/null || true
    echo "$0: interrupted (SIG$(kill -l "$1")), every process of the run killed${velmi_left_behind:+; $velmi_left_behind}" >&2 || true
  fi
  wait "$velmi_unshare" 2>/dev/null || true
  exit $((128 + $1))
}

if [[ ${VELMI_IN_OWN_PID_NAMESPACE:-} != 1 ]]; then
  if [[ $(id -u) == 0 ]]; then
    velmi_namespace=(unshare --pid --fork --mount-proc)
  else
    velmi_namespace=(unshare --user --map-current-user --pid --fork --mount-proc)
  fi
  if [[ ${VELMI_NO_NAMESPACE:-} != 1 ]]; then velmi_need unshare:util-linux setpriv:util-linux; fi
  if velmi_why=$("${velmi_namespace[@]}" true 2>&1); then
    (
      trap - INT QUIT
      # shellcheck disable=SC2154 # from tools/script-support.sh
      exec {velmi_stderr}>&-
      exec setpriv --pdeathsig KILL "${velmi_namespace[@]}" --kill-child env VELMI_IN_OWN_PID_NAMESPACE=1 bash "$0" "$@"
    ) <&0 &
    velmi_unshare=$!
    trap 'velmi_end_namespace 1' HUP
    trap 'velmi_end_namespace 2' INT
    trap 'velmi_end_namespace 15' TERM
    # Started with SIGHUP ignored (nohup), the run outlives its starter too.
    velmi_ignored=$(sed -n 's/^SigIgn:\t*//p' /proc/$$/status)
    velmi_parent_now
    velmi_started_by=$velmi_parent
    while velmi_alive "$velmi_unshare"; do
      velmi_parent_now
      [[ $velmi_parent == "$velmi_started_by" ]] || ((16#$velmi_ignored & 1)) || velmi_end_namespace 1
      sleep 0.5 &
      velmi_timer=$!
      wait "$velmi_timer" || true
    done
    velmi_status=0
    wait "$velmi_unshare" || velmi_status=$?
    exit "$velmi_status"
  elif [[ ${VELMI_NO_NAMESPACE:-} == 1 ]]; then
    echo "$0: no PID namespace of its own (VELMI_NO_NAMESPACE=1): each updater run may end a \"Quillet.exe\" of yours" >&2
  else
    cat >&2 <<MESSAGE
$0: cannot make a PID namespace of its own; "${velmi_namespace[*]} true" says:
  ${velmi_why:-(nothing)}
Every updater run ends the first "Quillet.exe" it can see, and outside such a namespace
that may be a real client. Nothing was started. Run it as root, or where user namespaces
are allowed (util-linux 2.38 or later), or set VELMI_NO_NAMESPACE=1 to run it anyway.
MESSAGE
    exit 1
  fi
fi
