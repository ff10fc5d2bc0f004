# bash completion for halvex-contacts
_halvex_contacts()
{
    local cur prev command i
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
        export | import | list | check | duplicates | sync)
            command=${COMP_WORDS[i]}
            break
            ;;
        esac
    done

    case $prev in
    --data)
        COMPREPLY=($(compgen -d -- "$cur"))
        return
        ;;
    -o | --output | --password-file | --ca-file)
        COMPREPLY=($(compgen -f -- "$cur"))
        return
        ;;
    --format)
        if [[ $command == import ]]; then
            COMPREPLY=($(compgen -W "auto vcard csv" -- "$cur"))
        else
            COMPREPLY=($(compgen -W "vcard vcard3 csv" -- "$cur"))
        fi
        return
        ;;
    esac

    case $command in
    "")
        COMPREPLY=($(compgen -W "export import list check duplicates sync --help --version" -- "$cur"))
        ;;
    export)
        COMPREPLY=($(compgen -W "--format --arabic-letters --output -o --data --help" -- "$cur"))
        ;;
    import)
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W "--format --add-duplicates --dry-run --data --help" -- "$cur"))
        else
            COMPREPLY=($(compgen -f -X '!*.@(vcf|VCF|vcard|csv|CSV|txt)' -- "$cur") $(compgen -d -- "$cur"))
        fi
        ;;
    duplicates)
        COMPREPLY=($(compgen -W "--merge --dry-run --data --help" -- "$cur"))
        ;;
    list | check)
        COMPREPLY=($(compgen -W "--data --help" -- "$cur"))
        ;;
    sync)
        COMPREPLY=($(compgen -W "--user --password-file --ca-file --remember --dry-run --force-delete --data --help" -- "$cur"))
        ;;
    esac
} &&
    complete -o filenames -F _halvex_contacts halvex-contacts
