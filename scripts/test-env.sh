#!/usr/bin/env bash
# The facilities the tests use, private to one run: an X server, a D-Bus
# session, a PulseAudio server and a runtime folder. Sourced by scripts/test.

QUAVDESK_XVFB_PID=
QUAVDESK_PULSE_PID=
QUAVDESK_RUNTIME_DIR=

# A PulseAudio server of our own, reached through PULSE_SERVER: no user
# configuration, no autospawn, one silent output as the default. It runs as
# whoever runs the tests (root included) and never exits on its own.
start_pulseaudio() {
  if ! command -v pulseaudio >/dev/null; then
    echo "pulseaudio is missing; tests that need a sound server will say so." >&2
    return 0
  fi
  local dir="$QUAVDESK_RUNTIME_DIR/pulse"
  mkdir -p "$dir/runtime"
  chmod 700 "$dir" "$dir/runtime"
  {
    echo "load-module module-native-protocol-unix auth-anonymous=1 socket=$dir/native"
    echo "load-module module-null-sink sink_name=TestOutput sink_properties=device.description=TestOutput rate=44100 channels=2"
    echo "set-default-sink TestOutput"
  } >"$dir/server.pa"
  HOME="$HOME_FOR_TESTS" XDG_RUNTIME_DIR="$dir/runtime" \
    pulseaudio -n -F "$dir/server.pa" --daemonize=no --system=no --use-pid-file=no \
      --exit-idle-time=-1 --disallow-exit --disable-shm=yes \
      --realtime=no --high-priority=no --no-cpu-limit --log-target="file:$dir/server.log" &
  QUAVDESK_PULSE_PID=$!
  local i
  for i in $(seq 1 100); do
    if [ -S "$dir/native" ] && PULSE_SERVER="unix:$dir/native" pactl info >/dev/null 2>&1; then
      export PULSE_SERVER="unix:$dir/native"
      return 0
    fi
    kill -0 "$QUAVDESK_PULSE_PID" 2>/dev/null || break
    sleep 0.05
  done
  echo "PulseAudio did not start; tests that need a sound server will say so." >&2
  tail -n 20 "$dir/server.log" >&2 2>/dev/null || true
}

start_test_services() {
  QUAVDESK_RUNTIME_DIR=$(mktemp -d /tmp/quavdesk-test-XXXXXX)
  chmod 700 "$QUAVDESK_RUNTIME_DIR"
  export XDG_RUNTIME_DIR="$QUAVDESK_RUNTIME_DIR"
  export HOME_FOR_TESTS="$QUAVDESK_RUNTIME_DIR/home"
  mkdir -p "$HOME_FOR_TESTS"

  if command -v Xvfb >/dev/null; then
    local fdfile="$QUAVDESK_RUNTIME_DIR/display"
    # -noreset: by default the server starts over whenever its last client
    # leaves, and a client that connects at that moment waits for ever for
    # the answer to its connection setup.
    Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp -noreset +extension MIT-SHM 3>"$fdfile" >/dev/null 2>&1 &
    QUAVDESK_XVFB_PID=$!
    local i
    for i in $(seq 1 100); do
      [ -s "$fdfile" ] && break
      sleep 0.05
    done
    if [ -s "$fdfile" ]; then
      export DISPLAY=":$(head -n1 "$fdfile")"
    else
      echo "Xvfb did not start; tests that need a display will say so." >&2
    fi
  fi

  start_pulseaudio

  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:detect_stack_use_after_return=0"
  export LSAN_OPTIONS="suppressions=$(pwd)/tests/lsan.supp:print_suppressions=0"
  export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
  export QT_LOGGING_RULES="qt.qpa.*=false"
}

# Runs a command inside a private D-Bus session bus when one can be made.
run_in_session() {
  if command -v dbus-run-session >/dev/null; then
    dbus-run-session -- "$@"
  else
    "$@"
  fi
}

# Safe to call more than once (scripts/test calls it from its exit trap).
stop_test_services() {
  if [ -n "$QUAVDESK_PULSE_PID" ]; then
    kill "$QUAVDESK_PULSE_PID" 2>/dev/null || true
    wait "$QUAVDESK_PULSE_PID" 2>/dev/null || true
    QUAVDESK_PULSE_PID=
  fi
  if [ -n "$QUAVDESK_XVFB_PID" ]; then
    kill "$QUAVDESK_XVFB_PID" 2>/dev/null || true
    wait "$QUAVDESK_XVFB_PID" 2>/dev/null || true
    QUAVDESK_XVFB_PID=
  fi
  if [ -n "$QUAVDESK_RUNTIME_DIR" ]; then
    rm -rf "$QUAVDESK_RUNTIME_DIR"
    QUAVDESK_RUNTIME_DIR=
  fi
  return 0
}
