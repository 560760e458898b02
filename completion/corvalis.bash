# bash completion for corvalis: its options, the tests of --tests (a comma-separated
# list, completed after its last comma), the devices of --device, the methods of
# --sync, and file names for --output and the text reports of --compare.
# Installed as share/bash-completion/completions/corvalis; by hand: source this file.

# The options of the program, every spelling it takes.
_corvalis_options="--tests --output --comment --sync --no-bb-bold --no-bb-code --no-bb-url
  --bbcode --list --list-devices --device --repeat --budget --window --headless --no-charts
  --compare --fail-on-regression --ab --a --b --a-device --b-device --help -h --version"

# The program being completed when it can be run, else corvalis on the PATH; nothing
# when neither is there.
_corvalis_program() {
  if [[ $1 == */* && -x $1 && ! -d $1 ]]; then
    printf '%s\n' "$1"
  else
    type -P -- "$1" 2>/dev/null || type -P corvalis 2>/dev/null
  fi
}

# Runs the program with a time limit, its errors dropped: completion must stay quick and
# quiet whatever the program or the driver does.
_corvalis_ask() {
  local program
  program=$(_corvalis_program "$1") || return 0
  [[ -n $program ]] || return 0
  shift
  timeout 5 "$program" "$@" 2>/dev/null </dev/null
  return 0
}

# The test names --tests takes, in lower case: the keys of "corvalis --list", or the
# seven known ones when the program cannot be asked.
_corvalis_tests() {
  local keys
  keys=$(_corvalis_ask "$1" --list | awk 'NF > 0 { print tolower($1) }')
  [[ -n $keys ]] ||
    keys=$(printf '%s\n' fillrate bandwidth geometry texturing readback texcache tiling)
  printf 'all\n%s\n' "$keys"
}

# The device numbers of "corvalis --list-devices" ("0: Mesa software renderer ...").
_corvalis_devices() {
  _corvalis_ask "$1" --headless --list-devices | sed -n 's/^\([0-9][0-9]*\):.*/\1/p'
}

# COMPREPLY for 'cur', one of the words of a comma-separated test list: the names that
# begin with what follows its last comma, less those already in the list.
_corvalis_complete_tests() {
  local program=$1 cur=$2 prefix="" part=$2 name
  if [[ $cur == *,* ]]; then
    prefix=${cur%,*},
    part=${cur##*,}
  fi
  local chosen=",${prefix,,}"
  for name in $(_corvalis_tests "$program"); do
    [[ $chosen == *",$name,"* ]] && continue
    [[ $name == "${part,,}"* ]] && COMPREPLY+=("$prefix$name")
  done
  compopt -o nospace 2>/dev/null
}

_corvalis() {
  COMPREPLY=()
  local cword=$COMP_CWORD
  local cur=${COMP_WORDS[cword]} prev="" option="" given=""
  ((cword > 0)) && prev=${COMP_WORDS[cword - 1]}
  # "--tests=fill" arrives split at the "=" (one of COMP_WORDBREAKS), or as one word.
  if [[ $cur == "=" && $prev == --* ]]; then
    option=$prev
    cur=""
  elif [[ $prev == "=" ]] && ((cword > 1)); then
    option=${COMP_WORDS[cword - 2]}
  elif [[ $cur == --*=* ]]; then
    option=${cur%%=*}
    given=$option=
    cur=${cur#*=}
  elif [[ $cur != -* ]]; then
    option=$prev
  fi

  local program=${COMP_WORDS[0]}
  case $option in
    --tests)
      _corvalis_complete_tests "$program" "$cur"
      ;;
    --device | --a-device | --b-device)
      mapfile -t COMPREPLY < <(compgen -W "$(_corvalis_devices "$program")" -- "$cur")
      ;;
    --sync)
      mapfile -t COMPREPLY < <(compgen -W "flush swap" -- "$cur")
      ;;
    --output)
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -f -- "$cur")
      ;;
    --repeat)
      mapfile -t COMPREPLY < <(compgen -W "auto" -- "$cur")
      ;;
    --comment | --budget | --fail-on-regression | --a | --b)
      ;;
    *)
      if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$_corvalis_options" -- "$cur")
        return 0
      fi
      # After --compare every word up to the next option is a text report.
      local i
      for ((i = cword - 1; i > 0; i--)); do
        [[ ${COMP_WORDS[i]} == -* ]] || continue
        if [[ ${COMP_WORDS[i]} == --compare ]]; then
          compopt -o filenames 2>/dev/null
          mapfile -t COMPREPLY < <(compgen -f -X '!*.txt' -- "$cur"; compgen -d -- "$cur")
        fi
        break
      done
      return 0
      ;;
  esac
  if [[ -n $given ]]; then
    local i
    for i in "${!COMPREPLY[@]}"; do COMPREPLY[i]=$given${COMPREPLY[i]}; done
  fi
  return 0
}

complete -F _corvalis corvalis
