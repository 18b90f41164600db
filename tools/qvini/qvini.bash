# SPDX-License-Identifier: MIT
# bash completion for qvini: commands, options, the kinds of finding for -W
# (read from qvini's own help, so the list has one home), files, and the
# sections and keys of the file named before them.
_qvini() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    local qvini=${COMP_WORDS[0]} command=${COMP_WORDS[1]}
    COMPREPLY=()
    if ((COMP_CWORD == 1)); then
        mapfile -t COMPREPLY < <(compgen -W 'get list dump check help --help --version' -- "$cur")
        return
    fi
    [[ $prev == --size ]] && return
    case $command,$cur in
    check,-W*)
        local kinds kind words="-Wall -Werror"
        kinds=$("$qvini" --help 2>/dev/null | sed -n '/choose among/,/^$/p' | tail -n +2)
        for kind in ${kinds//(off)/}; do
            words+=" -W$kind -Wno-$kind -Werror=$kind"
        done
        mapfile -t COMPREPLY < <(compgen -W "$words" -- "$cur")
        return ;;
    get,-*) mapfile -t COMPREPLY < <(compgen -W '--size --help' -- "$cur"); return ;;
    list,-* | dump,-* | check,-*)
        mapfile -t COMPREPLY < <(compgen -W '--format=text --format=json --help' -- "$cur")
        return ;;
    esac
    # The operands so far, options left out: FILE, then SECTION, then KEY.
    local word previous="" operands=()
    for word in "${COMP_WORDS[@]:2:COMP_CWORD-2}"; do
        [[ ($word == -* && $word != -) || $previous == --size ]] || operands+=("$word")
        previous=$word
    done
    case $command,${#operands[@]} in
    get,[3-9] | list,[2-9] | dump,[1-9]) return ;;
    esac
    if [[ $command == get || $command == list ]] && ((${#operands[@]} >= 1 && ${#operands[@]} <= 2)); then
        local file=${operands[0]} names
        if ((${#operands[@]} == 1)); then
            names=$("$qvini" list "$file" 2>/dev/null | sed -n 's/^\[\(.*\)\]$/\1/p')
        elif [[ $command == get ]]; then
            names=$("$qvini" list "$file" "${operands[1]}" 2>/dev/null | sed -n 's/^"\([^"]*\)" = .*/\1/p')
        fi
        local IFS=$'\n'
        mapfile -t COMPREPLY < <(compgen -W "$names" -- "$cur")
        return
    fi
    compopt -o filenames 2>/dev/null
    mapfile -t COMPREPLY < <(compgen -f -- "$cur")
}
complete -F _qvini qvini
