#pragma once

#include "Message.h"
#include "SdcDesign.h"

#include <Morva/Collections.h>

#include <map>
#include <optional>
#include <vector>

namespace MorvaImport {

// The input and output delays and path exceptions an SDC reading gathers,
// kept until the whole script is read (a clock in an exception stands for
// the ports whose delays refer to it, wherever those are set), then created
// in the analyzer.
class SdcConstraints {
 public:
  enum class PathKind { False, Multicycle, Maximum, Minimum };
  struct Exception {
    PathKind kind = PathKind::False;
    long long value = 0;  // the cycle count or the delay
    // Of a multicycle path: a -hold of one cycle less was given with it.
    bool holdMatched = false;
    std::vector<SdcObject> from;
    std::vector<SdcObject> through;
    std::vector<SdcObject> to;
    Message place;  // its text names the command
  };
  struct DelaySetting {
    Morva::Pole* root = nullptr;
    bool falling = false;
    long long delay = 0;
    bool minimum = true;  // sets the minimum side
    bool maximum = true;  // sets the maximum side
    bool adding = false;  // -add_delay
  };

  explicit SdcConstraints(const SdcDesign& design) : _design(design) {}

  // The model holds one delay per port and direction, with one clock edge:
  // sides given again replace the earlier ones; -add_delay on the same clock
  // edge keeps the worst of both, on another one it is not carried (warned
  // at `place`).
  void setDelay(bool input, Morva::Pole* port, const DelaySetting& setting, const Message& place);
  void addException(Exception exception) { _exceptions.push_back(std::move(exception)); }
  // Notes a -hold of `count` cycles on the multicycle path of count + 1
  // cycles with the same objects; false when there is none.
  bool matchHold(long long count, const Exception& hold);
  // Creates the delays, then the exceptions; raises a read error at the
  // command's place for what the analyzer refuses.
  void commit() const;

 private:
  struct IODelay {
    Morva::Pole* root = nullptr;
    bool falling = false;
    std::optional<long long> minimum;
    std::optional<long long> maximum;
    Message place;
  };
  struct Delays {
    std::map<Morva::Pole*, IODelay> byPort;
    std::vector<Morva::Pole*> order;
  };

  void commitDelays(const Delays& delays, bool input) const;
  void commitException(const Exception& exception) const;
  // Roles: 0 sources, 1 bridges, 2 targets.
  void addPoles(const SdcObject& object, Morva::PoleSet& poles, int role, bool timed,
                const Exception& exception) const;

  const SdcDesign& _design;
  Delays _inputs;
  Delays _outputs;
  std::vector<Exception> _exceptions;
};

}  // namespace MorvaImport
