#!/usr/bin/env python3
"""Turn a UTF-8 table of texts into a header of hex-escaped cp932 literals.

Input lines:   Name = "text"      (\\n stands for a line feed; # starts a comment)
Output:        inline constexpr char Name[] = "\\x..";   inside the given namespace

The program handles texts as cp932 bytes; writing them as escapes keeps the
bytes exact whatever the compiler's execution character set.
"""
import sys


def parse(path):
    entries = []
    with open(path, encoding="utf-8") as f:
        for number, line in enumerate(f, 1):
            line = line.strip()
            if not line or line.startswith("#"):
                continue
            name, sep, value = line.partition("=")
            name, value = name.strip(), value.strip()
            if not sep or not name.isidentifier() or len(value) < 2 or value[0] != '"' or value[-1] != '"':
                sys.exit(f"{path}:{number}: expected  Name = \"text\"")
            text = value[1:-1].replace("\\n", "\n").replace('\\"', '"').replace("\\\\", "\\")
            entries.append((name, text))
    return entries


def main():
    if len(sys.argv) != 4:
        sys.exit("usage: cp932gen.py TABLE.txt OUT.h NAMESPACE")
    table, out, namespace = sys.argv[1:]
    lines = ["// Generated from " + table.rsplit("/", 1)[-1] + " by cp932gen.py; do not edit.",
             "#pragma once", "", f"namespace {namespace} {{", ""]
    for name, text in parse(table):
        data = text.encode("cp932")
        escaped = "".join(f"\\x{b:02X}" for b in data)
        lines.append(f"// {text!r}")
        lines.append(f'inline constexpr char {name}[] = "{escaped}";')
    lines += ["", f"}}  // namespace {namespace}", ""]
    content = "\n".join(lines)
    try:
        with open(out, encoding="utf-8") as f:
            if f.read() == content:
                return
    except OSError:
        pass
    with open(out, "w", encoding="utf-8") as f:
        f.write(content)


if __name__ == "__main__":
    main()
