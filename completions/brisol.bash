# bash completion for brisol
#
# Every argument of brisol is an option, so nothing but the option texts is offered, never
# a file name. The -? stays quoted: unquoted, the shell would expand it against the files in the
# current folder.

_brisol() {
    local current=${COMP_WORDS[COMP_CWORD]}
    local option
    COMPREPLY=()
    for option in -a -txt -xml -f -noheaderfooter -json -h '-?'; do
        if [[ $option == "$current"* ]]; then
            COMPREPLY+=("$option")
        fi
    done
}

complete -F _brisol brisol
