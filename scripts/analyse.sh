#!/usr/bin/env bash
# The static analysers over src/, as the test command runs them: any finding
# fails. Needs the build's compile_commands.json (first argument: the build
# folder).
#
# cppcheck: warning, performance and portability. Its style group is left
# out: here it asks for algorithm calls instead of plain loops, and cannot
# see the file system change between two calls.
# clang-tidy: a chosen set of bug-finding checks (misuse of moved-from
# objects, dangling views, string and size mistakes, self-assignment,
# redundant expressions) and copies that cost for nothing. The path-sensitive
# analyser (clang-analyzer-*) is left out: it takes four times as long and
# cannot follow ownership handed over in a posted window message.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build}"
status=0

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

echo "analyse: cppcheck"
cppcheck --quiet --error-exitcode=1 --std=c++20 --language=c++ --platform=win64 \
    --enable=warning,performance,portability --inline-suppr \
    -I"$root/src" -I"$root/res" -D_WIN32 -DUNICODE -D_UNICODE "$root/src" || status=1

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
# The cross compiler's C++ library, which clang does not find by itself.
cxx="$(ls -d /usr/lib/gcc/x86_64-w64-mingw32/*-posix/include/c++ | sort -V | tail -1)"
findings="$(find "$root/src" -name '*.cpp' -print0 |
    xargs -0 -P "$(nproc)" -n 4 clang-tidy -p "$build" --quiet --checks="$checks" --warnings-as-errors='*' \
        --extra-arg=--target=x86_64-w64-mingw32 --extra-arg=-isystem"$cxx" \
        --extra-arg=-isystem"$cxx/x86_64-w64-mingw32" --extra-arg=-isystem"$cxx/backward" 2>/dev/null |
    grep -E '(warning|error):' || true)"
if [ -n "$findings" ]; then
    echo "$findings"
    status=1
fi
exit "$status"
