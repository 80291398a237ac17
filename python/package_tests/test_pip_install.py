# `pip install --no-build-isolation .` of a copy of the source tree into a
# fresh virtual environment, then a PDF printed by the installed module from
# outside the tree. The whole library is built: slow, so a test of its own.
import os
import pathlib
import shutil
import subprocess
import sys
import textwrap

SOURCE = pathlib.Path(os.environ.get("KT482_SOURCE_DIR", pathlib.Path(__file__).resolve().parents[2]))

PRINT_A_PDF = textwrap.dedent(
    """
    import pathlib, sys, tempfile
    import kt482

    here = pathlib.Path(kt482.__file__).parent
    print(here)
    libraries = {line.split()[-1] for line in open("/proc/self/maps") if "libkt482.so" in line}
    print(*sorted(libraries), sep="\\n")
    with tempfile.TemporaryDirectory() as spool:
        p = kt482.KT482_Print()
        p.P_Temp_Dir = spool
        p.E_StartEdit()
        p.E_Pitch(15, 6)
        p.E_String(2, 3, "請求書")
        p.E_EndEdit()
        try:
            p.E_String(1, 1, "after the session")
        except kt482.Error as e:
            print("raised", e.number)
            print("description", e.description)
        p.SetNextPdfPath(sys.argv[1])
        p.W_Device("KT482 PDF")
        p.W_StartDoc(9, 1)
        p.W_Print()
        p.W_EndDoc()
    """
)


def test_pip_installs_the_module_and_the_library_into_a_fresh_venv(tmp_path):
    tree = tmp_path / "kt482"
    shutil.copytree(SOURCE, tree, ignore=shutil.ignore_patterns(".git", "build*", "*.egg-info", "__pycache__"))
    venv = tmp_path / "venv"
    subprocess.run(["/usr/bin/python3", "-m", "venv", "--system-site-packages", str(venv)], check=True)
    python = venv / "bin" / "python"

    env = {k: v for k, v in os.environ.items() if k not in ("PYTHONPATH", "LD_LIBRARY_PATH", "DISPLAY")}
    env["QT_QPA_PLATFORM"] = "offscreen"
    if shutil.which("ccache"):
        env["CMAKE_ARGS"] = "-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache"
        # Paths relative to the copy, so that each run's copy (a new folder)
        # finds what the last one compiled.
        env["CCACHE_BASEDIR"] = str(tree)
        env["CCACHE_NOHASHDIR"] = "1"
    install = subprocess.run(
        [str(python), "-m", "pip", "install", "--no-build-isolation", "--no-index", str(tree)],
        cwd=tmp_path, env=env, capture_output=True, text=True,
    )
    assert install.returncode == 0, install.stdout[-3000:] + install.stderr[-3000:]
    # The build tree goes: the installed module must not lean on anything
    # in it (the library looks for its catalogs in its build tree last).
    shutil.rmtree(tree)

    pdf = tmp_path / "out" / "invoice.pdf"
    pdf.parent.mkdir()
    run = subprocess.run(
        [str(python), "-c", PRINT_A_PDF, str(pdf)], cwd=tmp_path / "out", env=env, capture_output=True, text=True,
        timeout=120,
    )
    assert run.returncode == 0, run.stderr
    # The message catalog came with the module: the same failure in the
    # user's language, Japanese, and English in the C locale.
    described = {}
    for lang in ("ja_JP.UTF-8", "C.UTF-8"):
        language_env = {k: v for k, v in env.items() if k not in ("LANGUAGE", "LC_ALL", "LC_MESSAGES")}
        language_env["LANG"] = lang
        again = subprocess.run(
            [str(python), "-c", PRINT_A_PDF, str(pdf.parent / f"{lang}.pdf")], cwd=tmp_path / "out", env=language_env,
            capture_output=True, text=True, timeout=120,
        )
        assert again.returncode == 0, again.stderr
        described[lang] = next(line for line in again.stdout.splitlines() if line.startswith("description "))
    assert any("\u3040" <= c <= "\u30ff" or "\u4e00" <= c <= "\u9fff" for c in described["ja_JP.UTF-8"]), described
    assert described["C.UTF-8"].isascii() and described["C.UTF-8"] != described["ja_JP.UTF-8"], described
    lines = run.stdout.splitlines()
    site = pathlib.Path(lines[0])
    libraries = [line for line in lines if "libkt482" in line]
    assert site.is_relative_to(venv)
    # The library loaded is the one installed beside the module.
    assert [pathlib.Path(lib).parent for lib in libraries] == [site]
    assert (site / "kt482.pyi").is_file() and (site / "py.typed").is_file()
    assert "raised 52" in run.stdout
    assert pdf.read_bytes().startswith(b"%PDF-")
    if shutil.which("qpdf"):
        subprocess.run(["qpdf", "--check", str(pdf)], check=True, capture_output=True)
