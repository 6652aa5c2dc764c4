#!/usr/bin/env python3
"""Loads archives, analyses them, prints the worst paths and the edge slacks.

    PYTHONPATH=build/python python3 examples/python/slack_report.py \\
        examples/two_clocks.morva [--count N] [--histogram slacks.png]

Prints the worst setup and hold paths of the whole design, one line each
(slack in ps, kind, domain, source -> target), then a summary line and a
text histogram of the edge slacks (every edge that an analysed setup path
crosses). With --histogram and matplotlib installed, the histogram is also
drawn into a picture.
"""

import argparse
import sys

import morva


def worst_paths(results, count):
    """(slack, kind, domain, route) of the reported paths, worst first."""
    paths = []
    for domain in results.domains:
        for subdomain in domain.subdomains:
            for route in subdomain.routes:
                if isinstance(route.slack, int):
                    kind = "setup" if route.longest else "hold"
                    paths.append((route.slack, kind, domain.name, route))
    paths.sort(key=lambda path: path[0])
    return paths[:count]


def text_histogram(values, bins=8):
    """Lines "low..high count bar" over equal bins of the values."""
    low, high = min(values), max(values)
    width = max(1, -(-(high - low + 1) // bins))
    counts = [0] * bins
    for value in values:
        counts[(value - low) // width] += 1
    largest = max(counts)
    return [f"  {low + index * width:>8}..{low + (index + 1) * width - 1:<8} {count:>6} "
            + "#" * (40 * count // largest)
            for index, count in enumerate(counts) if count]


def draw_histogram(values, file_name):
    try:
        import matplotlib
    except ImportError:
        print("matplotlib is not installed: no picture drawn")
        return
    matplotlib.use("Agg")
    from matplotlib import pyplot
    pyplot.hist(values, bins=30)
    pyplot.xlabel("edge slack (ps)")
    pyplot.ylabel("edges")
    pyplot.savefig(file_name)
    print(f"Histogram drawn into {file_name}")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("archives", nargs="+")
    parser.add_argument("--count", type=int, default=10, help="worst paths printed")
    parser.add_argument("--histogram", help="picture file for the edge slack histogram")
    arguments = parser.parse_args()

    with morva.Analyzer(quiet=True, output=lambda text: None) as analyzer:
        analyzer.load(*arguments.archives)
        results = analyzer.analyze(count=arguments.count, tag_slacks=True)
        graph = analyzer.graph()

    print(f"Worst {arguments.count} paths:")
    for slack, kind, domain, route in worst_paths(results, arguments.count):
        print(f"  {slack:>8} ps  {kind:<5}  {domain}  {route.source} -> {route.target}")
    paths = sum(len(sub.routes) for domain in results.domains for sub in domain.subdomains)
    print(f"{len(results.domains)} domains, {paths} paths, {results.violations} violations")

    slacks = [int(slack) for slack in graph.edge_slacks if slack != morva.UNDEFINED]
    print(f"Edge slacks: {len(slacks)} of {graph.edge_count} edges on analysed setup paths")
    if slacks:
        print("\n".join(text_histogram(slacks)))
        if arguments.histogram:
            draw_histogram(slacks, arguments.histogram)
    return 0


if __name__ == "__main__":
    sys.exit(main())
