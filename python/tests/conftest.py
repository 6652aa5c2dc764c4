"""Shared fixtures: the built command line, the examples, one analyzer."""

import json
import os
import pathlib
import subprocess

import pytest

import morva

EXAMPLES = pathlib.Path(os.environ.get("MORVA_EXAMPLES",
                                       pathlib.Path(__file__).parents[2] / "examples"))


def run_tool(*arguments):
    """The document `morva --json -` writes for the arguments, or the text
    of its failure on standard error."""
    tool = os.environ.get("MORVA_TOOL")
    if not tool:
        pytest.skip("MORVA_TOOL names no built morva")
    completed = subprocess.run([tool, "-q", "--json", "-", *map(str, arguments)],
                               capture_output=True, timeout=120)
    if completed.returncode == 2:
        return completed.stderr.decode(errors="replace")
    return json.loads(completed.stdout)


def run_tool_console(*arguments):
    """What `morva -q` prints on standard output for the arguments."""
    tool = os.environ.get("MORVA_TOOL")
    if not tool:
        pytest.skip("MORVA_TOOL names no built morva")
    return subprocess.run([tool, "-q", *map(str, arguments)], capture_output=True, text=True,
                          check=True, timeout=120).stdout


@pytest.fixture
def lines():
    """The console text an analyzer wrote, line by line."""
    return []


@pytest.fixture
def analyzer(lines):
    with morva.Analyzer(output=lines.append) as opened:
        yield opened
