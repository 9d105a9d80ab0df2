#!/usr/bin/env python3
"""Picks mutation sites at random over the product's .cpp files for scripts/mutants.sh.

    mutant_sites.py TREE N SEED [--since REV --repo REPO [--to COMMIT]]
                                    prints N mutants, one a line:
                                    FILE<TAB>LINE<TAB>KIND<TAB>ORIGINAL<TAB>MUTATED

With --since only sites on lines changed since the commit REV of the git repository REPO are
drawn: changed in COMMIT, or without --to in REPO's working tree (whose files not yet known to
git count as changed throughout). TREE must hold the same files as what is compared.

Every place where one of the kinds below applies is a site. Each site gets a rank from a hash
of the seed, its file, the text of its line, its place in that line and its kind (not its line
number), and the N lowest ranks are taken: every site is equally likely, the same seed picks the
same sites again, and a site whose line was not touched keeps its rank when code elsewhere
changes, so that a run before and after a change of the tests mutates the same places.

Kinds: relational boundaries (< <=, > >=, == !=), arithmetic (+ -, * /, %), logical and bit
operators (&& ||, & |), integer constants (one more), string constants (one letter or digit
changed), removed calls (a statement that is only a call), inverted conditions (if/while), and
swapped arguments (a call with two plain arguments).
"""
import hashlib
import os
import re
import subprocess
import sys

SWAPS = {
    "<": "<=", "<=": "<", ">": ">=", ">=": ">", "==": "!=", "!=": "==",
    "+": "-", "-": "+", "*": "/", "/": "*", "%": "/",
    "&&": "||", "||": "&&", "&": "|", "|": "&",
}
KIND_OF = {
    "<": "boundary", "<=": "boundary", ">": "boundary", ">=": "boundary",
    "==": "relation", "!=": "relation",
    "+": "arithmetic", "-": "arithmetic", "*": "arithmetic", "/": "arithmetic",
    "%": "arithmetic", "&&": "logical", "||": "logical", "&": "bits", "|": "bits",
}
# A binary operator as clang-format writes it: one blank on each side. Templates, pointers,
# references and unary minus have none, so they are not taken for operators.
OPERATOR = re.compile(r"(?<= )(<=|>=|==|!=|&&|\|\||<|>|\+|-|\*|/|%|&|\|)(?= )")
INTEGER = re.compile(r"(?<![\w.])(0[xX][0-9a-fA-F]+|\d+)(?![\w.'])")
STRING = re.compile(r'"(?:[^"\\]|\\.)*"')
CALL_STATEMENT = re.compile(r"^(\s*)(?:::)?[A-Za-z_][\w:]*(?:(?:\.|->)[A-Za-z_]\w*)*\(.*\);\s*$")
CONDITION = re.compile(r"\b(if|while) \(")
TWO_ARGUMENTS = re.compile(r"\b([A-Za-z_]\w*)\(([\w.:\"']+), ([\w.:\"']+)\)")
NOT_CALLS = {"return", "if", "while", "for", "switch", "case", "delete", "throw", "sizeof",
             "static_assert", "co_return", "using", "typedef", "goto"}


def masked(line):
    """The line with string and character literals and a trailing comment blanked (same
    length), so that operators and numbers inside them are not taken for code."""
    out = list(line)
    i, n = 0, len(line)
    while i < n:
        c = line[i]
        if c == "/" and line[i + 1:i + 2] == "/":
            for k in range(i, n):
                out[k] = " "
            break
        if c in "\"'":
            j = i + 1
            while j < n and line[j] != c:
                j += 2 if line[j] == "\\" else 1
            for k in range(i + 1, min(j, n)):
                out[k] = " "
            i = j + 1
            continue
        i += 1
    return "".join(out)


def closing_paren(text, start):
    """Index of the ')' closing the '(' at start, or -1 when the line ends first."""
    depth = 0
    for i in range(start, len(text)):
        if text[i] == "(":
            depth += 1
        elif text[i] == ")":
            depth -= 1
            if depth == 0:
                return i
    return -1


def changed_letter(text):
    """The string literal with its first letter or digit changed, or None."""
    for i, c in enumerate(text[1:-1], start=1):
        if text[i - 1] == "\\":
            continue
        if c.isdigit():
            return text[:i] + str((int(c) + 1) % 10) + text[i + 1:]
        if c.isalpha() and c.isascii():
            base = "a" if c.islower() else "A"
            return text[:i] + chr((ord(c) - ord(base) + 1) % 26 + ord(base)) + text[i + 1:]
    return None


def sites_of_line(line):
    """(kind, mutated line) for every site in one line of code."""
    stripped = line.strip()
    if not stripped or stripped.startswith(("//", "#", "*", "/*")) or "static_assert" in line:
        return
    code = masked(line)
    if "operator" in code or "template" in code or "#include" in code:
        return
    for m in OPERATOR.finditer(code):
        op = m.group(1)
        yield KIND_OF[op], line[:m.start()] + SWAPS[op] + line[m.end():]
    for m in INTEGER.finditer(code):
        text = m.group(1)
        if text[:2] in ("0x", "0X"):
            new = "0x%X" % (int(text, 16) + 1)
        elif len(text) > 1 and text[0] == "0":
            new = "0%o" % (int(text, 8) + 1)  # a file mode
        else:
            new = str(int(text) + 1)
        yield "constant", line[:m.start()] + new + line[m.end():]
    for m in STRING.finditer(line):
        if code[m.start()] != '"' or code[m.start() + 1:m.end() - 1].strip():
            continue  # inside a comment, or not a literal of its own
        new = changed_letter(m.group(0))
        if new:
            yield "string", line[:m.start()] + new + line[m.end():]
    call = CALL_STATEMENT.match(code)
    if call and code.split("(")[0].strip() not in NOT_CALLS and "=" not in code.split("(")[0]:
        first = code.strip().split("(")[0]
        if closing_paren(code, code.index("(")) == len(code.rstrip()) - 2 and first.split("::")[-1] \
                and not first[0].isupper():
            yield "removed-call", call.group(1) + "(void)0;  // removed: " + stripped + "\n"
    for m in CONDITION.finditer(code):
        open_at = m.end() - 1
        close_at = closing_paren(code, open_at)
        if close_at > 0:
            inner = line[open_at + 1:close_at]
            yield "inverted", line[:open_at + 1] + "!(" + inner + ")" + line[close_at:]
    for m in TWO_ARGUMENTS.finditer(code):
        a, b = m.group(2), m.group(3)
        if a != b and m.group(1) not in NOT_CALLS:
            yield "swapped", line[:m.start(2)] + line[m.start(3):m.end(3)] + ", " + \
                line[m.start(2):m.end(2)] + line[m.end(3):]


# Sources this machine does not build (the Windows ones): a change there can never be caught
# by the tests that run here.
NOT_BUILT = re.compile(r"^src/winplatform/|^src/platform/(win_[^/]*|[^/]*_win)\.cpp$")


def product_files(tree):
    for top in ("src", "apps"):
        for folder, _, names in os.walk(os.path.join(tree, top)):
            for name in sorted(names):
                path = os.path.relpath(os.path.join(folder, name), tree)
                if name.endswith(".cpp") and not NOT_BUILT.search(path):
                    yield path


def git(repo, *args):
    return subprocess.run(["git", "-C", repo, *args], check=True, capture_output=True,
                          text=True).stdout


HUNK = re.compile(r"^@@ -\S+ \+(\d+)(?:,(\d+))? @@")


def changed_lines(repo, since, to):
    """{path: set of line numbers, or None for every line} of the product .cpp files changed
    since `since` (in `to`, else in the working tree)."""
    files = ["--", "src/*.cpp", "apps/*.cpp"]
    diff = git(repo, "diff", "-U0", "--no-color", "--no-renames", "--no-ext-diff", since,
               *([to] if to else []), *files)
    changed, path = {}, None
    for line in diff.splitlines():
        if line.startswith("+++ "):
            path = None if line == "+++ /dev/null" else line[len("+++ b/"):]
        elif path and (hunk := HUNK.match(line)):
            start, length = int(hunk.group(1)), int(hunk.group(2) or 1)
            changed.setdefault(path, set()).update(range(start, start + length))
    if not to:
        for path in git(repo, "ls-files", "--others", "--exclude-standard", *files).split():
            changed[path] = None
    return changed


def main():
    tree, count, seed = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    options = dict(zip(sys.argv[4::2], sys.argv[5::2]))
    since = options.get("--since")
    changed = changed_lines(options["--repo"], since, options.get("--to")) if since else None
    ranked = []
    for path in sorted(product_files(tree)):
        if changed is not None and path not in changed:
            continue
        wanted = changed[path] if changed is not None else None
        with open(os.path.join(tree, path), encoding="utf-8") as f:
            lines = f.readlines()
        in_block_comment = False
        seen = {}
        for number, line in enumerate(lines, start=1):
            # The same line twice in a file: its copies are told apart by their order.
            copy = seen[line.strip()] = seen.get(line.strip(), -1) + 1
            if in_block_comment or line.lstrip().startswith("/*"):
                in_block_comment = "*/" not in line
                continue
            if wanted is not None and number not in wanted:
                continue
            for place, (kind, mutated) in enumerate(sites_of_line(line)):
                if mutated == line:
                    continue
                key = "\0".join((seed, path, line.strip(), str(copy), str(place), kind,
                                 mutated.strip()))
                rank = hashlib.sha256(key.encode()).hexdigest()
                ranked.append((rank, path, number, kind, line, mutated))
    ranked.sort()
    for _, path, number, kind, line, mutated in ranked[:count]:
        print("\t".join((path, str(number), kind, line.rstrip("\n").replace("\t", " "),
                         mutated.rstrip("\n").replace("\t", " "))))
    print(f"{len(ranked)} sites" + (f" on lines changed since {since}" if since else ""),
          file=sys.stderr)


if __name__ == "__main__":
    main()
