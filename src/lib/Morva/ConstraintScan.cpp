#include <Morva/ConstraintScan.h>
#include <Morva/LoopReport.h>
#include <Orvek/Debug.h>

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

void ConstraintScan::sensitize() {
  for (CPath* path : _analyzer.getCPaths()) {
    if (path->isInsulated()) {
      // Only false paths can be given by one group: their poles leave the
      // graph.
      if (dynamic_cast<FPath*>(path))
        for (Pole* pole : path->getPoles()) pole->insulate();
      continue;
    }
    clear();
    _found.clear();
    if (path->getBridgeSet().empty()) {
      walk(path->getTargetSet(), path->getSourceSet());
    } else {
      // Targets must reach bridges and bridges must reach sources.
      walk(path->getTargetSet(), path->getBridgeSet());
      if (_hit) {
        _analyzer.unmark();
        clear();
        walk(path->getBridgeSet(), path->getSourceSet());
      }
    }
    if (_hit) {
      path->validate();
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
  _analyzer.loopClose();
}

void ConstraintScan::walkFrom(Pole* root, const PoleSet& starts) {
  if (!enter(root, nullptr, starts)) return;
  while (!_stack.empty()) {
    Frame& frame = _stack.back();
    bool descended = false;
    while (frame.next != frame.end) {
      Edge* edge = *frame.next++;
      if (!edge->isActive()) continue;
      Pole* source = edge->getSource();
      if (_analyzer.isLooping(source)) {
        ++_loopCount;
        continue;
      }
      // `frame` is not used once a new frame is stacked.
      if (enter(source, edge, starts)) {
        descended = true;
        break;
      }
    }
    if (descended) continue;
    if (!frame.committed && frame.loops == _loopCount) _barren.insert(frame.pole);
    _stack.pop_back();
    _analyzer.loopPop();
  }
}

bool ConstraintScan::enter(Pole* pole, Edge* via, const PoleSet& starts) {
  if (pole->isMarked() && _known.count(pole)) {
    commit(pole, via);
    return false;
  }
  if (_barren.count(pole)) return false;
  pole->mark();
  _analyzer.loopPush(pole);
  if (starts.count(pole)) {
    // The walk does not go past a start.
    _hit = true;
    commit(pole, via);
    _analyzer.loopPop();
    return false;
  }
  const EdgeSet& edges = pole->getIncomingEdgeSet();
  _stack.push_back({pole, via, edges.begin(), edges.end(), _loopCount, false});
  return true;
}

void ConstraintScan::commit(Pole* pole, Edge* via) {
  _known.insert(pole);
  if (via) _found.insert(via);
  // Committed frames lie at the bottom of the stack: stop at the first.
  for (auto frame = _stack.rbegin(); frame != _stack.rend() && !frame->committed; ++frame) {
    _known.insert(frame->pole);
    if (frame->via) _found.insert(frame->via);
    frame->committed = true;
  }
}

}  // namespace Morva
