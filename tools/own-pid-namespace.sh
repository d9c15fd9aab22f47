# Sourced by the scripts that start the updater, once their arguments are read
# and before anything else: runs the script again as the first process of a
# PID namespace of its own. Every updater run ends the first process named
# "Quillet.exe" it sees; in such a namespace a run sees, and so ends, only its
# own. As root that is "unshare --pid"; as anyone else also a user namespace
# that maps the user to itself (mapped to root, the tests that need real root
# would take themselves for root and fail where they should skip). Where no
# namespace can be made the script stops, unless VELMI_NO_NAMESPACE=1.

# As the first process of its namespace, bash would ignore these.
trap 'exit 130' INT
trap 'exit 143' TERM

if [[ ${VELMI_IN_OWN_PID_NAMESPACE:-} != 1 ]]; then
  if [[ $(id -u) == 0 ]]; then
    velmi_namespace=(unshare --pid --fork --mount-proc)
  else
    velmi_namespace=(unshare --user --map-current-user --pid --fork --mount-proc)
  fi
  if velmi_why=$("${velmi_namespace[@]}" true 2>&1); then
    exec "${velmi_namespace[@]}" env VELMI_IN_OWN_PID_NAMESPACE=1 bash "$0" "$@"
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
