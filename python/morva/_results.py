"""The results of one analysis as plain objects.

They are read from the analysis document (the one `morva --json` writes), so
that they stay valid after the analyzer is closed or analyses again. Delays
are integers in picoseconds, or the strings "undefined", "minimum" and
"maximum" for the library's delay codes.
"""

from __future__ import annotations

import copy
from dataclasses import dataclass
from typing import Any, List, Optional, Union

Delay = Union[int, str, None]


@dataclass(frozen=True)
class RouteEdge:
    """One edge of a route, with the delay the route takes through it."""

    source: str
    target: str
    purpose: str
    minimum: Delay
    maximum: Delay
    delay: Delay
    slack: Delay = None
    weight: Optional[int] = None

    @classmethod
    def _read(cls, item: dict) -> "RouteEdge":
        return cls(item["source"], item["target"], item["purpose"], item["minimum"],
                   item["maximum"], item["delay"], item.get("slack"), item.get("weight"))


@dataclass(frozen=True)
class Route:
    """A reported path: a longest (setup) or shortest (hold) route."""

    longest: bool
    source: str
    target: str
    slack: Delay
    adjusted_delay: Delay
    data_delay: Delay
    skew: Delay
    launch_clock_delay: Delay
    latch_clock_delay: Delay
    check: Delay
    depth: int
    note: str
    edges: List[RouteEdge]

    @property
    def poles(self) -> List[str]:
        """The names of the route's poles in order, from source to target."""
        if not self.edges:
            return []
        return [self.edges[0].source] + [edge.target for edge in self.edges]

    @classmethod
    def _read(cls, item: dict, longest: bool) -> "Route":
        return cls(longest, item["source"], item["target"], item["slack"],
                   item["adjustedDelay"], item["dataDelay"], item["skew"],
                   item["launchClockDelay"], item["latchClockDelay"], item["check"],
                   item["depth"], item["note"], [RouteEdge._read(edge) for edge in item["edges"]])


@dataclass(frozen=True)
class Check:
    """The setup or hold summary of a subdomain."""

    slack: Delay
    arrival_time: Delay
    relationship: Delay

    @classmethod
    def _read(cls, item: dict) -> "Check":
        return cls(item.get("slack"), item["arrivalTime"], item["relationship"])


@dataclass(frozen=True)
class Subdomain:
    """One launch and latch clock edge pair of a domain, with its routes."""

    name: str
    source: str
    target: str
    launch_edge: str
    latch_edge: str
    required_frequency: Optional[int]
    maximum_frequency: Optional[int]
    setup: Check
    hold: Check
    longest_routes: List[Route]
    shortest_routes: List[Route]

    @property
    def routes(self) -> List[Route]:
        """The longest routes, then the shortest ones."""
        return self.longest_routes + self.shortest_routes

    @classmethod
    def _read(cls, item: dict) -> "Subdomain":
        return cls(item["name"], item["source"], item["target"], item["launchEdge"],
                   item["latchEdge"], item["requiredFrequency"], item["maximumFrequency"],
                   Check._read(item["setup"]), Check._read(item["hold"]),
                   [Route._read(route, True) for route in item["longestRoutes"]],
                   [Route._read(route, False) for route in item["shortestRoutes"]])


@dataclass(frozen=True)
class Domain:
    """The paths from one launching clock root to one capturing clock root."""

    name: str
    launch_clock: Optional[str]
    latch_clock: Optional[str]
    pure_clock: bool
    asynchronous: bool
    subdomains: List[Subdomain]

    @classmethod
    def _read(cls, item: dict) -> "Domain":
        return cls(item["name"], item["launchClock"], item["latchClock"], item["pureClock"],
                   item["asynchronous"], [Subdomain._read(sub) for sub in item["subdomains"]])


class Results:
    """The results of one analysis."""

    def __init__(self, document: dict):
        self._document = document
        self.domains: List[Domain] = [Domain._read(item) for item in document["domains"]]
        self.violations: int = document["violations"]

    def to_dict(self) -> dict:
        """The document `morva --json` writes for the same run (a copy)."""
        return copy.deepcopy(self._document)

    def routes(self) -> List[Route]:
        """Every reported route of every subdomain, worst slack first."""
        routes = [route for domain in self.domains for sub in domain.subdomains
                  for route in sub.routes]
        return sorted(routes, key=_slack_key)

    def __repr__(self) -> str:
        return f"<morva.Results: {len(self.domains)} domains, {self.violations} violations>"


def _slack_key(route: Route) -> Any:
    # Codes sort as the library orders them: undefined < minimum < times < maximum.
    order = {"undefined": -2**31, "minimum": -2**31 + 1, "maximum": 2**31 - 1}
    slack = route.slack
    return order.get(slack, 2**31 - 1) if isinstance(slack, str) or slack is None else slack
