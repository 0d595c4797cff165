#!/usr/bin/env python3
"""Compares the printf formats of the string table with what the program
passes them: every call of Format() whose format is a literal or a string
table text, each specifier against the argument in its place.

A text edited to a wrong specifier is undefined behaviour at run time that
no compiler sees (the format is read from the resources), so this check
reads the sources instead. An argument that ends in .c_str() or is a wide
literal is a string, anything else a number; a number written with its type
(static_cast<T>) is held to the specifier's width too. A text with printf
specifiers that no call is checked against fails as well, so a format
passed on through a variable cannot slip by unseen.

Usage: check-formats.py [source root]; exit code 1 on any mismatch."""
import pathlib
import re
import sys

root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent)

# Formats that reach Format() through a parameter: the parameter, and the
# texts its callers in the same file pass for it.
INDIRECT = {
    ("src/engine/FileCopy.cpp", "textId"): ["IDS_COPY_CHANGED_BODY", "IDS_VERIFY_BODY"],
    ("src/engine/EntryActions.cpp", "replacedId"): ["IDS_REPLACED_FOLDER", "IDS_REPLACED_FILE"],
}
# Texts whose % codes are not printf's: date and log-name patterns and the
# tools' command-line placeholders, filled in by code of their own.
NOT_PRINTF = {"IDS_DEFAULT_DATE_DIR", "IDS_DEFAULT_DATE_FORMAT", "IDS_LOGVIEW_PARAM"}

CONVERSION = re.compile(r"%(?P<flags>[-+ #0]*)(?P<width>\*|\d+)?(?:\.(?P<prec>\*|\d+))?"
                  r"(?P<size>hh|h|ll|l|I64|I32|I|L|w)?(?P<conv>[diouxXcCsSfeEgGaAp%n])")


def specifiers(text):
    """The kinds of arguments a format takes, in order."""
    kinds = []
    for m in CONVERSION.finditer(text):
        conv, size = m.group("conv"), m.group("size") or ""
        if conv == "%":
            continue
        for star in (m.group("width"), m.group("prec")):
            if star == "*":
                kinds.append("int")
        if conv in "sS":
            kinds.append("string")
        elif conv in "cC":
            kinds.append("int")
        elif conv in "diouxX":
            kinds.append("int64" if size in ("ll", "I64") else "int32" if size in ("", "h", "hh", "l", "I32") else "int?")
        elif conv in "fFeEgGaA":
            kinds.append("double")
        else:
            kinds.append("pointer")
    return kinds


def unquote(literal):
    return literal.replace('""', '"')


def string_table():
    texts = {}
    for rc in sorted((root / "res").glob("Strings*.rc")):
        inside = False
        for number, line in enumerate(rc.read_text(encoding="utf-8").splitlines(), 1):
            stripped = line.strip()
            if stripped == "BEGIN":
                inside = True
                continue
            if stripped == "END":
                inside = False
                continue
            if not inside or not stripped or stripped.startswith("//"):
                continue
            m = re.fullmatch(r'(\w+)\s+"((?:[^"]|"")*)"', stripped)
            if not m:
                sys.exit(f"{rc.relative_to(root)}:{number}: a string-table line this check cannot read")
            texts[m.group(1)] = unquote(m.group(2))
    return texts


def split_arguments(text, start):
    """The top-level arguments of the call whose "(" is at start, and the end."""
    depth, i, current, arguments = 0, start, [], []
    while i < len(text):
        c = text[i]
        if c in "\"'":
            quote = c
            j = i + 1
            while j < len(text) and text[j] != quote:
                j += 2 if text[j] == "\\" else 1
            current.append(text[i:j + 1])
            i = j + 1
            continue
        if c in "([{":
            depth += 1
            if depth == 1:
                i += 1
                continue
        elif c in ")]}":
            depth -= 1
            if depth == 0:
                arguments.append("".join(current).strip())
                return arguments, i
        elif c == "," and depth == 1:
            arguments.append("".join(current).strip())
            current = []
            i += 1
            continue
        current.append(c)
        i += 1
    raise ValueError("unbalanced call")


INT32 = ("int", "unsigned", "unsigned int", "DWORD", "UINT", "LONG", "long", "unsigned long", "WORD", "short")
INT64 = ("long long", "unsigned long long", "int64_t", "uint64_t", "ULONGLONG", "LONGLONG")
DECLARATION = r"(?:const\s+)?((?:std::)?(?:unsigned long long|long long|unsigned long|unsigned int|unsigned|int|long|"
DECLARATION += r"short|DWORD|UINT|LONG|WORD|ULONGLONG|LONGLONG|u?int64_t|double|float))\s+"


def argument_kind(argument, code):
    argument = " ".join(argument.split())
    if re.search(r"(\.|->)c_str\(\)$", argument) or re.fullmatch(r'L"(?:[^"\\]|\\.)*"', argument):
        return "string"
    m = re.match(r"static_cast<\s*([\w:\s]+?)\s*>", argument)
    if not m and re.fullmatch(r"\w+", argument):
        # A plain variable: its declaration in the same file, where it says.
        m = re.search(DECLARATION + argument + r"\s*[=;{(,)]", code)
    if m:
        t = m.group(1).replace("std::", "")
        if t in INT32:
            return "int32"
        if t in INT64:
            return "int64"
        if t in ("double", "float"):
            return "double"
    return "number"


def fits(want, argument):
    if want == "string" or argument == "string":
        return want == argument
    if argument == "number":
        # Width unknown at the call: any integer specifier but a 64-bit one
        # (a 64-bit argument must say so with its cast).
        return want in ("int32", "int")
    if want == "int":
        return argument == "int32"
    return want == argument or want == "int?"


def main():
    texts = string_table()
    problems, checked = [], set()
    calls = 0
    for source in sorted((root / "src").rglob("*.cpp")):
        rel = source.relative_to(root).as_posix()
        code = source.read_text(encoding="utf-8")
        # Texts a variable of the file holds: name = LoadText(IDS_X).
        held = {m.group(1): m.group(2) for m in re.finditer(r"(\w+)\s*=\s*LoadText\((IDS_\w+)\)", code)}
        for m in re.finditer(r"(?<![\w.>:])Format\(", code):
            line = code.count("\n", 0, m.start()) + 1
            before = re.search(r"(\w+)\s*$", code[:m.start()])
            if before and before.group(1) != "return":
                continue  # a declaration (a type before the name), not a call
            arguments, _ = split_arguments(code, m.end() - 1)
            first, rest = arguments[0], arguments[1:]
            calls += 1
            formats = []
            literal = re.fullmatch(r'L"((?:[^"\\]|\\.)*)"', first)
            loaded = re.fullmatch(r"LoadText\((.*)\)\.c_str\(\)", first, re.S)
            variable = re.fullmatch(r"(\w+)\.c_str\(\)", first)
            if literal:
                formats.append((None, literal.group(1)))
            elif loaded:
                ids = re.findall(r"IDS_\w+", loaded.group(1))
                if not ids:
                    ids = INDIRECT.get((rel, loaded.group(1).strip()), [])
                if not ids:
                    problems.append(f"{rel}:{line}: a format this check cannot follow: {first}")
                for name in ids:
                    if name not in texts:
                        problems.append(f"{rel}:{line}: {name} is not in the string table")
                    else:
                        formats.append((name, texts[name]))
            elif variable and variable.group(1) in held:
                name = held[variable.group(1)]
                formats.append((name, texts.get(name, "")))
            else:
                problems.append(f"{rel}:{line}: a format this check cannot follow: {first}")
            passed = [argument_kind(a, code) for a in rest]
            for name, text in formats:
                if name:
                    checked.add(name)
                wanted = specifiers(text)
                label = name or "the literal"
                if len(wanted) != len(passed):
                    problems.append(f"{rel}:{line}: {label} takes {len(wanted)} arguments, the call passes {len(passed)}")
                    continue
                for place, (want, kind) in enumerate(zip(wanted, passed), 1):
                    if not fits(want, kind):
                        problems.append(f"{rel}:{line}: {label}, argument {place}: the text wants {want}, the call passes {kind}")
    for (rel, parameter), names in INDIRECT.items():
        code = (root / rel).read_text(encoding="utf-8")
        for name in names:
            if name not in code:
                problems.append(f"{rel}: {name} is no longer passed as {parameter} (the table above is stale)")
    for name, text in sorted(texts.items()):
        if name in checked or name in NOT_PRINTF:
            continue
        if specifiers(text):
            problems.append(f"{name}: a printf format that no call is checked against: {text!r}")
    for problem in problems:
        print(problem)
    print(f"check-formats: {calls} calls, {len(checked)} string-table formats checked")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
