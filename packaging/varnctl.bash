# Bash completion for varnctl: its commands, each command's options, and
# file names where an option takes a file. Needs nothing of bash-completion's.

_varnctl() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    local net="--port --broadcast --bind --help"
    local command=${COMP_WORDS[1]} sub=${COMP_WORDS[2]}
    local fields="deviceName devicePassword lanIpAddress phoneNumber pppUserName
        pppPassword idleMinutes blindDial useAlternativeNumbers alternativeTries
        alternativeNumber1 alternativeNumber2 loginMode scriptPrompt1 scriptPrompt2
        scriptPrompt3 scriptPrompt4 scriptResponse1 scriptResponse2 scriptResponse3
        scriptResponse4"
    COMPREPLY=()

    case $prev in
    -o | --output | -i | --input | --password-file)
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
        return
        ;;
    --port | --broadcast | --bind | --timeout | --address)
        return # a number or an address
        ;;
    --field)
        mapfile -t COMPREPLY < <(compgen -W "$fields dialOptions" -- "$cur")
        return
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
            words="get put set"
        elif [ "$sub" = get ]; then
            words="--address -o --output --field --password-file $net"
        elif [ "$sub" = set ]; then
            # FIELD=VALUE: the name and its "=", the value is the user's
            if [ "$COMP_CWORD" -gt 3 ] && [[ $cur != -* ]]; then
                mapfile -t COMPREPLY < <(compgen -S = -W "$fields" -- "$cur")
                compopt -o nospace 2>/dev/null
                return
            fi
            words="--address --password-file --yes --force $net"
        else
            words="--address -i --input --password-file --yes --force --other-appliance $net"
        fi
        ;;
    set-ip) words="--address $net" ;;
    help) words="discover status config set-ip" ;;
    esac
    mapfile -t COMPREPLY < <(compgen -W "$words" -- "$cur")
}
complete -F _varnctl varnctl
