"""The package as installed: the version is CMakeLists.txt's, and when the
test command runs the suite on a pip-installed package (TAVREL_INSTALLED),
that package, not the source tree, is the one imported."""

import os
import re
import sys
from pathlib import Path

import tavrel
from conftest import SOURCE_DIR


def test_version_and_installed_location() -> None:
    text = (SOURCE_DIR / "CMakeLists.txt").read_text()
    assert tavrel.__version__ == re.search(r"project\(Tavrel VERSION ([0-9.]+)", text).group(1)
    if os.environ.get("TAVREL_INSTALLED"):
        location = Path(tavrel.__file__).resolve()
        assert location.is_relative_to(Path(sys.prefix).resolve()), location
        assert not location.is_relative_to(SOURCE_DIR.resolve() / "python"), location
