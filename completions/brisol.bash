# bash completion for brisol
#
# Every argument of brisol is an option, so only the option texts are offered, except where a
# file name comes: after a redirection (brisol -a -xml > rep<TAB>), after -profile, -profile= or
# --profile= (-profile may be given once for each file), and after -diff, -diff= or --diff=, which
# take one or two names (the second, B, is a name unless it begins with -). The -? stays quoted:
# unquoted, the shell would expand it against the files in the current folder.

_brisol() {
    local current=${COMP_WORDS[COMP_CWORD]}
    local previous=
    ((COMP_CWORD > 0)) && previous=${COMP_WORDS[COMP_CWORD - 1]}
    local option
    COMPREPLY=()
    # With = among the word breaks, as bash has it, -profile=rep is three words: -profile, = and
    # rep; without, one.
    local before=
    ((COMP_CWORD > 1)) && before=${COMP_WORDS[COMP_CWORD - 2]}
    local earlier=
    ((COMP_CWORD > 2)) && earlier=${COMP_WORDS[COMP_CWORD - 3]}
    if [[ $previous == = && $before =~ ^--?(profile|diff)$ ]]; then
        previous=-profile
    elif [[ $current =~ ^(--?(profile|diff)=)(.*)$ ]]; then
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -f -P "${BASH_REMATCH[1]}" -- "${BASH_REMATCH[3]}")
        return
    fi
    # The name after A of -diff A, -diff=A or --diff=A, unless an option is begun: B.
    if [[ $current != -* && ($previous =~ ^--?diff=.+$ || ($previous != -* &&
        ($before =~ ^--?diff$ || ($before == = && $earlier =~ ^--?diff$)))) ]]; then
        previous=-profile
    fi
    # A redirection operator, with or without a descriptor number (> >> < 2> &> >| and the like),
    # -profile or -diff: a file name comes.
    if [[ $previous =~ ^[0-9]*(\<|\>|\>\>|\>\||\<\>|\>\&|\<\&)$|^\&\>\>?$|^--?(profile|diff)$ ]]; then
        # Outside a completion (a test sourcing this file), compopt has nothing to set.
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -f -- "$current")
        return
    fi
    for option in -a -txt -xml -f -noheaderfooter -h '-?' -version -all -json -profile \
        -labels -metrics -diff; do
        if [[ $option == "$current"* ]]; then
            COMPREPLY+=("$option")
        fi
    done
}

complete -F _brisol brisol
