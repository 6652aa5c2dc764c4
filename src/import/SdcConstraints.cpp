#include "SdcConstraints.h"

#include <Morva/Analyzer.h>
#include <Morva/DPath.h>
#include <Morva/FPath.h>
#include <Morva/IOConstraint.h>
#include <Morva/MPath.h>
#include <Orvek/Exception.h>

#include <algorithm>

namespace MorvaImport {

namespace {
constexpr const char* kSource = "import/SdcConstraints";
}

void SdcConstraints::setDelay(bool input, Morva::Pole* port, const DelaySetting& setting,
                              const Message& place) {
  Delays& delays = input ? _inputs : _outputs;
  const auto [found, added] = delays.byPort.try_emplace(port);
  IODelay& entry = found->second;
  if (added) delays.order.push_back(port);
  const bool sameEdge = entry.root == setting.root && entry.falling == setting.falling;
  if (!added && setting.adding && !sameEdge) {
    warn({place.file, place.line,
          std::string(input ? "set_input_delay" : "set_output_delay") + " -add_delay on \"" +
              port->getName() + "\" not carried: a port keeps one delay, the one of " +
              entry.place.getPlace()});
    return;
  }
  if (!added && !sameEdge) entry = IODelay{};
  entry.root = setting.root;
  entry.falling = setting.falling;
  entry.place = place;
  const auto set = [&setting](std::optional<long long>& side, bool lower) {
    side = setting.adding && side
               ? (lower ? std::min(*side, setting.delay) : std::max(*side, setting.delay))
               : setting.delay;
  };
  if (setting.minimum) set(entry.minimum, true);
  if (setting.maximum) set(entry.maximum, false);
}

bool SdcConstraints::matchHold(long long count, const Exception& hold) {
  for (Exception& exception : _exceptions)
    if (exception.kind == PathKind::Multicycle && exception.value == count + 1 &&
        exception.from == hold.from && exception.through == hold.through &&
        exception.to == hold.to) {
      exception.holdMatched = true;
      return true;
    }
  return false;
}

void SdcConstraints::commit() const {
  commitDelays(_inputs, true);
  commitDelays(_outputs, false);
  for (const Exception& exception : _exceptions) commitException(exception);
}

void SdcConstraints::commitDelays(const Delays& delays, bool input) const {
  for (Morva::Pole* port : delays.order) {
    const IODelay& delay = delays.byPort.at(port);
    // A side never given takes the other's value.
    const long long minimum = delay.minimum.value_or(delay.maximum.value_or(0));
    const long long maximum = delay.maximum.value_or(minimum);
    const Morva::IOConstraint constraint(
        delay.root, Morva::Mode(delay.falling ? Morva::Mode::Falling : Morva::Mode::Rising),
        Morva::Delay(static_cast<int>(minimum)), Morva::Delay(static_cast<int>(maximum)));
    try {
      if (input)
        Morva::analyzer->setInputConstraint(port, constraint);
      else
        Morva::analyzer->setOutputConstraint(port, constraint);
    } catch (const Orvek::Exception& error) {
      fail(kSource, "commit", delay.place.file, delay.place.line,
           std::string(input ? "set_input_delay" : "set_output_delay") + " on \"" +
               port->getName() + "\": " + error.getMessage());
    }
  }
}

// Roles: 0 sources, 1 bridges, 2 targets. Timed exceptions end at a
// register's capture point (the dual pole of its clock pin); false paths
// at its data pins, which both rule sets match.
void SdcConstraints::addPoles(const SdcObject& object, Morva::PoleSet& poles, int role, bool timed,
                              const Exception& exception) const {
  const auto refuse = [&exception, &object](const std::string& why) {
    fail(kSource, "commit", exception.place.file, exception.place.line,
         exception.place.text + ": the " + getKindName(object.kind) + " \"" + object.name + "\" " +
             why);
  };
  const auto addRegister = [&poles, role, timed](Morva::Pole* clockPin) {
    if (role == 0) {
      poles.insert(clockPin);
    } else if (timed) {
      if (Morva::Pole* capture = clockPin->getDual()) poles.insert(capture);
    } else {
      for (Morva::Pole* data : SdcDesign::getDataPins(clockPin)) poles.insert(data);
    }
  };
  switch (object.kind) {
    case ObjectKind::Port:
      poles.insert(_design.getPole(object.name));
      break;
    case ObjectKind::Pin: {
      Morva::Pole* pole = _design.getPole(object.name);
      Morva::Pole* checking = role == 2 ? SdcDesign::getCheckingClock(pole) : nullptr;
      if (role == 2 && timed && checking)
        addRegister(checking);
      else if (role == 2 && pole->isClock())
        addRegister(pole);
      else
        poles.insert(pole);
      break;
    }
    case ObjectKind::Cell: {
      if (role == 1) {
        for (Morva::Pole* pin : _design.getCellOutputs(object.name)) poles.insert(pin);
        break;
      }
      bool found = false;
      for (Morva::Pole* pin : _design.getCellPins(object.name))
        if (pin->isClock()) {
          addRegister(pin);
          found = true;
        }
      if (!found)
        refuse(role == 0 ? "has no clock pin to start from" : "has no timing check to end at");
      break;
    }
    case ObjectKind::Net:
      if (role != 1) refuse("is only understood with -through");
      for (Morva::Pole* pole : _design.getNetPoles(object.name)) poles.insert(pole);
      break;
    case ObjectKind::Clock: {
      if (role == 1) refuse("cannot be passed through");
      const Delays& delays = role == 0 ? _inputs : _outputs;
      for (Morva::Pole* root : _design.getClockRoots(object.name)) {
        for (Morva::Pole* clockPin : _design.getClockPins(root)) addRegister(clockPin);
        for (const auto& [port, delay] : delays.byPort)
          if (delay.root == root) poles.insert(port);
      }
      break;
    }
  }
}

void SdcConstraints::commitException(const Exception& exception) const {
  if (exception.kind == PathKind::Multicycle && !exception.holdMatched)
    warn(Message{exception.place.file, exception.place.line,
                 "set_multicycle_path " + std::to_string(exception.value) +
                     ": hold checks stay at the single-cycle edge, as if -hold " +
                     std::to_string(exception.value - 1) + " were given"});
  const bool timed = exception.kind != PathKind::False;
  Morva::PoleSet sources;
  Morva::PoleSet bridges;
  Morva::PoleSet targets;
  for (const SdcObject& object : exception.from) addPoles(object, sources, 0, timed, exception);
  for (const SdcObject& object : exception.through) addPoles(object, bridges, 1, timed, exception);
  for (const SdcObject& object : exception.to) addPoles(object, targets, 2, timed, exception);
  if (sources.empty() && bridges.empty() && targets.empty()) {
    warn(Message{exception.place.file, exception.place.line,
                 exception.place.text + ": names no path start or end; skipped"});
    return;
  }
  const Orvek::SetCollection<Morva::Pole*, Morva::Object::StampLess> from(sources),
      through(bridges), to(targets);
  try {
    switch (exception.kind) {
      case PathKind::False:
        Morva::FPath::create(from, through, to);
        break;
      case PathKind::Multicycle:
        Morva::MPath::create(from, through, to, static_cast<unsigned long>(exception.value));
        break;
      case PathKind::Maximum:
        Morva::DPath::createMaximum(from, through, to,
                                    Morva::Delay(static_cast<int>(exception.value)));
        break;
      case PathKind::Minimum:
        Morva::DPath::createMinimum(from, through, to,
                                    Morva::Delay(static_cast<int>(exception.value)));
        break;
    }
  } catch (const Orvek::Exception& error) {
    fail(kSource, "commit", exception.place.file, exception.place.line,
         exception.place.text + ": " + error.getMessage());
  }
}

}  // namespace MorvaImport
