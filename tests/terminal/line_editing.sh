#!/usr/bin/env bash
# Line editing at a terminal: ttyrunner in tmux, keys sent, the screen read.
# Left, End, Backspace and Delete edit the line; Up recalls the last command;
# Ctrl+R finds an earlier one; the game's prompt stays.
set -u
program=$1
demo=$2
command -v tmux >/dev/null || { echo "tmux is not installed: skipped"; exit 0; }
work=$(mktemp -d)
socket="tarnwick-test-$$"
trap 'tmux -L "$socket" kill-server 2>/dev/null; rm -rf "$work"' EXIT
cp "$demo" "$work/demo.adv"
cd "$work" || exit 2
tmux -L "$socket" new-session -d -x 100 -y 40 "LC_ALL=C.UTF-8 $program demo; sleep 30"
keys() { tmux -L "$socket" send-keys -t 0 "$@"; sleep 0.4; }
sleep 0.8
keys n Enter
keys "lok" Left o End Enter             # lok, o before the k: look
keys Up Enter                           # look again
keys "inventoryz" BSpace Enter          # inventory
keys "xlook" Home Delete Enter          # look
keys C-r "inv" Enter                    # inventory, found again
screen=$(tmux -L "$socket" capture-pane -t 0 -p -S -100)
failed=0
looks=$(grep -c "You stand at the iron gate" <<<"$screen")
inventories=$(grep -c "You are carrying" <<<"$screen")
[ "$looks" = 4 ] || { echo "expected 4 descriptions (start and three looks), saw $looks"; failed=1; }
[ "$inventories" = 2 ] || { echo "expected 2 inventories, saw $inventories"; failed=1; }
grep -q "I don't understand" <<<"$screen" && { echo "an edited command was not understood"; failed=1; }
grep -q "^>look$" <<<"$screen" || { echo "the prompt and the command do not show"; failed=1; }
[ $failed = 0 ] || { echo "--- screen"; echo "$screen"; }
exit $failed
