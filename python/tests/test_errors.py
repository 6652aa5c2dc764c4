"""Failures become morva exceptions and leave the interpreter running."""

import threading
import time

import pytest

import morva
from conftest import EXAMPLES


def test_failures_map_to_the_host_kinds(analyzer, tmp_path):
    cases = [
        (lambda: analyzer.load(tmp_path / "missing.morva"), morva.LoadFailed,
         "Invalid archive", "lib/Morva/Archive", "load"),
        (lambda: analyzer.add_pole("a") or analyzer.add_pole("a"), morva.FactoryFailed,
         None, "lib/Morva/Pole", None),
        (lambda: analyzer.add_edge("a", "nowhere"), morva.InvalidRequest,
         "Unknown pole nowhere", "python/morva", "add_edge"),
        (lambda: analyzer.add_pole("b", mode="Sideways"), morva.InvalidRequest,
         "Invalid mode Sideways", "python/morva", "add_pole"),
        (lambda: analyzer.create_clock("a", "c", 2**40), morva.InvalidRequest,
         None, "python/morva", "create_clock"),
        (lambda: analyzer.analyze(count=0), morva.InvalidRequest,
         "Invalid count 0", "python/morva", "analyze"),
        (lambda: analyzer.analyze(weights=True), morva.InvalidRequest,
         "Weights need tagged slacks", "python/morva", "analyze"),
        (lambda: analyzer.results, morva.InvalidRequest, "Nothing analysed yet", None, None),
    ]
    for call, kind, message, source, operation in cases:
        with pytest.raises(kind) as caught:
            call()
        error = caught.value
        assert isinstance(error, morva.Error)
        if message:
            assert error.message == message
        if source:
            assert error.source == source
        if operation:
            assert error.operation == operation
        if error.source.startswith("lib/"):
            assert error.line > 0
    assert issubclass(morva.InvalidRequest, morva.InternalError)
    assert not issubclass(morva.LoadFailed, morva.InternalError)


def test_one_analyzer_at_a_time(lines):
    first = morva.Analyzer(output=lines.append)
    with pytest.raises(morva.FactoryFailed, match="Another analyzer is open"):
        morva.Analyzer()
    first.close()
    assert first.closed
    with pytest.raises(morva.InvalidRequest, match="closed"):
        first.load(EXAMPLES / "pipeline.morva")
    with morva.Analyzer(output=lines.append) as second:
        second.load(EXAMPLES / "pipeline.morva")
        results = second.analyze()
    # Results outlive their analyzer.
    assert results.domains and morva.Analyzer(output=lines.append).close() is None


def test_console_output(analyzer, lines, capsys):
    analyzer.load(EXAMPLES / "pipeline.morva")
    assert any("Loading archive" in line for line in lines)
    assert all(line.endswith("\n") for line in lines)
    analyzer.close()
    with morva.Analyzer() as default:
        default.load(EXAMPLES / "pipeline.morva")
    assert "Loading archive" in capsys.readouterr().out


def test_failing_output_callables():
    written = []

    def broken(text):
        written.append(text)
        if len(written) == 1:
            raise ValueError("no room for " + text)

    with morva.Analyzer(output=broken) as analyzer:
        with pytest.raises(ValueError, match="no room for Loading archive"):
            analyzer.load(EXAMPLES / "pipeline.morva")
        # The load went on to its end; the text after the failure was dropped.
        assert written == [written[0]]
        assert analyzer.analyze(count=1).domains
        assert len(written) > 1

    analyzers = []

    def reenter(text):
        analyzers[0].analyze()

    with morva.Analyzer(output=reenter) as analyzer:
        analyzers.append(analyzer)
        with pytest.raises(morva.InvalidRequest, match="busy"):
            analyzer.load(EXAMPLES / "pipeline.morva")


def test_loading_releases_the_gil(tmp_path):
    archive = tmp_path / "wide.morva"
    archive.write_text("".join(f"POLE p{index} None None\n" for index in range(200000)))
    spans = []
    with morva.Analyzer(quiet=True) as analyzer:

        def load():
            start = time.perf_counter()
            analyzer.load(archive)
            spans.append(time.perf_counter() - start)

        loader = threading.Thread(target=load)
        gaps = []
        last = time.perf_counter()
        loader.start()
        while loader.is_alive():
            now = time.perf_counter()
            gaps.append(now - last)
            last = now
        loader.join()
    # This thread kept running while the other one loaded, without a pause
    # as long as the load.
    assert max(gaps) < spans[0] / 2
