# bash completion for tunelore-cli, installed as share/bash-completion/completions/tunelore-cli.
# Completes the commands, each command's options, and file names: databases (*.pdb and folders) where a
# command reads one, any file elsewhere, nothing after --name.

_tunelore_cli_files()
{
    # $1: "pdb" for databases and folders only, empty for any file or folder.
    local cur=$2
    compopt -o filenames 2>/dev/null
    if [[ $1 == pdb ]]; then
        mapfile -t COMPREPLY < <({ compgen -d -- "$cur"; compgen -f -X '!*.[pP][dD][bB]' -- "$cur"; } | sort -u)
    else
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
    fi
}

_tunelore_cli()
{
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=${COMP_WORDS[COMP_CWORD - 1]}
    COMPREPLY=()

    # The command and how many of its positional arguments come before the word being completed (the values
    # of options are not counted).
    local command="" positionals=0 i word
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        case $word in
        --hotsync | --timeout | --name | -o | --output | --install-to | --install-with) ((i++)) ;; # and its value
        -*) ;;
        *)
            if [[ -z $command ]]; then
                command=$word
            else
                ((positionals++))
            fi
            ;;
        esac
    done

    if [[ -z $command ]]; then
        if [[ $cur == -* ]]; then
            mapfile -t COMPREPLY < <(compgen -W "-h --help --version" -- "$cur")
        else
            mapfile -t COMPREPLY < <(compgen -W "build extract install convert info" -- "$cur")
        fi
        return
    fi

    local options="-h --help"
    case $command in
    build)
        options="-h --help --name -o --output --install --install-to --install-with --hotsync --replace --timeout"
        options+=" --sheet --strict"
        ;;
    extract) options="-h --help --keep-existing --hotsync --timeout --keep-pdb" ;;
    install) options="-h --help --hotsync --install-to --install-with --replace --timeout" ;;
    convert) options="-h --help --sheet" ;;
    info) options="-h --help --json" ;;
    esac
    case $prev in
    --name | --timeout) return ;;
    --hotsync)
        mapfile -t COMPREPLY < <(compgen -W "usb net net: serial: serial-net serial-net:" -- "$cur")
        [[ $cur == serial:* ]] && mapfile -t COMPREPLY < <(compgen -P serial: -f -- "${cur#serial:}")
        compopt -o nospace 2>/dev/null
        return
        ;;
    --install-to)
        compopt -o filenames 2>/dev/null
        mapfile -t COMPREPLY < <(compgen -d -- "$cur")
        return
        ;;
    --install-with)
        mapfile -t COMPREPLY < <(compgen -W "system jpilot" -- "$cur")
        return
        ;;
    -o | --output)
        [[ $command == build ]] && _tunelore_cli_files pdb "$cur"
        return
        ;;
    esac
    if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
        return
    fi

    case $command in
    build) _tunelore_cli_files "" "$cur" ;;
    install) _tunelore_cli_files "" "$cur" ;;
    extract)
        if ((positionals == 0)); then
            _tunelore_cli_files pdb "$cur"
        elif ((positionals == 1)); then
            _tunelore_cli_files "" "$cur" # the folder for songs or the text file for chords
        fi
        ;;
    convert) ((positionals == 0)) && _tunelore_cli_files "" "$cur" ;;
    info) ((positionals == 0)) && _tunelore_cli_files pdb "$cur" ;;
    esac
    return 0
}
complete -F _tunelore_cli tunelore-cli
