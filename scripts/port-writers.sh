#!/bin/sh
# Every byte for the nodes goes to the port through the line state: lists any other place in
# the sources that writes to a serial port, and fails when there is one. The port classes
# themselves are left out (they are the writing).
#   scripts/port-writers.sh SRC_DIR
src=${1:?usage: port-writers.sh SRC_DIR}
hits=$(grep -rnE '(port_?|port\(\)|Port\(\))[[:space:]]*(\.|->)[[:space:]]*write[[:space:]]*\(' \
  --include='*.cpp' --include='*.h' "$src" |
  grep -vE '/link/line_state\.cpp:|/qtplatform/qt_serial_port\.cpp:|/winplatform/')
if [ -n "$hits" ]; then
  echo "these write to the port past the line state:"
  echo "$hits"
  exit 1
fi
echo "only the line state writes to the port"
