#!/usr/bin/python3
"""What the README says about building agrees with the scripts that build.

Usage: check_build_docs.py CHECK ROOT, CHECK one of:

  packages    The README's package list (the `apt-get install` command of its
              sh blocks) is the KT482_PACKAGES array of
              scripts/lib/install-deps.sh, as bash reads it.
  build-type  The README's recipe, scripts/demo and scripts/test configure
              build/ with one build type, so that following one after the
              other does not rebuild everything; and the scripts build with as
              many jobs as there are cores.
  python      The documents, examples and scripts name Debian's interpreter,
              /usr/bin/python3, for what they run: another python3 first on
              PATH lacks Debian's packages (Dask, wheel, reportlab).

Prints each disagreement on a line of its own and exits 1 then.
"""
import re
import subprocess
import sys
from pathlib import Path


def sh_blocks(text):
    return [b.replace("\\\n", " ") for b in re.findall(r"^```sh\n(.*?)^```", text, re.M | re.S)]


def readme_packages(readme):
    found = []
    for block in sh_blocks(readme):
        for line in block.splitlines():
            words = line.split()
            if words[:2] == ["apt-get", "install"]:
                found += [w for w in words[2:] if not w.startswith("-")]
    return found


def script_packages(path):
    listed = subprocess.run(
        ["bash", "-c", 'source "$1"; printf "%s\\n" "${KT482_PACKAGES[@]}"', "bash", str(path)],
        check=True, capture_output=True, text=True).stdout
    return listed.split()


def check_packages(root):
    readme = readme_packages((root / "README.md").read_text(encoding="utf-8"))
    script = script_packages(root / "scripts/lib/install-deps.sh")
    if not readme:
        return ["README.md: no `apt-get install` command in an sh block"]
    problems = []
    twice = sorted({p for p in readme if readme.count(p) > 1})
    for what, packages in (("the README lacks", [p for p in script if p not in readme]),
                           ("only the README has", [p for p in readme if p not in script]),
                           ("the README lists twice", twice)):
        if packages:
            problems.append(f"{what}: {' '.join(packages)}")
    return problems


def build_types(text, build_dir):
    """The build types of the cmake commands that configure build_dir."""
    types = []
    for line in text.replace("\\\n", " ").splitlines():
        if "cmake" in line and re.search(rf"-B\s*\"?{re.escape(build_dir)}\"?(\s|$)", line):
            types += re.findall(r"-DCMAKE_BUILD_TYPE=(\w+)", line)
    return types


def check_build_type(root):
    problems = []
    sources = {
        "README.md": ("\n".join(sh_blocks((root / "README.md").read_text(encoding="utf-8"))), "build"),
        "scripts/demo": ((root / "scripts/demo").read_text(), "build"),
        "scripts/test": ((root / "scripts/test").read_text(), "$build"),
    }
    seen = {}
    for name, (text, build_dir) in sources.items():
        types = set(build_types(text, build_dir))
        if len(types) != 1:
            problems.append(f"{name}: configures build/ with build types {sorted(types) or 'none'}")
        else:
            seen[name] = types.pop()
    if len(set(seen.values())) > 1:
        problems.append("build types differ: " + ", ".join(f"{n} {t}" for n, t in seen.items()))
    for name in ("scripts/demo", "scripts/test"):
        text = (root / name).read_text()
        if re.search(r"^\s*ninja\s(?!.*-j)", text, re.M):
            problems.append(f"{name}: runs ninja without a job count")
        for build in re.findall(r"cmake --build[^\n]*", text):
            if not re.search(r"-j\s*\"?\$(\(nproc\)|jobs)", build):
                problems.append(f"{name}: `{build}` does not build with $(nproc) jobs")
    return problems


BARE_PYTHON = re.compile(r"(?<![/\w-])python3?\s+(-m\s|[\w./<>-]+\.py\b)")


def check_python(root):
    problems = []
    files = [root / "README.md", *sorted((root / "docs").glob("*.md")),
             *sorted((root / "examples").rglob("*.py")), *sorted((root / "bench").rglob("*.py")),
             *sorted(p for p in (root / "scripts").iterdir() if p.is_file())]
    for path in files:
        text = path.read_text(encoding="utf-8", errors="replace")
        name = path.relative_to(root)
        if text.startswith("#!") and "python" in text.splitlines()[0] and \
                text.splitlines()[0] != "#!/usr/bin/python3":
            problems.append(f"{name}: runs under {text.splitlines()[0][2:]}, not /usr/bin/python3")
        for number, line in enumerate(text.splitlines(), 1):
            if BARE_PYTHON.search(line):
                problems.append(f"{name}:{number}: {line.strip()}")
    return problems


def main():
    check, root = sys.argv[1], Path(sys.argv[2])
    checks = {"packages": check_packages, "build-type": check_build_type, "python": check_python}
    problems = checks[check](root)
    for problem in problems:
        print(problem)
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
