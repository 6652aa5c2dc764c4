"""The timing graph as NumPy arrays, for learning and statistics."""

from __future__ import annotations

from typing import Any, Dict, List, Optional, Tuple

# Edge purposes by their code in `Graph.edge_purposes`.
PURPOSES: Tuple[str, ...] = ("IOPath", "SetupHold", "RecoveryRemoval", "Interconnect")

# The library's delay codes as they appear in the delay and slack arrays.
UNDEFINED = -2**31
MINIMUM = -2**31 + 1
MAXIMUM = 2**31 - 1


class Graph:
    """The poles and edges of the analyzer at the time it was read.

    Poles are numbered in the analyzer's order (main poles, then dual poles);
    a dual pole has the name of its clock pole and the type "Dual". Edges are
    listed source pole by source pole. Arrays:

    - edge_sources, edge_targets (int64): pole indices;
    - edge_minimum_delays, edge_maximum_delays (int32): picoseconds;
    - edge_purposes (int8): codes into `morva.PURPOSES`;
    - edge_slacks (int32): the worst setup slack of each edge, or None when
      the last analysis did not tag slacks (`tag_slacks=True`); UNDEFINED on
      an edge that no analysed path crosses;
    - edge_weights (uint64): critical path ranks, after `weights=True`.

    Delays and slacks keep the library's codes (UNDEFINED, MINIMUM, MAXIMUM).
    """

    def __init__(self, columns: Dict[str, Any], has_slacks: bool):
        import numpy

        def array(name: str, dtype: Any) -> Any:
            return numpy.frombuffer(columns[name], dtype=dtype).copy()

        self.pole_names: List[str] = columns["pole_names"]
        self.pole_types: List[str] = columns["pole_types"]
        self.pole_modes: List[str] = columns["pole_modes"]
        self.edge_sources = array("edge_sources", numpy.int64)
        self.edge_targets = array("edge_targets", numpy.int64)
        self.edge_minimum_delays = array("edge_minimum_delays", numpy.int32)
        self.edge_maximum_delays = array("edge_maximum_delays", numpy.int32)
        self.edge_purposes = array("edge_purposes", numpy.int8)
        self.edge_slacks: Optional[Any] = array("edge_slacks", numpy.int32) if has_slacks else None
        self.edge_weights = array("edge_weights", numpy.uint64)

    @property
    def pole_count(self) -> int:
        return len(self.pole_names)

    @property
    def edge_count(self) -> int:
        return len(self.edge_sources)

    def edge_index(self) -> Any:
        """The edges as a 2 x E array of (source, target) pole indices."""
        import numpy

        return numpy.stack([self.edge_sources, self.edge_targets])

    def __repr__(self) -> str:
        return f"<morva.Graph: {self.pole_count} poles, {self.edge_count} edges>"
