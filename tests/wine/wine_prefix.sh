#!/bin/sh
# Makes or removes the Wine prefix that one run of the Wine tests shares.
#   wine_prefix.sh create|remove PREFIX WINE64 WINESERVER
set -eu
action=$1 prefix=$2 wine64=$3 wineserver=$4
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEARCH=win64
# No Mono or Gecko installer dialogs: the tests need neither.
export WINEDLLOVERRIDES="mscoree,mshtml="

case "$action" in
  create)
    [ -d "$prefix" ] && WINEPREFIX="$prefix" "$wineserver" -k 2>/dev/null || true
    rm -rf "$prefix"
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
    "$wineserver" -k 2>/dev/null || true
    rm -rf "$prefix"
    ;;
  *)
    echo "usage: $0 create|remove PREFIX WINE64 WINESERVER" >&2
    exit 2
    ;;
esac
