# SPDX-License-Identifier: MIT
# bash completion for qvini: commands, options and their values, the kinds
# of finding for -W (read from qvini's own help, so the list has one home),
# files, and the sections and keys of the file named before them, quoted so
# that the completed line runs.  It needs nothing from the bash-completion
# package.  bash splits words at "=" and ":" too, so "--format=json" arrives
# as "--format" "=" "json"; a quoted word keeps its quotes.

# The word $1 as the shell reads it, in REPLY (as it stands when it could
# run something); the quote it leaves open, if any, in _qvini_quote.
_qvini_dequote() {
    _qvini_quote=""
    [[ $1 == [\"\']* && $1 != ?*"${1:0:1}" ]] && _qvini_quote=${1:0:1}
    REPLY=$1
    [[ $1 == *[\$\`\;\&\|\<\>\(\)]* ]] || eval "REPLY=$1$_qvini_quote" 2>/dev/null
}

# Offers those of the words after $1 that start with what $1 stands for,
# quoted as $1 has begun to quote.
_qvini_offer() {
    _qvini_dequote "$1"
    local word typed=$REPLY
    shift
    for word; do
        [[ $word == "$typed"* ]] || continue
        case $_qvini_quote in
        \') word=${word//\'/\'\\\'\'} ;;
        \") word=${word//\\/\\\\} word=${word//\"/\\\"}
            word=${word//\$/\\\$} word=${word//\`/\\\`} ;;
        *) printf -v word %q "$word" ;;
        esac
        COMPREPLY+=("$word")
    done
}

# The section names (for "[") or the keys (for '"') that qvini list prints
# for the arguments after, without list's escapes.
_qvini_names() {
    local start=$1 line names=()
    shift
    while IFS= read -r line; do
        [[ $start$line =~ ^\[\[(.*)\]$|^\"\"(([^\"\\]|\\.)*)\" ]] || continue
        printf -v line %b "${BASH_REMATCH[1]//\\]/]}${BASH_REMATCH[2]//\\\"/\"}"
        names+=("$line")
    done < <("$qvini" list "$@" 2>/dev/null)
    _qvini_offer "$cur" "${names[@]}"
}

_qvini() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]} joined=""
    local before=${COMP_WORDS[COMP_CWORD - 2]} qvini=${COMP_WORDS[0]} command=${COMP_WORDS[1]}
    COMPREPLY=()
    [[ $cur == = ]] && joined=1 before=$prev prev=$cur cur=""
    [[ $prev == = ]] && joined=1 prev=$before
    if ((COMP_CWORD == 1)); then
        _qvini_offer "$cur" get list dump check help --help --version
    elif [[ $prev == --format ]]; then
        _qvini_offer "$cur" text json
    elif [[ $command == check && ($cur == -W* || ($prev == -Werror && -n $joined)) ]]; then
        local kind words=(-Wall -Werror)
        local kinds=$("$qvini" --help 2>/dev/null | sed -n '/choose among/,/^$/{s/(off)//g;p}')
        for kind in ${kinds#*choose among}; do
            [[ -n $joined ]] && words+=("$kind") || words+=("-W$kind" "-Wno-$kind" "-Werror=$kind")
        done
        _qvini_offer "$cur" "${words[@]}"
    elif [[ $cur == -* && $command == get ]]; then
        _qvini_offer "$cur" --size --help
    elif [[ $cur == -* ]]; then
        _qvini_offer "$cur" --format=text --format=json --help
    elif [[ $prev != --size ]]; then
        # The operands so far, as the shell reads them: FILE, SECTION, KEY.
        local i operands=()
        for ((i = 2; i < COMP_CWORD; i++)); do
            if [[ ${COMP_WORDS[i]} == -* && ${COMP_WORDS[i + 1]} == = ]]; then
                ((i += 2))
            elif [[ ${COMP_WORDS[i]} == --size || ${COMP_WORDS[i]} == --format ]]; then
                ((i++))
            elif [[ ${COMP_WORDS[i]} != -?* ]]; then
                _qvini_dequote "${COMP_WORDS[i]}"
                operands+=("$REPLY")
            fi
        done
        case $command,${#operands[@]} in
        get,1 | list,1) _qvini_names "[" "${operands[@]}" ;;
        get,2) _qvini_names '"' "${operands[@]}" ;;
        get,0 | list,0 | dump,0 | check,*)
            compopt -o filenames 2>/dev/null
            _qvini_dequote "$cur"
            mapfile -t COMPREPLY < <(compgen -f -- "$REPLY") ;;
        esac
    fi
}
complete -F _qvini qvini
