"""Builds the Python module kt482 with CMake for pip (see pyproject.toml).

The library is built with the module, tests, benchmarks and examples off,
and installed beside it: the module finds libkt482 through its $ORIGIN run
path. The type stub and py.typed go beside the module too, and so do the
message catalogs, in kt482-locale/<language>/LC_MESSAGES: the library looks
for them at that place relative to its own file.
"""
import importlib.util
import os
import pathlib
import re
import shlex
import shutil
import subprocess
import sys

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = pathlib.Path(__file__).resolve().parent
# The message catalogs' folder beside the module; a name no import can take.
LOCALE_FOLDER = "kt482-locale"

# Without the wheel package setuptools only says "invalid command
# 'bdist_wheel'": an interpreter other than Debian's is the usual cause.
if "bdist_wheel" in sys.argv and importlib.util.find_spec("wheel") is None:
    sys.exit(f"kt482: {sys.executable} has no module 'wheel'; build with Debian's /usr/bin/python3 "
             "(python3-wheel, python3-setuptools, pybind11-dev, python3-dev)")


def version():
    text = (ROOT / "CMakeLists.txt").read_text(encoding="utf-8")
    return re.search(r"project\(kt482 VERSION ([0-9.]+)", text).group(1)


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        target = pathlib.Path(self.get_ext_fullpath(ext.name)).resolve().parent
        build = pathlib.Path(self.build_temp).resolve() / "cmake"
        stage = build / "stage"
        configure = [
            "cmake", "-S", str(ROOT), "-B", str(build),
            "-DCMAKE_BUILD_TYPE=Release",
            f"-DPython_EXECUTABLE={sys.executable}",
            "-DKT482_BUILD_PYTHON=ON", "-DKT482_BUILD_TESTS=OFF", "-DKT482_BUILD_BENCH=OFF",
            "-DKT482_BUILD_EXAMPLES=OFF", "-DKT482_INSTALL=ON",
            # Module and library in one folder: the module's run path is $ORIGIN.
            "-DCMAKE_INSTALL_LIBDIR=lib", "-DKT482_PYTHON_INSTALL_DIR=lib",
            # The catalogs in a folder beside the library, which the library
            # is built to look in.
            f"-DCMAKE_INSTALL_LOCALEDIR=lib/{LOCALE_FOLDER}",
        ]
        if shutil.which("ninja"):
            configure += ["-G", "Ninja"]
        configure += shlex.split(os.environ.get("CMAKE_ARGS", ""))
        subprocess.run(configure, check=True)
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL") or str(os.cpu_count() or 1)
        subprocess.run(["cmake", "--build", str(build), "--parallel", jobs], check=True)
        shutil.rmtree(stage, ignore_errors=True)
        subprocess.run(["cmake", "--install", str(build), "--prefix", str(stage)], check=True,
                       stdout=subprocess.DEVNULL)

        lib = stage / "lib"
        modules = list(lib.glob("kt482.*.so"))
        if len(modules) != 1:
            raise RuntimeError(f"kt482: the CMake build made no Python module (found {modules}); "
                               "are pybind11-dev and python3-dev installed?")
        target.mkdir(parents=True, exist_ok=True)
        shutil.copyfile(modules[0], self.get_ext_fullpath(ext.name))
        # The library under its soname, the name the module asks for.
        for library in lib.glob("libkt482.so.*"):
            if library.is_symlink() and re.fullmatch(r"libkt482\.so\.\d+", library.name):
                shutil.copyfile(library.resolve(), target / library.name)
        for name in ("kt482.pyi", "py.typed"):
            shutil.copyfile(lib / name, target / name)
        # Without msgfmt there are none, and the messages are English.
        if (lib / LOCALE_FOLDER).is_dir():
            shutil.rmtree(target / LOCALE_FOLDER, ignore_errors=True)
            shutil.copytree(lib / LOCALE_FOLDER, target / LOCALE_FOLDER)


setup(
    version=version(),
    ext_modules=[Extension("kt482", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
)
