#!/usr/bin/env bash
# completion_test.sh CLI COMPLETION MANPAGE: every command and option that `CLI [COMMAND] --help` lists is
# completed by the bash completion and documented in the manual page, and file names are completed where
# each command takes them.
set -uo pipefail
cli=$1
source "$2"
manpage=$3
failures=0

fail() { echo "FAIL: $*" && failures=$((failures + 1)); }

# Completes the last word of the given command line; prints the candidates, one a line, sorted.
complete_words()
{
    COMP_WORDS=(tunelore-cli "$@")
    COMP_CWORD=$#
    COMPREPLY=()
    _tunelore_cli
    [ ${#COMPREPLY[@]} -eq 0 ] || printf '%s\n' "${COMPREPLY[@]}" | sort
}

# The options a --help text lists ("  -o,--output TEXT  ..." gives -o and --output).
help_options()
{
    "$cli" "$@" --help | sed -n 's/^ *\(-[^ ]*\).*/\1/p' | tr ',' '\n'
}

commands=$("$cli" --help | sed -n '/^Subcommands:/,$s/^  \([a-z][a-z]*\) .*/\1/p')
[ -n "$commands" ] || fail "no commands found in the help text"
for option in $(help_options); do
    complete_words "${option:0:1}" | grep -qx -- "$option" || fail "option $option is not completed"
    grep -qF -- "${option//-/\\-}" "$manpage" || fail "option $option is not in the manual page"
done
for command in $commands; do
    complete_words "${command:0:1}" | grep -qx "$command" || fail "command $command is not completed"
    grep -q "^\.SS \"$command" "$manpage" || fail "command $command has no section in the manual page"
    for option in $(help_options "$command"); do
        complete_words "$command" "${option:0:1}" | grep -qx -- "$option" ||
            fail "option $option of $command is not completed"
        grep -qF -- "${option//-/\\-}" "$manpage" || fail "option $option of $command is not in the manual page"
    done
done

folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cd "$folder" || exit 1
mkdir songs
touch a.pdb B.PDB notes.txt
databases=$'B.PDB\na.pdb\nsongs'
everything=$'B.PDB\na.pdb\nnotes.txt\nsongs'
cases=(
    "extract|$databases"
    "info --json|$databases"
    "build -o|$databases"
    "build --name|"
    "build --name x notes.txt|$everything"
    "extract a.pdb|$everything"
    "extract a.pdb out|"
    "convert|$everything"
    "convert notes.txt|"
    "info a.pdb|"
)
for entry in "${cases[@]}"; do
    words=${entry%%|*}
    expected=${entry#*|}
    # shellcheck disable=SC2086 # the words of the command line
    got=$(complete_words $words "")
    [ "$got" == "$expected" ] || fail "tunelore-cli $words <TAB>: got [${got//$'\n'/ }], expected [${expected//$'\n'/ }]"
done

[ $failures -eq 0 ] || { echo "$failures failures" && exit 1; }
echo "completion and manual page: every command and option covered"
