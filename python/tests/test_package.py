"""The package itself: importing, the example script, installation."""

import os
import pathlib
import subprocess
import sys

import pytest

from conftest import EXAMPLES, run_tool

PACKAGE = pathlib.Path(__import__("morva").__file__).parent


def python(code, path):
    # Run elsewhere: the current directory comes first on the module path.
    return subprocess.run([sys.executable, "-c", code], capture_output=True, text=True,
                          env=dict(os.environ, PYTHONPATH=str(path)), cwd=path, timeout=60)


def test_import_needs_no_numpy():
    # numpy set to None in sys.modules cannot be imported.
    completed = python("import sys; sys.modules['numpy'] = None; import morva; "
                       "print(morva.__version__)", PACKAGE.parent)
    assert completed.returncode == 0, completed.stderr
    assert completed.stdout.strip() == run_tool(EXAMPLES / "pipeline.morva")["tool"].split()[1]


def test_example_script_equals_command_line():
    archive = EXAMPLES / "two_clocks.morva"
    script = EXAMPLES / "python" / "slack_report.py"
    completed = subprocess.run([sys.executable, str(script), str(archive), "--count", "4"],
                               capture_output=True, text=True, timeout=60,
                               env=dict(os.environ, PYTHONPATH=str(PACKAGE.parent)))
    assert completed.returncode == 0, completed.stderr
    document = run_tool("-n", "4", "--tag-slacks", archive)
    paths = sorted(((route["slack"], kind, domain["name"], route["source"], route["target"])
                    for domain in document["domains"] for sub in domain["subdomains"]
                    for kind, key in (("setup", "longestRoutes"), ("hold", "shortestRoutes"))
                    for route in sub[key]), key=lambda path: path[0])
    expected = [f"  {slack:>8} ps  {kind:<5}  {domain}  {source} -> {target}"
                for slack, kind, domain, source, target in paths[:4]]
    lines = completed.stdout.splitlines()
    assert lines[1:5] == expected
    assert lines[5] == (f"{len(document['domains'])} domains, {len(paths)} paths, "
                        f"{document['violations']} violations")


def test_installed_package(tmp_path):
    build = os.environ.get("MORVA_BUILD")
    if not build:
        pytest.skip("MORVA_BUILD names no build tree")
    subprocess.run(["cmake", "--install", build, "--prefix", str(tmp_path)], check=True,
                   capture_output=True, timeout=120)
    [package] = tmp_path.glob("lib/python3*/*-packages/morva")
    completed = python("import morva, pathlib; print(morva.__version__); "
                       "print(pathlib.Path(morva.__file__).parent)", package.parent)
    assert completed.returncode == 0, completed.stderr
    version, location = completed.stdout.split()
    assert pathlib.Path(location) == package
    assert (package / "py.typed").exists() and (package / "__init__.pyi").exists()
    # The installed extension finds the installed libraries, not the build's.
    needed = subprocess.run(["ldd", str(next(package.glob("_morva*.so")))], capture_output=True,
                            text=True, check=True).stdout
    assert str(tmp_path) in needed and "not found" not in needed
