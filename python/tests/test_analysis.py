"""The analysis from Python against the command line and hand-derived slacks."""

import gc
import gzip
import sys

import pytest

import morva
from conftest import EXAMPLES, run_tool, run_tool_console

ARCHIVES = ["pipeline.morva", "pipeline.morva.gz", "two_clocks.morva", "io_delays.morva",
            "exceptions.morva"]
# Keyword arguments of analyze and the command line options that mean the same.
SETTINGS = [
    ({}, []),
    ({"count": 2, "tag_slacks": True, "weights": True}, ["-n", "2", "--tag-slacks", "--weights"]),
    ({"hold": False, "limit": 600}, ["--setup-only", "--limit", "600"]),
    ({"setup": False, "margin": 40}, ["--hold-only", "--margin", "40"]),
    ({"setup": False, "hold": False}, ["--no-routes"]),
    ({"conventions": "sdc", "count": 3}, ["--conventions", "sdc", "-n", "3"]),
]


@pytest.mark.parametrize("archive", ARCHIVES)
@pytest.mark.parametrize("keywords,options", SETTINGS)
def test_document_equals_command_line(analyzer, archive, keywords, options):
    path = EXAMPLES / archive
    analyzer.load(path)
    expected = run_tool(*options, path)
    if isinstance(expected, str):
        # The command line failed: the same failure is raised.
        with pytest.raises(morva.Error) as caught:
            analyzer.analyze(**keywords)
        assert caught.value.message in expected
        return
    results = analyzer.analyze(**keywords)
    assert results.to_dict() == expected
    # The objects say what the document says.
    document = results.to_dict()
    assert [domain.name for domain in results.domains] == [d["name"] for d in document["domains"]]
    routes = [route for domain in results.domains for sub in domain.subdomains
              for route in sub.routes]
    expected = [(r["slack"], r["source"], r["target"]) for d in document["domains"]
                for s in d["subdomains"] for r in s["longestRoutes"] + s["shortestRoutes"]]
    assert [(r.slack, r.source, r.target) for r in routes] == expected


@pytest.mark.parametrize("compact,detail", [(True, False), (False, True)])
def test_reports_equal_command_line(compact, detail):
    path = EXAMPLES / "two_clocks.morva"
    lines = []
    with morva.Analyzer(output=lines.append, quiet=True) as analyzer:
        analyzer.load(path)
        analyzer.analyze(count=3)
        analyzer.print_reports(compact=compact, detail=detail)
    options = ["-n", "3"] + (["--compact"] if compact else []) + (["--detail"] if detail else [])
    assert "".join(lines) == run_tool_console(*options, path)


def test_several_archives_in_order(analyzer, tmp_path):
    # The poles in one archive, the edges and constraints that name them in
    # the next: only the order given works.
    lines = (EXAMPLES / "pipeline.morva").read_text().splitlines(keepends=True)
    poles = tmp_path / "poles.morva"
    rest = tmp_path / "rest.morva.gz"
    poles.write_text("".join(line for line in lines if line.startswith("POLE")))
    with gzip.open(rest, "wt") as compressed:
        compressed.write("".join(line for line in lines if not line.startswith("POLE")))
    analyzer.load(poles, str(rest))
    assert analyzer.analyze(count=5).to_dict() == run_tool("-n", "5", poles, rest)
    assert analyzer.results.violations == 1


def build_two_registers(analyzer):
    """clk drives ra/CK (20 ps) and rb/CK (50 ps); ra/Q reaches rb/D through
    100..300 ps, and a slow branch reaches rc/D, declared false."""
    analyzer.add_pole("clk", type="Primary")
    for register, clock_delay in (("ra", 20), ("rb", 50), ("rc", 20)):
        analyzer.add_pole(f"{register}/CK", mode="Rising")
        analyzer.add_pole(f"{register}/D")
        analyzer.add_pole(f"{register}/Q")
        analyzer.add_edge("clk", f"{register}/CK", "Interconnect", clock_delay, clock_delay)
        analyzer.add_edge(f"{register}/D", f"{register}/CK", "SetupHold", 15, 60)
        analyzer.add_edge(f"{register}/CK", f"{register}/Q", "IOPath", 90, 130)
    analyzer.add_edge("ra/Q", "rb/D", "Interconnect", 100, 300)
    analyzer.add_edge("ra/Q", "rc/D", "Interconnect", 2000, 3000)
    analyzer.create_clock("clk", "clk", 1000)
    analyzer.add_false_path(sources=["ra/CK"], targets=["rc/D"])


def test_design_built_by_calls(analyzer):
    build_two_registers(analyzer)
    results = analyzer.analyze(tag_slacks=True)
    [domain] = results.domains
    [sub] = domain.subdomains
    assert (domain.launch_clock, domain.latch_clock, domain.pure_clock) == ("clk", "clk", True)
    # Setup: data 130 + 300, skew 50 - 20, setup time 60: 1000 - (430 - 30 + 60).
    [setup] = sub.longest_routes
    assert (setup.source, setup.target, setup.slack) == ("ra/CK", "rb/D", 540)
    assert (setup.data_delay, setup.skew, setup.check) == (430, 30, 60)
    assert setup.poles == ["ra/CK", "ra/Q", "rb/D", "rb/CK"]
    # Hold: data 90 + 100, skew 30, hold time 15: (190 - 30 - 15) - 0.
    [hold] = sub.shortest_routes
    assert (hold.slack, hold.data_delay, hold.check) == (145, 190, 15)
    assert [edge.delay for edge in hold.edges] == [90, 100, 15]
    assert sub.setup.slack == 540 and sub.hold.slack == 145
    assert results.violations == 0


def test_graph_arrays(analyzer):
    numpy = pytest.importorskip("numpy")
    build_two_registers(analyzer)
    before = analyzer.graph()
    assert before.edge_slacks is None
    analyzer.analyze(tag_slacks=True)
    graph = analyzer.graph()
    # 10 main poles, then the dual poles of the three clock pins.
    assert graph.pole_count == 13 and graph.edge_count == 11
    assert graph.pole_types.count("Dual") == 3 and graph.pole_types[-1] == "Dual"
    for name in ("edge_sources", "edge_targets", "edge_minimum_delays", "edge_maximum_delays",
                 "edge_purposes", "edge_slacks", "edge_weights"):
        assert getattr(graph, name).shape == (11,), name
    names = graph.pole_names
    edges = {(names[s], names[t], graph.pole_types[t]): i
             for i, (s, t) in enumerate(zip(graph.edge_sources, graph.edge_targets))}
    check = edges[("rb/D", "rb/CK", "Dual")]
    assert morva.PURPOSES[graph.edge_purposes[check]] == "SetupHold"
    assert (graph.edge_minimum_delays[check], graph.edge_maximum_delays[check]) == (15, 60)
    wire = edges[("ra/Q", "rb/D", "None")]
    assert (graph.edge_minimum_delays[wire], graph.edge_maximum_delays[wire]) == (100, 300)
    # The edges of the worst setup path carry its slack.
    assert graph.edge_slacks[wire] == 540 and graph.edge_slacks[check] == 540
    assert graph.edge_index().shape == (2, 11)
    assert graph.edge_slacks.dtype == numpy.int32


def test_repeated_analyses_keep_no_references(lines):
    callback = lines.append
    path = EXAMPLES / "two_clocks.morva"
    references = (sys.getrefcount(callback), sys.getrefcount(path))

    def cycle():
        with morva.Analyzer(output=callback) as analyzer:
            analyzer.load(path)
            for count in (1, 5):
                analyzer.analyze(count=count, tag_slacks=True)
                analyzer.graph()

    cycle()
    gc.collect()
    objects = len(gc.get_objects())
    for _ in range(5):
        cycle()
    gc.collect()
    assert (sys.getrefcount(callback), sys.getrefcount(path)) == references
    assert len(gc.get_objects()) <= objects + 10
