#!/usr/bin/env bash
# The static analysers over src/, tests/ and bench/, as the test command runs
# them: any finding fails, and so does a missing analyser or one that could
# not read its input. Needs the build's compile_commands.json (first
# argument: the build folder).
#
# cppcheck: warning, performance and portability. Its style group is left
# out: here it asks for algorithm calls instead of plain loops, and cannot
# see the file system change between two calls.
# clang-tidy: a chosen set of bug-finding checks (misuse of moved-from
# objects, dangling views, string and size mistakes, self-assignment,
# redundant expressions) and copies that cost for nothing, in the sources and
# in the project's own headers they include. The path-sensitive analyser
# (clang-analyzer-*) is left out: it takes four times as long and cannot
# follow ownership handed over in a posted window message.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"  # absolute: it is part of the header filter and the key
status=0

for tool in cppcheck clang-tidy; do
    if ! command -v "$tool" >/dev/null; then
        echo "analyse: $tool is not installed (scripts/setup.sh installs it)"
        exit 1
    fi
done
if [ ! -s "$build/compile_commands.json" ]; then
    echo "analyse: no $build/compile_commands.json (configure the build first)"
    exit 1
fi

echo "analyse: resource numbers"
# Strings, commands, dialogs and the other kinds each share one numbering;
# windres takes a number twice without a word and the program then shows
# one text where another was meant. (Control numbers repeat across dialogs
# by design and are not checked.)
clashes="$(grep -hE '^#define +(IDS|ID|IDD|IDR|IDB|IDI|IDW)_[A-Za-z0-9_]+ +[0-9]+' "$root"/res/*.h |
    awk '{ split($2, kind, "_"); key = kind[1] " " $3; if (key in seen) print $2 " and " seen[key] " are both " $3; else seen[key] = $2 }')"
if [ -n "$clashes" ]; then
    echo "$clashes"
    status=1
fi

echo "analyse: include directions"
# The layers and what each may include: its own folder, the folders listed
# after it, and the resource numbers of those layers. The build gives each
# layer only these include folders too; this check also covers headers that
# no source of their layer includes, relative paths, and a link that was
# added to the build to make an upward include compile.
declare -A below=(
    [model]=""
    [platform]="model"
    [settings]="platform model"
    [engine]="settings platform model"
    [framework]=""
    [ui]="engine settings platform model framework"
    [dialogs]="engine settings platform model framework"
    [app]="ui dialogs engine settings platform model framework"
)
declare -A numbers=(
    [model]=""
    [platform]="platform"
    [settings]="settings"
    [engine]="engine"
    [framework]="windows"
    [ui]="ui"
    [dialogs]="dialogs options projects targets"
    [app]="app"
)
for folder in "$root"/src/*/; do
    folder="$(basename "$folder")"
    if [ -z "${below[$folder]+set}" ]; then
        echo "src/$folder: a layer the include check does not know (add it above)"
        status=1
    fi
done
for layer in "${!below[@]}"; do
    folders=" $layer ${below[$layer]} "
    headers=" "
    for each in $layer ${below[$layer]}; do
        for kind in ${numbers[$each]}; do headers+="resource_$kind.h "; done
    done
    while IFS=: read -r file line include; do
        name="${include#*\"}"
        name="${name%%\"*}"
        case "$name" in
            */*) ok=0; [[ "$name" != *..* && "$folders" == *" ${name%%/*} "* ]] && ok=1 ;;
            *) ok=0; [[ "$headers" == *" $name "* ]] && ok=1 ;;
        esac
        if [ "$ok" = 0 ]; then
            echo "${file#"$root"/}:$line: $layer includes \"$name\""
            status=1
        fi
    done < <(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$root/src/$layer"/*.h "$root/src/$layer"/*.cpp \
                 $(for kind in ${numbers[$layer]}; do echo "$root/res/resource_$kind.h"; done) 2>/dev/null || true)
done

echo "analyse: cppcheck"
# GoogleTest's macros from cppcheck's own description of them: without it
# each test file stops at its first TEST with a syntax error.
cppcheck --quiet --error-exitcode=1 --std=c++20 --language=c++ --platform=win64 --library=googletest \
    --enable=warning,performance,portability --inline-suppr \
    -I"$root/src" -I"$root/res" -I"$root/tests/support" -D_WIN32 -DUNICODE -D_UNICODE \
    "$root/src" "$root/tests" "$root/bench" || status=1

echo "analyse: clang-tidy"
checks='-*,bugprone-use-after-move,bugprone-dangling-handle,bugprone-string-constructor,
bugprone-suspicious-string-compare,bugprone-undelegated-constructor,bugprone-infinite-loop,
bugprone-sizeof-expression,bugprone-integer-division,bugprone-misplaced-widening-cast,
bugprone-suspicious-memset-usage,bugprone-unused-return-value,bugprone-bool-pointer-implicit-conversion,
bugprone-fold-init-type,bugprone-inaccurate-erase,bugprone-move-forwarding-reference,
bugprone-parent-virtual-call,bugprone-string-integer-assignment,bugprone-unhandled-self-assignment,
performance-unnecessary-copy-initialization,performance-for-range-copy,performance-move-const-arg,
performance-unnecessary-value-param,misc-redundant-expression'
checks="$(tr -d '\n' <<<"$checks")"
# The project's own headers, reached through src/ or through the layers'
# include folders in the build tree; not GoogleTest's or the system's.
headers="^($root/(src|tests|bench)|$build/layers)/"
# The cross compiler's C++ library, which clang does not find by itself.
cxx="$(ls -d /usr/lib/gcc/x86_64-w64-mingw32/*-posix/include/c++ | sort -V | tail -1)"
tidy=(clang-tidy -p "$build" --quiet --checks="$checks" --warnings-as-errors='*' --header-filter="$headers"
      --extra-arg=--target=x86_64-w64-mingw32 --extra-arg=-isystem"$cxx"
      --extra-arg=-isystem"$cxx/x86_64-w64-mingw32" --extra-arg=-isystem"$cxx/backward")
mapfile -d '' sources < <(find "$root/src" "$root/tests" "$root/bench" -name '*.cpp' -print0 | sort -z)
if [ "${#sources[@]}" -eq 0 ]; then
    echo "analyse: no sources found"
    exit 1
fi
# A source that passed is remembered under a key of everything its result
# depends on (the analyser and its arguments, the compile commands, the
# project's headers, the source itself), so a rerun analyses only what
# changed: the tests double the sources, on 2 shared cores.
export TIDY_PASSED="$build/analysis-passed" TIDY_LOGS
TIDY_LOGS="$(mktemp -d)"
trap 'rm -rf "$TIDY_LOGS"' EXIT
mkdir -p "$TIDY_PASSED"
common="$( { clang-tidy --version; echo "${tidy[*]}"; cat "$build/compile_commands.json"
             find "$root/src" "$root/tests" "$root/bench" "$root/res" -name '*.h' -print0 | sort -z | xargs -0 cat
           } | sha256sum | cut -c1-64)"
pending=()
declare -A current=()
for source in "${sources[@]}"; do
    key="$( { echo "$common"; cat "$source"; } | sha256sum | cut -c1-64)"
    current[$key]=1
    [ -e "$TIDY_PASSED/$key" ] || pending+=("$key" "$source")
done
# What passed in an older state of the tree is of no use any more.
for stamp in "$TIDY_PASSED"/*; do
    [ -e "$stamp" ] && [ -z "${current[${stamp##*/}]+set}" ] && rm -f "$stamp"
done
echo "analyse: clang-tidy on $(( ${#pending[@]} / 2 )) of ${#sources[@]} sources (the others passed unchanged)"
# Analyses one source (the last two arguments: its key and path) into a log
# of its own; only a clean exit is remembered, so a source clang-tidy cannot
# compile fails too.
tidy_one() {
    local key="${*: -2:1}" source="${*: -1}"
    if "${@:1:$#-2}" "$source" >"$TIDY_LOGS/$key" 2>&1; then
        touch "$TIDY_PASSED/$key"
        rm -f "$TIDY_LOGS/$key"
    fi
}
export -f tidy_one
if [ "${#pending[@]}" -gt 0 ]; then
    printf '%s\0' "${pending[@]}" | xargs -0 -P "$(nproc)" -n 2 bash -c 'tidy_one "$@"' tidy_one "${tidy[@]}"
fi
failed=("$TIDY_LOGS"/*)
if [ -e "${failed[0]}" ]; then
    status=1
    # A header's finding comes once per source that includes it.
    findings="$(cat "${failed[@]}" | grep -E '^[^ ].*:[0-9]+:[0-9]+: (warning|error):' | sort -u || true)"
    if [ -n "$findings" ]; then
        echo "$findings"
    else
        # Failed without a finding of its own: say why.
        head -20 "${failed[@]}"
    fi
fi
exit "$status"
