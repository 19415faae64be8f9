#!/usr/bin/env bash
# Takes the README's screenshots of the receiver list: the program finds two
# emulated receivers, asks for the casting code of one, and connects.
#
#   run_in_session bash tests/screenshots/shots-receiver-list.sh BUILD_DIR OUT_DIR
#
# in a shell that sourced scripts/test-env.sh and ran start_test_services.
#
# Run it inside a private network namespace with an X server and root
# rights there (the tests' environment gives all three): it puts the
# receivers' addresses on the loopback device and routes the search's
# broadcast there, so that the program finds the emulators as it finds
# receivers on a LAN. Without a window manager the main window stands at
# the top left corner of the screen; the clicks below rely on that.
set -euo pipefail
build=${1:?build folder}
out=${2:?output folder}
mkdir -p "$out"

ip addr add 10.77.0.1/8 dev lo
ip addr add 10.77.0.5/8 dev lo
ip addr add 10.77.0.6/8 dev lo
ip route add default dev lo

home=$(mktemp -d)
program=
start_program() {
  # The X server starts afresh once its last client has gone, and turns
  # away whoever comes meanwhile: try again.
  local attempt
  for attempt in 1 2 3 4 5; do
    HOME=$home ASAN_OPTIONS=detect_leaks=0 "$build/Quavdesk/Quavdesk" --instance "quavdesk-shots-$$" \
      >>"$out/program.log" 2>&1 &
    program=$!
    sleep 2
    kill -0 $program 2>/dev/null && return 0
  done
  echo "the program did not start" >&2
  return 1
}
trap 'kill $program ${first:-} ${second:-} 2>/dev/null; wait; rm -rf "$home"' EXIT

grab() { "$build/tests/screenshots/screen-grab" "$out/$1" 0 0 375 659; }
input() { "$build/tests/screenshots/screen-input" "$@"; }

# No receiver yet.
start_program
sleep 1
grab no-receivers.png
kill $program
wait $program || true

# The receivers' search listens beside the program's on the same port; a
# reply, sent to one address and port, reaches only the socket bound last,
# so the program starts after them.
emulator="$build/tests/receiver/receiver-emulator"
"$emulator" --address 10.77.0.5 --name "Meeting Room" --casting-code 123456 --search-listen 0.0.0.0 >/dev/null &
first=$!
"$emulator" --address 10.77.0.6 --name "Lobby Screen" --search-listen 0.0.0.0 --components search >/dev/null &
second=$!
sleep 1
start_program
sleep 4
grab receiver-list.png
# "Connect" on the second row, Meeting Room.
input click 302 200
sleep 2
# A wrong code first: the receiver refuses it and the dialog stays.
input type 654321
input key return
sleep 1
grab wrong-code.png
for _ in 1 2 3 4 5 6; do input key backspace; done
input type 123456
sleep 1
grab code-dialog.png
input key return
sleep 3
grab connected.png
