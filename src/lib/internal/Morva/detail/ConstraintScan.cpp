#include <Morva/detail/ConstraintScan.h>
#include <Morva/detail/LoopReport.h>
#include <Orvek/Debug.h>

#include <cassert>

namespace Morva {

void ConstraintScan::number() {
  Mask::reset(_analyzer.getCPathCount());
  unsigned long number = 0;
  auto give = [&number](CPath* path) {
    const Mask mask = Mask::getBasic(++number);
    path->setMask(mask);
    return mask;
  };
  for (FPath* path : _analyzer.getFalsePaths())
    _analyzer.setFalsePathMask(_analyzer.getFalsePathMask() | give(path));
  for (DPath* path : _analyzer.getMaxdelayPaths())
    _analyzer.setMaxdelayPathMask(_analyzer.getMaxdelayPathMask() | give(path));
  for (DPath* path : _analyzer.getMindelayPaths())
    _analyzer.setMindelayPathMask(_analyzer.getMindelayPathMask() | give(path));
  for (MPath* path : _analyzer.getMulticyclePaths())
    _analyzer.setMulticyclePathMask(_analyzer.getMulticyclePathMask() | give(path));
}

namespace {

void disactivate(const EdgeSet& edges) {
  for (Edge* edge : edges) edge->disactivate();
}

bool isCheck(const Edge* edge) {
  const Purpose::Code purpose = edge->getPurpose().getCode();
  return purpose == Purpose::SetupHold || purpose == Purpose::RecoveryRemoval;
}

// Under SDC conventions a false path given by one group cuts only the
// paths it names: those that start at a start point given `-from` (a
// register's clock pin, an input port), those through a pole given
// `-through`, those that end at a pole given `-to` (an output port, a data
// pin's timing checks, or all the checks of a register given by its clock
// pin).
void cutOnly(const CPath& path) {
  for (Pole* source : path.getSourceSet())
    if (source->isClock() || source->isInput()) disactivate(source->getOutgoingEdgeSet());
  for (Pole* bridge : path.getBridgeSet()) disactivate(bridge->getOutgoingEdgeSet());
  for (Pole* target : path.getTargetSet()) {
    Pole* capture = target->isClock() ? target->getDual() : target;
    if (!capture) continue;
    if (capture->isDual() || capture->isOutput()) {
      disactivate(capture->getIncomingEdgeSet());
      continue;
    }
    for (Edge* edge : capture->getOutgoingEdgeSet())
      if (isCheck(edge)) edge->disactivate();
  }
}

}  // namespace

PoleSet ConstraintScan::getTargets(const CPath& path) const {
  // Under SDC conventions a false path `-to` a register's clock pin ends
  // where that register captures, as timed exceptions always do.
  if (!_analyzer.isSdc() || path.getKind() != CPath::Kind::False) return path.getTargetSet();
  PoleSet targets;
  for (Pole* target : path.getTargetSet()) {
    Pole* dual = target->isClock() ? target->getDual() : nullptr;
    targets.insert(dual ? dual : target);
  }
  return targets;
}

void ConstraintScan::sensitize() {
  for (CPath* path : _analyzer.getCPaths()) {
    if (path->isInsulated()) {
      // Only false paths can be given by one group: their poles leave the
      // graph, or under SDC conventions only the paths they name.
      const bool falsePath = path->getKind() == CPath::Kind::False;
      if (falsePath && _analyzer.isSdc())
        cutOnly(*path);
      else if (falsePath)
        for (Pole* pole : path->getPoles()) pole->insulate();
      continue;
    }
    clear();
    _found.clear();
    const PoleSet targets = getTargets(*path);
    if (path->getBridgeSet().empty()) {
      walk(targets, path->getSourceSet());
    } else {
      // Targets must reach bridges and bridges must reach sources.
      walk(targets, path->getBridgeSet());
      if (_hit) {
        _analyzer.unmark();
        clear();
        walk(path->getBridgeSet(), path->getSourceSet());
      }
    }
    if (_hit) {
      if (targets == path->getTargetSet()) {
        path->validate();
      } else {
        for (Pole* source : path->getSourceSet()) source->combineOpening(path->getMask());
        for (Pole* target : targets) target->combineClosing(path->getMask());
      }
      for (Edge* edge : _found) edge->sensitize(path->getMask());
    }
    _analyzer.unmark();
  }
  // Loops met here are reported while debugging only.
  if (Orvek::isDebug()) LoopReport::print(_loopCount, "false paths analysis");
}

void ConstraintScan::clear() {
  _known.clear();
  _barren.clear();
  _hit = false;
}

void ConstraintScan::walk(const PoleSet& roots, const PoleSet& starts) {
  _analyzer.loopOpen();
  for (Pole* root : roots) walkFrom(root, starts);
  assert(isLoopStackEmpty(_analyzer));
  _analyzer.loopClose();
}

void ConstraintScan::walkFrom(Pole* root, const PoleSet& starts) {
  DepthFirst<ConstraintScan> walk(*this);
  _walk = &walk;
  _starts = &starts;
  walk.run(root);
  _walk = nullptr;
}

void ConstraintScan::leave(Pole* pole, FrameData& data) {
  if (!data.committed && data.loops == _loopCount) _barren.insert(pole);
  _analyzer.loopPop();
}

bool ConstraintScan::enter(Pole* pole, Edge* via, FrameData& data) {
  if (pole->isMarked() && _known.count(pole)) {
    commit(pole, via);
    return false;
  }
  if (_barren.count(pole)) return false;
  pole->mark();
  _analyzer.loopPush(pole);
  if (_starts->count(pole)) {
    // The walk does not go past a start.
    _hit = true;
    commit(pole, via);
    _analyzer.loopPop();
    return false;
  }
  data = FrameData{_loopCount, false};
  return true;
}

void ConstraintScan::commit(Pole* pole, Edge* via) {
  _known.insert(pole);
  if (via) _found.insert(via);
  // Committed frames lie at the bottom of the stack: stop at the first.
  auto& stack = _walk->getStack();
  for (auto frame = stack.rbegin(); frame != stack.rend() && !frame->data.committed; ++frame) {
    _known.insert(frame->pole);
    if (frame->via) _found.insert(frame->via);
    frame->data.committed = true;
  }
}

}  // namespace Morva
