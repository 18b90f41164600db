#!/bin/sh
# SPDX-License-Identifier: MIT
# qvini's completion in a real interactive bash, in a terminal that tmux
# keeps: a section name with a blank completes quoted, its keys follow, a
# value of --format= completes, and the completed lines run.
#
#   qvini_terminal.sh QVINI COMPLETION_SCRIPT WORK_DIR
set -eu
qvini=$1 completion=$2 work=$3
rm -rf "$work" && mkdir -p "$work" && cd "$work"
printf '[Desktop Entry]\nName = Vim\n' >vim.desktop
tmux="tmux -L qvini-terminal-$$ -f /dev/null"
trap '$tmux kill-server 2>/dev/null || true' EXIT
$tmux new-session -d -x 150 -y 20 "PATH=$(dirname "$qvini"):\$PATH bash --norc --noprofile"

# Types the keys and waits up to twenty seconds for a line of the screen.
type_until() {
    wanted=$1 && shift && $tmux send-keys "$@"
    for _ in $(seq 200); do
        $tmux capture-pane -p | grep -qxF -- "$wanted" && return 0
        sleep 0.1
    done
    echo "the terminal never showed: $wanted" && $tmux capture-pane -p && exit 1
}

type_until '$' "PS1='$ '; . '$completion'; clear" Enter
type_until 'Vim' 'qvini get vim.desktop D' Tab N Tab Enter
type_until '$ qvini get vim.desktop Desktop\ Entry Name' ''
type_until '{"type":"header","section":"Desktop Entry"}' 'qvini list --format=j' Tab ' vim.d' Tab Enter
