#!/usr/bin/env python3
"""Reports product files over 400 lines and functions over 80 lines; exits 1 if any.

A function is a brace block whose opening follows a parameter list (a ')' possibly followed by
qualifiers, an initializer list or a trailing return type) and that is not a control statement
or a lambda; its length counts from the line of its name to its closing brace.
"""
import re
import sys
from pathlib import Path

MAX_FILE_LINES = 400
MAX_FUNCTION_LINES = 80
DEFAULT_FOLDERS = ["engine", "platform", "record", "sim", "library", "app", "package"]
SUFFIXES = {".cpp", ".h", ".c", ".hpp"}
CONTROL = re.compile(r"\b(if|for|while|switch|catch)\s*\(")


def code_only(text):
    """The text with comments, strings and character literals blanked, newlines kept."""
    out = []
    i, n = 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i):
            j = text.find("\n", i)
            j = n if j < 0 else j
            out.append(" " * (j - i))
            i = j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            out.append("".join(ch if ch == "\n" else " " for ch in text[i:j]))
            i = j
        elif text.startswith('R"', i) and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == "_")):
            delim_end = text.find("(", i)
            closing = ")" + text[i + 2:delim_end] + '"'
            j = text.find(closing, delim_end)
            j = n if j < 0 else j + len(closing)
            out.append("".join(ch if ch == "\n" else " " for ch in text[i:j]))
            i = j
        elif c in "\"'":
            if c == "'" and i > 0 and text[i - 1].isalnum():  # digit separator 1'000
                out.append(" ")
                i += 1
                continue
            j = i + 1
            while j < n and text[j] != c and text[j] != "\n":
                j += 2 if text[j] == "\\" else 1
            j = min(j + 1, n)
            out.append(" " * (j - i))
            i = j
        else:
            out.append(c)
            i += 1
    return "".join(out)


def functions(code):
    """(first line, last line, name) of each outermost function body in the blanked code."""
    found = []
    stack = []  # (is_function, start_line, name)
    head_start = 0
    for pos, c in enumerate(code):
        if c == "{":
            head = code[head_start:pos]
            inside_function = any(entry[0] for entry in stack)
            flat = " ".join(head.split())
            is_function = (not inside_function and ")" in flat and not CONTROL.search(flat)
                           and not re.search(r"\]\s*\(", flat) and not flat.endswith("=")
                           and not re.match(r"^(namespace|class|struct|enum|union)\b", flat))
            name = ""
            if is_function:
                m = re.search(r"([~\w:<>]+)\s*\(", flat)
                name = m.group(1) if m else flat[:40]
                offset = len(head) - len(head.lstrip())
                start_line = code.count("\n", 0, head_start + offset) + 1
            else:
                start_line = code.count("\n", 0, pos) + 1
            stack.append((is_function, start_line, name))
            head_start = pos + 1
        elif c == "}":
            if stack:
                is_function, start_line, name = stack.pop()
                if is_function:
                    found.append((start_line, code.count("\n", 0, pos) + 1, name))
            head_start = pos + 1
        elif c == ";":
            head_start = pos + 1
        elif c == "#" and (pos == 0 or code[pos - 1] == "\n"):
            end = code.find("\n", pos)
            head_start = len(code) if end < 0 else end + 1
    return found


def main(argv):
    root = Path(__file__).resolve().parent.parent
    folders = argv[1:] or DEFAULT_FOLDERS
    files = sorted(p for f in folders for p in (root / f).rglob("*") if p.suffix in SUFFIXES)
    faults = 0
    longest_file = (0, "")
    longest_function = (0, "")
    for path in files:
        rel = path.relative_to(root)
        text = path.read_text(encoding="utf-8", errors="replace")
        lines = text.count("\n") + (0 if text.endswith("\n") else 1)
        longest_file = max(longest_file, (lines, str(rel)))
        if lines > MAX_FILE_LINES:
            print(f"{rel}: {lines} lines (limit {MAX_FILE_LINES})")
            faults += 1
        for first, last, name in functions(code_only(text)):
            length = last - first + 1
            longest_function = max(longest_function, (length, f"{rel}:{first} {name}"))
            if length > MAX_FUNCTION_LINES:
                print(f"{rel}:{first}: {name} is {length} lines (limit {MAX_FUNCTION_LINES})")
                faults += 1
    print(f"{len(files)} files; longest file {longest_file[0]} lines ({longest_file[1]}); "
          f"longest function {longest_function[0]} lines ({longest_function[1]}); "
          f"{faults} over the limits")
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
