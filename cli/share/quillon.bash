# bash completion for quillon. Commands and property names come from the
# program itself (its --help, and `quillon show` of the file being worked
# on), so nothing here needs changing when they do.

_quillon_files() {
  local IFS=$'\n'
  COMPREPLY+=($(compgen -f -- "$1"))
}

# The property names `quillon show FILE` prints, those starting with $2, each
# followed by $3; a name with parentheses comes quoted for the shell.
_quillon_names() {
  local name prefix=${2#\'}
  while IFS= read -r name; do
    [[ $name == "$prefix"* ]] || continue
    [[ $name == *'('* ]] && name="'$name$3'" || name="$name$3"
    COMPREPLY+=("$name")
  done < <(quillon show -- "$1" 2>/dev/null | sed 's/ = .*//')
}

_quillon() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
  COMPREPLY=()
  if ((COMP_CWORD == 1)); then
    COMPREPLY=($(compgen -W "$(quillon --help 2>/dev/null | awk '/^  [a-z]/ {print $1}') --help" -- "$cur"))
    return
  fi
  local command=${COMP_WORDS[1]}
  case $prev in
    -o | --output | --from-json)
      _quillon_files "$cur"
      return
      ;;
  esac
  case $command in
    show | diff) [[ $cur == -* ]] && COMPREPLY=($(compgen -W "--json --help" -- "$cur")) || _quillon_files "$cur" ;;
    set)
      if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "-o --from-json --force --help" -- "$cur"))
      elif ((COMP_CWORD == 2)); then
        _quillon_files "$cur"
      else
        _quillon_names "${COMP_WORDS[2]}" "$cur" =
        type compopt &>/dev/null && compopt -o nospace
      fi
      ;;
    get)
      if ((COMP_CWORD == 2)); then
        _quillon_files "$cur"
      elif ((COMP_CWORD == 3)); then
        _quillon_names "${COMP_WORDS[2]}" "$cur"
      fi
      ;;
    *) _quillon_files "$cur" ;;
  esac
}
complete -F _quillon quillon
