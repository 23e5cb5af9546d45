#!/usr/bin/env bash
# Builds an exported recording from the built player, starts it on a virtual display, checks
# its window with window_checker, closes it there and expects exit status 0. A damaged
# recording must still open the window and say what is damaged.
#   run_player.sh KIND PLAYER MAKE_RECORDING WINDOW_CHECKER WORK_DIR
set -euo pipefail
kind=$1 player=$2 make_recording=$3 checker=$4 work=$5

if [ "${MUGWARP_ON_DISPLAY:-}" != 1 ]; then
  rm -rf "$work"
  mkdir -p "$work"
  "$make_recording" "$kind" "$player" "$work/recording"
  chmod 0755 "$work/recording"
  MUGWARP_ON_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$@"
fi

sky=87ceeb
# The window's place and size, and its background outside the frame's box.
checks=(--at 93 128 --size 630 546 --pixel 2 2 $sky --pixel 40 470 $sky)
case $kind in
  frames)
    # All three frames are 4:3, shown at (5, 12) 605 x 454; the last one, blue, stays.
    checks+=(--pixel 315 8 $sky --pixel 615 240 $sky --pixel 6 240 0000ff
             --pixel 315 240 0000ff --pixel 608 464 0000ff)
    message="" ;;
  damaged-tail) message="the frame count 1000000 is more than the file can hold" ;;
  not-jpeg) message="frame 2: not a readable JPEG picture" ;;
  bare) message="no frames follow the player program" ;;
  *) echo "unknown kind $kind"; exit 2 ;;
esac

"$work/recording" 2> "$work/stderr" &
pid=$!
failed=0
"$checker" "Mugwarp Player" "${checks[@]}" || failed=1

for _ in $(seq 150); do
  kill -0 "$pid" 2> /dev/null || break
  sleep 0.1
done
if kill -0 "$pid" 2> /dev/null; then
  echo "the player did not exit after its window was closed"
  kill -9 "$pid"
  failed=1
fi
status=0
wait "$pid" || status=$?
if [ "$status" -ne 0 ]; then
  echo "the player exited with status $status"
  failed=1
fi

if [ -n "$message" ]; then
  if ! grep -qF "This player's recording is damaged: $message" "$work/stderr"; then
    echo "the player did not report: $message"
    failed=1
  fi
elif [ -s "$work/stderr" ]; then
  echo "the player reported a problem with a good recording"
  failed=1
fi
cat "$work/stderr"
exit $failed
