"""Morva from Python: static timing analysis of a timing graph.

    import morva
    with morva.Analyzer() as analyzer:
        analyzer.load("design.morva.gz")
        results = analyzer.analyze(count=10)
        for domain in results.domains: ...
        graph = analyzer.graph()    # NumPy arrays

One analyzer exists at a time. Console output (progress lines, warnings and
reports) goes to `sys.stdout`, or to the callable given as `output`.
Failures of the library raise `morva.Error` and its subclasses.
"""

from __future__ import annotations

import json
import os
from typing import Callable, Iterable, Optional, Union

from . import _morva
from ._errors import Error, FactoryFailed, Fatal, InternalError, InvalidRequest, LoadFailed
from ._graph import MAXIMUM, MINIMUM, PURPOSES, UNDEFINED, Graph
from ._results import Check, Domain, Results, Route, RouteEdge, Subdomain

__version__: str = _morva.VERSION

__all__ = [
    "Analyzer", "Results", "Domain", "Subdomain", "Check", "Route", "RouteEdge", "Graph",
    "Error", "InternalError", "InvalidRequest", "FactoryFailed", "Fatal", "LoadFailed",
    "PURPOSES", "UNDEFINED", "MINIMUM", "MAXIMUM", "__version__",
]

PathLike = Union[str, "os.PathLike[str]"]


def _names(names: Union[str, Iterable[str]]) -> list:
    return [names] if isinstance(names, str) else list(names)


class Analyzer:
    """The one analyzer: load or build a design, analyse it, read the results.

    Args:
        output: a callable that receives the console's text (whole lines,
            newline included), or None for `sys.stdout`.
        quiet: leave the progress lines out; warnings, errors and reports
            are still written.

    A second analyzer while this one is open raises `morva.FactoryFailed`.
    `close()`, or leaving a `with` block, frees it.
    """

    def __init__(self, output: Optional[Callable[[str], object]] = None, quiet: bool = False):
        self._session = _morva.Session(output, quiet)
        self._results: Optional[Results] = None

    # ---- lifetime
    def close(self) -> None:
        """Destroys the analyzer; the results already read stay usable."""
        self._session.close()

    @property
    def closed(self) -> bool:
        return not self._session.is_open

    def __enter__(self) -> "Analyzer":
        return self

    def __exit__(self, *exception: object) -> None:
        self.close()

    # ---- loading and building
    def load(self, *paths: PathLike) -> None:
        """Loads archives (plain or gzip-compressed) in the order given."""
        self._session.load([os.fspath(path) for path in paths])

    def add_pole(self, name: str, mode: str = "None", type: str = "None",
                 report_name: str = "") -> None:
        """Creates a pole, as the archive's POLE record: mode "None", "Rising"
        or "Falling" (a clock pin, which also gets its dual pole, the point
        where its register captures data); type "None", "Primary" (a port) or
        "ClockSource"."""
        self._session.add_pole(name, mode, type, report_name)

    def add_edge(self, source: str, target: str, purpose: str = "Interconnect",
                 minimum: int = 0, maximum: int = 0) -> None:
        """Creates an edge with its delays in picoseconds, as the archive's
        EDGE record: purpose "Interconnect", "IOPath", "SetupHold" or
        "RecoveryRemoval"; a check (minimum the hold, maximum the setup time)
        ends at the target's dual pole."""
        self._session.add_edge(source, target, purpose, minimum, maximum)

    def create_clock(self, root: str, name: str, period: int, rising: int = 0,
                     falling: Optional[int] = None) -> None:
        """Declares a clock on a root pole; falling defaults to half a period."""
        self._session.create_clock(root, name, period, rising,
                                   period // 2 if falling is None else falling)

    def create_clock_groups(self, first: Iterable[str], second: Iterable[str],
                            exclusive: bool = True) -> None:
        """Declares two groups of clocks (by clock name) exclusive, or
        asynchronous with exclusive=False."""
        self._session.create_clock_groups(_names(first), _names(second), exclusive)

    def set_input_delay(self, ports: Union[str, Iterable[str]], clock: str, minimum: int = 0,
                        maximum: int = 0, edge: str = "Rising") -> None:
        """Input delay of ports after an edge of the clock root pole `clock`."""
        self._session.set_io_delay(True, _names(ports), clock, edge, minimum, maximum)

    def set_output_delay(self, ports: Union[str, Iterable[str]], clock: str, minimum: int = 0,
                         maximum: int = 0, edge: str = "Rising") -> None:
        """Output delay of ports before an edge of the clock root pole `clock`."""
        self._session.set_io_delay(False, _names(ports), clock, edge, minimum, maximum)

    def add_false_path(self, sources: Iterable[str] = (), through: Iterable[str] = (),
                       targets: Iterable[str] = ()) -> None:
        """Declares the paths from sources through poles to targets false."""
        self._session.add_false_path(_names(sources), _names(through), _names(targets))

    def add_multicycle_path(self, cycles: int, sources: Iterable[str] = (),
                            through: Iterable[str] = (), targets: Iterable[str] = ()) -> None:
        """Gives the paths several clock cycles; a clock pin target stands for
        its register's capture point."""
        self._session.add_multicycle_path(cycles, _names(sources), _names(through),
                                          _names(targets))

    def add_max_delay_path(self, delay: int, sources: Iterable[str] = (),
                           through: Iterable[str] = (), targets: Iterable[str] = ()) -> None:
        """Bounds the paths' delay from above (picoseconds)."""
        self._session.add_delay_path(True, delay, _names(sources), _names(through),
                                     _names(targets))

    def add_min_delay_path(self, delay: int, sources: Iterable[str] = (),
                           through: Iterable[str] = (), targets: Iterable[str] = ()) -> None:
        """Bounds the paths' delay from below (picoseconds)."""
        self._session.add_delay_path(False, delay, _names(sources), _names(through),
                                     _names(targets))

    # ---- analysis and results
    def analyze(self, count: int = 50, limit: Optional[int] = None, margin: Optional[int] = None,
                setup: bool = True, hold: bool = True, tag_slacks: bool = False,
                weights: bool = False, conventions: str = "literal") -> Results:
        """Analyses every domain as the `morva` command line does.

        Args:
            count: routes kept per subdomain and kind (--count).
            limit: keep only routes whose slack is at most this (--limit).
            margin: keep only routes within this of their subdomain's worst
                slack (--margin).
            setup, hold: search the longest (setup) and the shortest (hold)
                routes (--setup-only, --hold-only, --no-routes).
            tag_slacks: tag every edge with its worst setup slack.
            weights: rank the edges by critical paths (needs tag_slacks).
            conventions: the rules of the analysis, "literal" (the
                library's own) or "sdc" (the readings of SDC constraints)
                (--conventions).

        Returns the results, also kept as `results`. The GIL is released
        while the analysis runs.
        """
        request = _morva.AnalysisRequest()
        request.count = count
        request.limit = limit
        request.margin = margin
        request.setup = setup
        request.hold = hold
        request.tag_slacks = tag_slacks
        request.weights = weights
        request.conventions = conventions
        self._results = Results(json.loads(self._session.analyze(request)))
        return self._results

    @property
    def results(self) -> Results:
        """The results of the last analysis."""
        if self._results is None:
            raise InvalidRequest("Nothing analysed yet", "python/morva", "results", 0)
        return self._results

    @property
    def domains(self) -> list:
        """The domains of the last analysis."""
        return self.results.domains

    def to_dict(self) -> dict:
        """The document `morva --json` writes for the last analysis."""
        return self.results.to_dict()

    def print_reports(self, compact: bool = False, detail: bool = False) -> None:
        """Writes the command line's domain and path reports to the output."""
        self._session.print_reports(compact, detail)

    def graph(self) -> Graph:
        """The timing graph as NumPy arrays (needs numpy)."""
        return Graph(self._session.graph(), self._session.has_slacks)
