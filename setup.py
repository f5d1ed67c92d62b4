"""Builds the extension tavrel._tavrel from the repository's C++ sources.

The version is the one in CMakeLists.txt's project() line, the single place
it is written; the extension reports it as tavrel.__version__. The sources
are the miner's library (src/ without the command line and MPI), the
companion programs' libraries (tools/ without their main files) and the
bindings (python/src/). Objects go to build-pip/, which a second build
from the same tree reuses when no source or header changed.
"""

import re
import shutil
import subprocess
from pathlib import Path

from pybind11.setup_helpers import ParallelCompile, Pybind11Extension
from setuptools import setup

ROOT = Path(__file__).resolve().parent


def project_version() -> str:
    """The version of CMakeLists.txt's project() line."""
    text = (ROOT / "CMakeLists.txt").read_text()
    match = re.search(r"project\(\s*Tavrel\s+VERSION\s+([0-9.]+)", text)
    if not match:
        raise RuntimeError("CMakeLists.txt names no project version")
    return match.group(1)


def sources() -> list[str]:
    """The C++ files compiled into the extension, relative to the root."""
    chosen = []
    for folder in ("src", "tools", "python/src"):
        for path in sorted((ROOT / folder).rglob("*.cpp")):
            relative = path.relative_to(ROOT)
            if relative.parts[:2] in (("src", "mpi"), ("src", "driver")):
                continue
            if path.name.endswith("_main.cpp"):
                continue
            chosen.append(relative.as_posix())
    return chosen


def headers() -> list[str]:
    """Every header the sources may include: a change rebuilds the extension."""
    found = []
    for folder in ("include", "src", "tools", "python/src"):
        found += [p.relative_to(ROOT).as_posix() for p in sorted((ROOT / folder).rglob("*.h"))]
    return found


def pkg_config(package: str, option: str, fallback: list[str]) -> list[str]:
    """pkg-config's flags for `package`, or `fallback` without pkg-config."""
    if shutil.which("pkg-config") is None:
        return fallback
    done = subprocess.run(["pkg-config", option, package], capture_output=True, text=True)
    return done.stdout.split() if done.returncode == 0 else fallback


def xml_include_dirs() -> list[str]:
    """libxml2's header folder (Debian: /usr/include/libxml2)."""
    flags = pkg_config("libxml-2.0", "--cflags-only-I", ["-I/usr/include/libxml2"])
    return [flag[2:] for flag in flags if flag.startswith("-I")]


def explorer_assets() -> str:
    """Writes the explorer page's style and script header, as the CMake
    build configures it from tools/show/explorer_assets.h.in; returns the
    folder to include it from."""
    show = ROOT / "tools" / "show"
    text = (show / "explorer_assets.h.in").read_text()
    text = text.replace("@TAVREL_EXPLORER_CSS@", (show / "explorer.css").read_text())
    text = text.replace("@TAVREL_EXPLORER_JS@", (show / "explorer.js").read_text())
    folder = ROOT / "build-pip" / "generated"
    (folder / "show").mkdir(parents=True, exist_ok=True)
    target = folder / "show" / "explorer_assets.h"
    if not target.exists() or target.read_text() != text:
        target.write_text(text)
    return folder.relative_to(ROOT).as_posix()


version = project_version()
(ROOT / "build-pip").mkdir(exist_ok=True)
generated = explorer_assets()
extension = Pybind11Extension(
    "tavrel._tavrel",
    sources(),
    include_dirs=["include", "src", "tools", "python/src", generated, *xml_include_dirs()],
    libraries=["gvc", "cgraph", "xml2", "z"],
    define_macros=[("TAVREL_VERSION", f'"{version}"')],
    depends=[*headers(), "tools/show/explorer.css", "tools/show/explorer.js"],
    cxx_std=20,
    # No debugging information: it makes the objects many times larger.
    extra_compile_args=["-g0"],
)

# Compiles the sources in parallel (NPY_NUM_BUILD_JOBS sets how many).
ParallelCompile("NPY_NUM_BUILD_JOBS").install()

setup(
    version=version,
    ext_modules=[extension],
    options={"build": {"build_base": "build-pip"}, "egg_info": {"egg_base": "build-pip"}},
)
