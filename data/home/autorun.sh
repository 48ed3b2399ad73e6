#!/bin/sh
# Opens an exported offline copy: the file named as the argument, or the one
# autorun.inf beside this script names (desktops that run autorun.sh from an
# inserted disc pass no argument).
here=$(dirname "$0")
start=$1
if [ -z "$start" ] && [ -r "$here/autorun.inf" ]; then
    start=$(sed -n 's/^OPEN=autorun\.exe //p' "$here/autorun.inf" | head -n 1 | tr -d '\r')
fi
[ -n "$start" ] || start=index.htm
case $start in
    /*) ;;
    *) start=$here/$start ;;
esac
exec xdg-open "$start"
