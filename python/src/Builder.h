#pragma once

#include <string>
#include <vector>

namespace MorvaPython {

using Names = std::vector<std::string>;

// Builds a design into the one analyzer by calls, with the meanings of the
// archive's records: poles and edges are named, a clock pole gets its dual
// pole, timing checks end at dual poles, and the targets of timed exceptions
// that are clock poles stand for their dual poles. Unlike the archive, every
// unknown name or code is refused (morva.InvalidRequest).
class Builder {
 public:
  static void addPole(const std::string& name, const std::string& mode, const std::string& type,
                      const std::string& reportName);
  static void addEdge(const std::string& source, const std::string& target,
                      const std::string& purpose, long long minimum, long long maximum);
  static void createClock(const std::string& root, const std::string& name, long long period,
                          long long rising, long long falling);
  static void createClockGroups(const Names& first, const Names& second, bool exclusive);
  static void setIODelay(bool input, const Names& ports, const std::string& clock,
                         const std::string& edge, long long minimum, long long maximum);
  static void addFalsePath(const Names& sources, const Names& bridges, const Names& targets);
  static void addMulticyclePath(long long cycles, const Names& sources, const Names& bridges,
                                const Names& targets);
  static void addDelayPath(bool maximum, long long delay, const Names& sources,
                           const Names& bridges, const Names& targets);
};

}  // namespace MorvaPython
