# Sourced by the scripts that run the updater, first thing: runs the script
# again as the first process of a PID namespace of its own, when it runs as
# root and can make one. Every updater run ends the first process named
# "Quillet.exe" on the machine; in such a namespace a run sees, and so ends,
# only its own.

# As the first process of its namespace, bash would ignore these.
trap 'exit 130' INT
trap 'exit 143' TERM

if [[ ${VELMI_IN_OWN_PID_NAMESPACE:-} != 1 && $(id -u) == 0 ]] && unshare --pid --fork --mount-proc true 2>/dev/null; then
  exec unshare --pid --fork --mount-proc env VELMI_IN_OWN_PID_NAMESPACE=1 "$0" "$@"
fi
