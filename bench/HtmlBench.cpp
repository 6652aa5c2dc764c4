// The HTML writer's speed in bytes of page per second, on a document shaped
// like the one of a generated design of 10^5 edges (9 subdomains in 4
// domains, 50 setup and 50 hold paths each, 20 edges per path), written
// into a stream that counts and discards.

#include "../src/tools/HtmlWriter.h"

#include <benchmark/benchmark.h>

#include <nlohmann/json.hpp>

#include <ostream>
#include <streambuf>
#include <string>

namespace {

using json = nlohmann::ordered_json;

class CountingBuffer : public std::streambuf {
 public:
  std::size_t getCount() const { return _count; }

 protected:
  std::streamsize xsputn(const char*, std::streamsize count) override {
    _count += static_cast<std::size_t>(count);
    return count;
  }
  int_type overflow(int_type character) override {
    ++_count;
    return character;
  }

 private:
  std::size_t _count = 0;
};

json getRoutes(int subdomain, int kind) {
  json routes = json::array();
  for (int rank = 0; rank < 50; ++rank) {
    json edges = json::array();
    for (int step = 0; step < 20; ++step)
      edges.push_back({{"source", "g" + std::to_string(step) + "_" + std::to_string(rank) + "/A"},
                       {"target", "g" + std::to_string(step) + "_" + std::to_string(rank) + "/Y"},
                       {"purpose", step % 2 ? "IOPath" : "Interconnect"},
                       {"delay", 20 + (step * 37 + rank) % 90}});
    routes.push_back({{"source", "r" + std::to_string(rank) + "/CK"},
                      {"target", "c" + std::to_string(rank) + "/D"},
                      {"slack", (rank * 97 + subdomain * 31 + kind * 500) % 3000 - 400},
                      {"dataDelay", 1500 + rank},
                      {"skew", 12},
                      {"check", 40},
                      {"depth", 10},
                      {"note", ""},
                      {"edges", edges}});
  }
  return routes;
}

json getDocument() {
  json domains = json::array();
  int subdomain = 0;
  for (int domain = 0; domain < 4; ++domain) {
    json subdomains = json::array();
    for (int part = 0; part < (domain == 0 ? 3 : 2); ++part, ++subdomain)
      subdomains.push_back(
          {{"name", "clk" + std::to_string(domain) + ":Rising to clk:Rising"},
           {"source", "clk (Rising)"},
           {"target", "clk (Rising)"},
           {"requiredFrequency", 499999999},
           {"maximumFrequency", 520000000},
           {"hold", {{"slack", 20}, {"arrivalTime", 20}, {"relationship", 0}}},
           {"setup", {{"slack", -120}, {"arrivalTime", 2120}, {"relationship", 2000}}},
           {"longestRoutes", getRoutes(subdomain, 0)},
           {"shortestRoutes", getRoutes(subdomain, 1)}});
    domains.push_back({{"name", "clk" + std::to_string(domain) + " to clk"},
                       {"launchClock", "clk" + std::to_string(domain)},
                       {"latchClock", "clk"},
                       {"subdomains", subdomains}});
  }
  return {{"archives", {"design.morva"}},
          {"tool", "morva"},
          {"settings", {{"longest", true}, {"shortest", true}, {"count", 50}}},
          {"violations", 0},
          {"domains", domains}};
}

void writePage(benchmark::State& state) {
  const json document = getDocument();
  std::size_t bytes = 0;
  for (auto _ : state) {
    CountingBuffer buffer;
    std::ostream out(&buffer);
    MorvaTool::writeHtml(document, out);
    bytes += buffer.getCount();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes));
  state.counters["page_bytes"] =
      static_cast<double>(bytes) / static_cast<double>(state.iterations());
}

BENCHMARK(writePage)->Unit(benchmark::kMillisecond);

}  // namespace
