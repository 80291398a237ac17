#!/usr/bin/env python3
"""Writes every C++ and Python block of the given Markdown files into OUTDIR,
one file a block, so that the suite compiles and runs them.

A C++ block with its own main() is taken as it stands; any other block runs
inside a main() that has a job ready: `job` with a spool folder of its own
(./spool) and an editing session started, and `window_id` 0; a Python
block without `import kt482` gets it. Prints one line
a block: "cpp|python NAME FILE". A block right under a line
`<!-- file: PATH -->` must also be that file of the source tree as it stands:
"same NAME FILE ROOT/PATH".

    extract_doc_blocks.py OUTDIR ROOT FILE.md...
"""
import pathlib
import re
import sys

FENCE = re.compile(r"^```(\w*)\s*$")
INCLUDED = re.compile(r"^<!-- file: (\S+) -->$")

PRELUDE = """\
#include <syslog.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "kt482/kt482.h"

int main()
{
    std::filesystem::create_directories("spool");
    [[maybe_unused]] std::uintptr_t window_id = 0;
    kt482::KT482_Print job;
    job.P_Temp_Dir(std::filesystem::absolute("spool").string());
    job.E_StartEdit();
    {
// ---- the block, from %s line %d
"""

EPILOGUE = """\
// ---- end of the block
    }
    return 0;
}
"""


def blocks(text):
    """(language, first line number, code, included file) of every fenced block."""
    language, start, lines, previous, included = None, 0, [], "", None
    for number, line in enumerate(text.splitlines(), 1):
        match = FENCE.match(line)
        if language is None:
            if match and match.group(1):
                language, start, lines = match.group(1), number + 1, []
                marker = INCLUDED.match(previous.strip())
                included = marker.group(1) if marker else None
            previous = line
        elif line.strip() == "```":
            yield language, start, "\n".join(lines) + "\n", included
            language = None
        else:
            lines.append(line)
    if language is not None:
        raise SystemExit(f"a block from line {start} is never closed")


def main(outdir, root, sources):
    out = pathlib.Path(outdir)
    out.mkdir(parents=True, exist_ok=True)
    for source in sources:
        path = pathlib.Path(source)
        stem = path.stem.replace("-", "_")
        for language, line, code, included in blocks(path.read_text(encoding="utf-8")):
            name = f"{stem}_{line}"
            if included:
                copy = out / f"{name}.block"
                copy.write_text(code, encoding="utf-8")
                print("same", name, copy, pathlib.Path(root) / included)
            if language == "cpp":
                if re.search(r"^int main\(", code, re.M):
                    body = f"// From {path.name} line {line}\n" + code
                else:
                    body = PRELUDE % (path.name, line) + code + EPILOGUE
                target = out / f"{name}.cpp"
                kind = "cpp"
            elif language == "python":
                # A fragment uses the module without importing it.
                body = code if re.search(r"^import kt482", code, re.M) else "import kt482\n" + code
                target = out / f"{name}.py"
                kind = "python"
            else:
                continue
            if not target.exists() or target.read_text(encoding="utf-8") != body:
                target.write_text(body, encoding="utf-8")
            print(kind, name, target)


if __name__ == "__main__":
    if len(sys.argv) < 4:
        raise SystemExit(__doc__)
    main(sys.argv[1], sys.argv[2], sys.argv[3:])
