# Bash completion for varnctl: its commands, each command's options, and
# file names where an option takes a file. Needs nothing of bash-completion's.

_varnctl() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    local net="--port --broadcast --bind --help"
    local command=${COMP_WORDS[1]} sub=${COMP_WORDS[2]}
    COMPREPLY=()

    case $prev in
    -o | --output | -i | --input | --password-file)
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
        return
        ;;
    --port | --broadcast | --bind | --timeout | --address)
        return # a number or an address
        ;;
    esac

    if [ "$COMP_CWORD" -eq 1 ]; then
        mapfile -t COMPREPLY < <(compgen -W "discover status config set-ip help --help" -- "$cur")
        return
    fi
    local words
    case $command in
    discover) words="--json --timeout --all-interfaces $net" ;;
    status) words="--json --watch $net" ;;
    config)
        if [ "$COMP_CWORD" -eq 2 ]; then
            words="get put"
        elif [ "$sub" = get ]; then
            words="--address -o --output --password-file $net"
        else
            words="--address -i --input --password-file --yes $net"
        fi
        ;;
    set-ip) words="--address $net" ;;
    help) words="discover status config set-ip" ;;
    esac
    mapfile -t COMPREPLY < <(compgen -W "$words" -- "$cur")
}
complete -F _varnctl varnctl
