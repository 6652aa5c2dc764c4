// _morva: the compiled part of the morva package. The package's Python
// modules give it its interface (morva.Analyzer and the result classes);
// this module holds the analyzer session, the building calls and the graph
// columns.

#include "Builder.h"
#include "Errors.h"
#include "GraphArrays.h"
#include "Session.h"

#include <pybind11/stl.h>

namespace py = pybind11;
using MorvaPython::Builder;
using MorvaPython::GraphArrays;
using MorvaPython::Names;
using MorvaPython::Session;

namespace {

// A column as bytes in native order, for numpy.frombuffer.
template <class T>
py::bytes getBytes(const std::vector<T>& column) {
  return py::bytes(reinterpret_cast<const char*>(column.data()), column.size() * sizeof(T));
}

py::dict getGraph(Session& session) {
  const GraphArrays graph = session.readGraph();
  py::dict columns;
  columns["pole_names"] = graph.poleNames;
  columns["pole_types"] = graph.poleTypes;
  columns["pole_modes"] = graph.poleModes;
  columns["edge_sources"] = getBytes(graph.sources);
  columns["edge_targets"] = getBytes(graph.targets);
  columns["edge_minimum_delays"] = getBytes(graph.minimumDelays);
  columns["edge_maximum_delays"] = getBytes(graph.maximumDelays);
  columns["edge_purposes"] = getBytes(graph.purposes);
  columns["edge_slacks"] = getBytes(graph.slacks);
  columns["edge_weights"] = getBytes(graph.weights);
  return columns;
}

}  // namespace

PYBIND11_MODULE(_morva, module) {
  module.doc() = "The compiled part of the morva package; use the morva package itself.";
  module.attr("VERSION") = MORVA_VERSION;
  MorvaPython::registerErrors(module);

  py::class_<MorvaPython::AnalysisRequest>(module, "AnalysisRequest")
      .def(py::init<>())
      .def_readwrite("count", &MorvaPython::AnalysisRequest::count)
      .def_readwrite("limit", &MorvaPython::AnalysisRequest::limit)
      .def_readwrite("margin", &MorvaPython::AnalysisRequest::margin)
      .def_readwrite("setup", &MorvaPython::AnalysisRequest::setup)
      .def_readwrite("hold", &MorvaPython::AnalysisRequest::hold)
      .def_readwrite("tag_slacks", &MorvaPython::AnalysisRequest::tagSlacks)
      .def_readwrite("weights", &MorvaPython::AnalysisRequest::weights)
      .def_readwrite("conventions", &MorvaPython::AnalysisRequest::conventions);

  py::class_<Session>(module, "Session")
      .def(py::init<py::object, bool>(), py::arg("output"), py::arg("quiet"))
      .def("close", &Session::close)
      .def_property_readonly("is_open", &Session::isOpen)
      .def_property_readonly("is_analysed", &Session::isAnalysed)
      .def_property_readonly("has_slacks", &Session::hasSlacks)
      .def("load", &Session::load)
      .def("analyze", &Session::analyze)
      .def("print_reports", &Session::printReports)
      .def("graph", &getGraph)
      .def("add_pole",
           [](Session& session, const std::string& name, const std::string& mode,
              const std::string& type, const std::string& reportName) {
             session.build("add_pole", [&] { Builder::addPole(name, mode, type, reportName); });
           })
      .def("add_edge",
           [](Session& session, const std::string& source, const std::string& target,
              const std::string& purpose, long long minimum, long long maximum) {
             session.build("add_edge",
                           [&] { Builder::addEdge(source, target, purpose, minimum, maximum); });
           })
      .def("create_clock",
           [](Session& session, const std::string& root, const std::string& name, long long period,
              long long rising, long long falling) {
             session.build("create_clock",
                           [&] { Builder::createClock(root, name, period, rising, falling); });
           })
      .def("create_clock_groups",
           [](Session& session, const Names& first, const Names& second, bool exclusive) {
             session.build("create_clock_groups",
                           [&] { Builder::createClockGroups(first, second, exclusive); });
           })
      .def("set_io_delay",
           [](Session& session, bool input, const Names& ports, const std::string& clock,
              const std::string& edge, long long minimum, long long maximum) {
             session.build(input ? "set_input_delay" : "set_output_delay", [&] {
               Builder::setIODelay(input, ports, clock, edge, minimum, maximum);
             });
           })
      .def("add_false_path",
           [](Session& session, const Names& sources, const Names& bridges, const Names& targets) {
             session.build("add_false_path",
                           [&] { Builder::addFalsePath(sources, bridges, targets); });
           })
      .def("add_multicycle_path",
           [](Session& session, long long cycles, const Names& sources, const Names& bridges,
              const Names& targets) {
             session.build("add_multicycle_path",
                           [&] { Builder::addMulticyclePath(cycles, sources, bridges, targets); });
           })
      .def("add_delay_path", [](Session& session, bool maximum, long long delay,
                                const Names& sources, const Names& bridges, const Names& targets) {
        session.build(maximum ? "add_max_delay_path" : "add_min_delay_path",
                      [&] { Builder::addDelayPath(maximum, delay, sources, bridges, targets); });
      });
}
