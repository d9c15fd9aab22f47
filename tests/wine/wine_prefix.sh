#!/bin/sh
# Makes or removes the Wine prefix that one run of the Wine tests shares.
#   wine_prefix.sh create|remove PREFIX WINE64 WINESERVER
set -eu
action=$1 prefix=$2 wine64=$3 wineserver=$4
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEARCH=win64
# No Mono or Gecko installer dialogs: the tests need neither.
export WINEDLLOVERRIDES="mscoree,mshtml="

# Ends the prefix's wineserver and removes the prefix, and the folder that
# Wine made for its server under TMPDIR, whose name the prefix keeps.
remove_prefix() {
  [ -d "$prefix" ] || return 0
  "$wineserver" -k 2>/dev/null || true
  server=$(cat "$prefix/wineserver" 2>/dev/null || true)
  case "$server" in
    wine-??????) rm -rf "${TMPDIR:-/tmp}/$server" ;;
  esac
  rm -rf "$prefix"
}

case "$action" in
  create)
    # What an interrupted run left goes first.
    remove_prefix
    start=$(date +%s)
    # Wine reports the 32-bit parts it lacks on stderr; that is expected here.
    "$wine64" wineboot -i >/dev/null 2>&1 || true
    "$wineserver" -w
    [ -f "$prefix/system.reg" ] || { echo "no Wine prefix made in $prefix" >&2; exit 1; }
    # One wineserver for all the runs of this test run, ended by "remove" (or,
    # should the run be cut short, half a minute after the last program).
    "$wineserver" -p30 </dev/null >/dev/null 2>&1
    echo "Wine prefix ready in $(( $(date +%s) - start )) s"
    ;;
  remove)
    remove_prefix
    ;;
  *)
    echo "usage: $0 create|remove PREFIX WINE64 WINESERVER" >&2
    exit 2
    ;;
esac
