# bash completion for tovrasat: commands, options, their values, preset names and file names.

# The user presets' names, from the folder the command keeps them in: the first line of
# 'tovrasat presets list' names it.
_tovrasat_presets() {
    local dir
    dir=$("${words[0]}" presets list 2>/dev/null | sed -n '1s/^preset folder //p')
    # restore offers the presets deleted in a host, the others the folder's own
    local f names=(Default)
    [[ ${1-} == deleted ]] && dir=${dir:+$dir/Deleted} names=()
    [[ $dir ]] && for f in "$dir"/*.tovrapreset; do
        [[ -f $f ]] || continue
        f=${f##*/}
        names+=("${f%.tovrapreset}")
    done
    # What is typed may open a quote ('Warm B); a name with a space is offered quoted, so that
    # it reaches the command as one word.
    local typed=${cur#[\'\"]} name
    COMPREPLY=()
    for name in "${names[@]}"; do
        [[ $name == "$typed"* ]] || continue
        if [[ $name == *[^A-Za-z0-9._+-]* ]]; then
            COMPREPLY+=("'$name'")
        else
            COMPREPLY+=("$name")
        fi
    done
}

_tovrasat() {
    local cur prev words cword
    _init_completion || return

    # The command and, for presets, its subcommand; options may come before either.
    local i command= sub= args=0 ended=
    for ((i = 1; i < cword; i++)); do
        if [[ ! $ended ]]; then
            case ${words[i]} in
                --) ended=1 && continue ;;
                --component | --gain | --trim | --48v | --bypass | --in-gain | --preset | \
                    --block | --format | --type | --oversample | --out-dir | --suffix | --scale | \
                    --meter-db | --clip | --out | --jobs | -j)
                    ((i++)) && continue ;;
                -*) continue ;;
            esac
        fi
        if [[ -z $command ]]; then
            command=${words[i]}
        elif [[ $command == presets && -z $sub ]]; then
            sub=${words[i]}
        else
            ((args++))
        fi
    done

    if [[ ! $ended ]]; then
        case $prev in
            --component)
                _filedir -d
                return
                ;;
            --48v | --bypass)
                COMPREPLY=($(compgen -W 'on off' -- "$cur"))
                return
                ;;
            --format)
                COMPREPLY=($(compgen -W 'f32 s24 s16' -- "$cur"))
                return
                ;;
            --type)
                COMPREPLY=($(compgen -W 'wav flac ogg aiff caf w64 rf64 au' -- "$cur"))
                return
                ;;
            --oversample)
                COMPREPLY=($(compgen -W '1 2 4 8' -- "$cur"))
                return
                ;;
            --scale)
                COMPREPLY=($(compgen -W '1 1.25 1.5 1.75' -- "$cur"))
                return
                ;;
            --preset)
                _tovrasat_presets
                return
                ;;
            --out-dir)
                _filedir -d
                return
                ;;
            --out)
                _filedir wav
                return
                ;;
            --gain | --trim | --in-gain | --block | --suffix | --meter-db | --clip | --jobs | -j)
                return # a number or a text: nothing to offer
                ;;
        esac
    fi

    local audio='@(wav|WAV|flac|FLAC|ogg|OGG|oga|opus|OPUS|mp3|MP3|aif|aiff|AIF|AIFF|aifc|caf|w64|rf64|au|snd)'
    if [[ $cur == -* && ! $ended ]]; then
        local options='--component --help'
        case $command in
            '') options+=' --version' ;;
            render)
                options+=' --gain --trim --48v --bypass --in-gain --preset --block --format
                    --no-dither --type --oversample --out-dir --suffix --jobs -j --quiet -q --hq --'
                ;;
            presets) [[ $sub == save ]] && options+=' --gain --trim --48v' ;;
            snapshot)
                options+=' --scale --gain --trim --48v --bypass --preset --meter-db --clip --hq'
                ;;
            info) options+=' --hq' ;;
            editor) options+=' --out --scale --no-audio' ;;
        esac
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
    fi

    case $command in
        '')
            COMPREPLY=($(compgen -W 'render info presets snapshot editor demo help' -- "$cur"))
            ;;
        render)
            # Inputs are audio files or folders of them; OUT may be any new name.
            if ((args == 1)); then
                _filedir
            else
                _filedir "$audio"
            fi
            ;;
        presets)
            if [[ -z $sub ]]; then
                COMPREPLY=($(compgen -W 'list show save delete restore' -- "$cur"))
            elif [[ $sub == show || $sub == delete || $sub == save ]] && ((args == 0)); then
                _tovrasat_presets
            elif [[ $sub == restore ]] && ((args == 0)); then
                _tovrasat_presets deleted
            fi
            ;;
        snapshot) ((args == 0)) && _filedir png ;;
        editor) ((args == 0)) && _filedir "$audio" ;;
        demo) ((args == 0)) && _filedir -d ;;
    esac
} &&
    complete -F _tovrasat tovrasat
