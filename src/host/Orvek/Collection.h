#pragma once

#include <Orvek/Holder.h>
#include <Orvek/Label.h>
#include <Orvek/Record.h>
#include <Orvek/Stuff.h>
#include <Orvek/Text.h>

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <list>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace Orvek {

template <class T>
class Collection;

// The walking side of a locator: it stands on an element or is invalid.
template <class T>
class LocatorDriver {
 public:
  virtual ~LocatorDriver() = default;
  virtual LocatorDriver* getClone(void* place, std::size_t size) const = 0;
  virtual T getCurrent() const = 0;
  virtual std::string _getLabel() const { return "Locator"; }
  virtual bool isValid() const = 0;
  virtual void progress() = 0;
};

inline constexpr std::size_t kLocatorSize = 64;
inline constexpr std::size_t kCollectionSize = 48;

// A walk over a collection: getCurrent() is the element it stands on (a
// null or default value once invalid), progress() moves to the next one.
template <class T>
class Locator : public Stuff {
 public:
  Locator() = default;
  template <class Driver, class... Arguments>
  static Locator make(Arguments&&... arguments) {
    Locator locator;
    locator._driver.template emplace<Driver>(std::forward<Arguments>(arguments)...);
    return locator;
  }

  bool isValid() const { return _driver.get() && _driver.get()->isValid(); }
  T getCurrent() const { return isValid() ? _driver.get()->getCurrent() : T{}; }
  void progress() {
    if (isValid()) _driver.get()->progress();
  }
  Locator getClone() const { return *this; }
  bool isInline() const { return !_driver.get() || _driver.isInline(); }
  std::string _getLabel() const override {
    return _driver.get() ? _driver.get()->_getLabel() : "Locator";
  }

 private:
  Holder<LocatorDriver<T>, kLocatorSize> _driver;
};

// The viewed side of a collection. The default operations walk a locator.
template <class T>
class CollectionDriver {
 public:
  virtual ~CollectionDriver() = default;
  virtual CollectionDriver* getClone(void* place, std::size_t size) const = 0;
  virtual Locator<T> getLocator() const = 0;
  virtual Locator<T> getReverseLocator() const;
  virtual Locator<T> getRandomLocator() const;
  virtual unsigned long getCount() const {
    unsigned long count = 0;
    for (auto locator = getLocator(); locator.isValid(); locator.progress()) ++count;
    return count;
  }
  virtual T getFirst() const { return getLocator().getCurrent(); }
  virtual T getLast() const { return getReverseLocator().getCurrent(); }
  virtual T getAt(unsigned long n) const {
    auto locator = getLocator();
    while (n-- > 0 && locator.isValid()) locator.progress();
    return locator.getCurrent();
  }
  virtual std::string _getLabel() const { return "Collection"; }
  virtual bool isEmpty() const { return !getLocator().isValid(); }
  virtual bool hasCount(unsigned long n) const {
    if (n == 0) return isEmpty();
    auto locator = getLocator();
    for (unsigned long i = 0; i < n; ++i) {
      if (!locator.isValid()) return false;
      locator.progress();
    }
    return !locator.isValid();
  }
};

// A locator over an owned vector of elements (reverse and random walks).
template <class T>
class OwnedVectorLocator : public Cloneable<OwnedVectorLocator<T>, LocatorDriver<T>> {
 public:
  explicit OwnedVectorLocator(std::vector<T> elements) : _elements(std::move(elements)) {}
  T getCurrent() const override { return _elements[_index]; }
  bool isValid() const override { return _index < _elements.size(); }
  void progress() override { ++_index; }

 private:
  std::vector<T> _elements;
  std::size_t _index = 0;
};

template <class T>
Locator<T> CollectionDriver<T>::getReverseLocator() const {
  std::vector<T> elements;
  for (auto locator = getLocator(); locator.isValid(); locator.progress())
    elements.push_back(locator.getCurrent());
  std::reverse(elements.begin(), elements.end());
  return Locator<T>::template make<OwnedVectorLocator<T>>(std::move(elements));
}

template <class T>
Locator<T> CollectionDriver<T>::getRandomLocator() const {
  std::vector<T> elements;
  for (auto locator = getLocator(); locator.isValid(); locator.progress())
    elements.push_back(locator.getCurrent());
  for (std::size_t i = elements.size(); i > 1; --i)
    std::swap(elements[i - 1], elements[getRandomValue() % i]);
  return Locator<T>::template make<OwnedVectorLocator<T>>(std::move(elements));
}

// A light view of elements. It never copies what it views; copying a
// collection copies the view. Range-for follows the for-each walk: the
// locator has already moved on when the body runs, so the body may destroy
// the element it was given.
template <class T>
class Collection : public Stuff {
 public:
  using value_type = T;

  Collection() = default;
  template <class Driver, class... Arguments>
  static Collection make(Arguments&&... arguments) {
    Collection collection;
    collection._driver.template emplace<Driver>(std::forward<Arguments>(arguments)...);
    return collection;
  }

  Locator<T> getLocator() const {
    return _driver.get() ? _driver.get()->getLocator() : Locator<T>();
  }
  Locator<T> getReverseLocator() const {
    return _driver.get() ? _driver.get()->getReverseLocator() : Locator<T>();
  }
  Locator<T> getRandomLocator() const {
    return _driver.get() ? _driver.get()->getRandomLocator() : Locator<T>();
  }
  unsigned long getCount() const { return _driver.get() ? _driver.get()->getCount() : 0; }
  T getFirst() const { return _driver.get() ? _driver.get()->getFirst() : T{}; }
  T getLast() const { return _driver.get() ? _driver.get()->getLast() : T{}; }
  T getAt(unsigned long n) const { return _driver.get() ? _driver.get()->getAt(n) : T{}; }
  bool isEmpty() const { return !_driver.get() || _driver.get()->isEmpty(); }
  bool hasCount(unsigned long n) const {
    return _driver.get() ? _driver.get()->hasCount(n) : n == 0;
  }
  bool isInline() const { return !_driver.get() || _driver.isInline(); }

  std::string _getLabel() const override { return getCountLabel(getCount()); }
  bool _hasRecord() const override { return true; }
  Record* _getRecord() const override {
    auto* record = new Record(_getLabel());
    unsigned long index = 0;
    for (auto locator = getLocator(); locator.isValid(); locator.progress())
      record->add(std::to_string(index++), locator.getCurrent());
    return record;
  }

  class iterator {
   public:
    using iterator_category = std::input_iterator_tag;
    using value_type = T;
    using difference_type = std::ptrdiff_t;
    using pointer = const T*;
    using reference = const T&;

    iterator() = default;
    explicit iterator(Locator<T> locator) : _locator(std::move(locator)) { step(); }
    const T& operator*() const { return _current; }
    iterator& operator++() {
      step();
      return *this;
    }
    void operator++(int) { step(); }
    bool operator==(const iterator& other) const { return _done == other._done; }

   private:
    // Reads the current element and moves the locator past it.
    void step() {
      if (!_locator.isValid()) {
        _done = true;
        return;
      }
      _current = _locator.getCurrent();
      _locator.progress();
    }

    Locator<T> _locator;
    T _current{};
    bool _done = false;
  };

  iterator begin() const { return iterator(getLocator()); }
  iterator end() const {
    iterator done;
    ++done;
    return done;
  }

 protected:
  const CollectionDriver<T>* getDriver() const { return _driver.get(); }

 private:
  Holder<CollectionDriver<T>, kCollectionSize> _driver;
};

// ---- Views of standard containers ----------------------------------------

template <class Iterator, class T, class Read>
class IteratorLocator : public Cloneable<IteratorLocator<Iterator, T, Read>, LocatorDriver<T>> {
 public:
  IteratorLocator(Iterator current, Iterator end) : _current(current), _end(end) {}
  T getCurrent() const override { return Read()(*_current); }
  bool isValid() const override { return _current != _end; }
  void progress() override { ++_current; }

 private:
  Iterator _current;
  Iterator _end;
};

struct ReadElement {
  template <class E>
  const E& operator()(const E& element) const {
    return element;
  }
};
struct ReadKey {
  template <class P>
  const auto& operator()(const P& pair) const {
    return pair.first;
  }
};
struct ReadValue {
  template <class P>
  const auto& operator()(const P& pair) const {
    return pair.second;
  }
};

// A view of a standard container (set, list, vector or map) read with Read.
template <class Container, class T, class Read>
class ContainerDriver : public Cloneable<ContainerDriver<Container, T, Read>, CollectionDriver<T>> {
 public:
  explicit ContainerDriver(const Container& container) : _container(&container) {}
  Locator<T> getLocator() const override {
    using L = IteratorLocator<typename Container::const_iterator, T, Read>;
    return Locator<T>::template make<L>(_container->begin(), _container->end());
  }
  Locator<T> getReverseLocator() const override {
    using L = IteratorLocator<typename Container::const_reverse_iterator, T, Read>;
    return Locator<T>::template make<L>(_container->rbegin(), _container->rend());
  }
  unsigned long getCount() const override { return _container->size(); }
  bool isEmpty() const override { return _container->empty(); }
  bool hasCount(unsigned long n) const override { return _container->size() == n; }

 private:
  const Container* _container;
};

template <class T, class Compare = std::less<T>>
class SetCollection : public Collection<T> {
 public:
  explicit SetCollection(const std::set<T, Compare>& set)
      : Collection<T>(
            Collection<T>::template make<ContainerDriver<std::set<T, Compare>, T, ReadElement>>(
                set)) {}
};

template <class T>
class ListCollection : public Collection<T> {
 public:
  explicit ListCollection(const std::list<T>& list)
      : Collection<T>(
            Collection<T>::template make<ContainerDriver<std::list<T>, T, ReadElement>>(list)) {}
};

template <class T>
class VectorCollection : public Collection<T> {
 public:
  explicit VectorCollection(const std::vector<T>& vector)
      : Collection<T>(
            Collection<T>::template make<ContainerDriver<std::vector<T>, T, ReadElement>>(vector)) {
  }
};

// The values of a map, in key order.
template <class K, class V, class Compare = std::less<K>>
class MapCollection : public Collection<V> {
 public:
  explicit MapCollection(const std::map<K, V, Compare>& map)
      : Collection<V>(
            Collection<V>::template make<ContainerDriver<std::map<K, V, Compare>, V, ReadValue>>(
                map)) {}
};

// The keys of a map, in key order.
template <class K, class V, class Compare = std::less<K>>
class KeyCollection : public Collection<K> {
 public:
  explicit KeyCollection(const std::map<K, V, Compare>& map)
      : Collection<K>(
            Collection<K>::template make<ContainerDriver<std::map<K, V, Compare>, K, ReadKey>>(
                map)) {}
};

// ---- Exactly one element -------------------------------------------------

template <class T>
class Collect1Locator : public Cloneable<Collect1Locator<T>, LocatorDriver<T>> {
 public:
  explicit Collect1Locator(T element) : _element(element) {}
  T getCurrent() const override { return _element; }
  bool isValid() const override { return _valid; }
  void progress() override { _valid = false; }

 private:
  T _element;
  bool _valid = true;
};

template <class T>
class Collect1Driver : public Cloneable<Collect1Driver<T>, CollectionDriver<T>> {
 public:
  explicit Collect1Driver(T element) : _element(element) {}
  Locator<T> getLocator() const override {
    return Locator<T>::template make<Collect1Locator<T>>(_element);
  }
  Locator<T> getReverseLocator() const override { return getLocator(); }
  unsigned long getCount() const override { return 1; }
  bool isEmpty() const override { return false; }

 private:
  T _element;
};

template <class T>
class Collect1Collection : public Collection<T> {
 public:
  explicit Collect1Collection(T element)
      : Collection<T>(Collection<T>::template make<Collect1Driver<T>>(element)) {}
};

// ---- One collection, then another ---------------------------------------

template <class T>
class AppendLocator : public Cloneable<AppendLocator<T>, LocatorDriver<T>> {
 public:
  AppendLocator(Locator<T> first, Locator<T> second)
      : _first(std::move(first)), _second(std::move(second)) {}
  T getCurrent() const override {
    return _first.isValid() ? _first.getCurrent() : _second.getCurrent();
  }
  bool isValid() const override { return _first.isValid() || _second.isValid(); }
  void progress() override {
    if (_first.isValid())
      _first.progress();
    else
      _second.progress();
  }

 private:
  Locator<T> _first;
  Locator<T> _second;
};

template <class T>
class AppendDriver : public Cloneable<AppendDriver<T>, CollectionDriver<T>> {
 public:
  AppendDriver(Collection<T> first, Collection<T> second)
      : _first(std::move(first)), _second(std::move(second)) {}
  Locator<T> getLocator() const override {
    return Locator<T>::template make<AppendLocator<T>>(_first.getLocator(), _second.getLocator());
  }
  Locator<T> getReverseLocator() const override {
    return Locator<T>::template make<AppendLocator<T>>(_second.getReverseLocator(),
                                                       _first.getReverseLocator());
  }
  unsigned long getCount() const override { return _first.getCount() + _second.getCount(); }
  bool isEmpty() const override { return _first.isEmpty() && _second.isEmpty(); }

 private:
  Collection<T> _first;
  Collection<T> _second;
};

template <class T>
class AppendCollection : public Collection<T> {
 public:
  AppendCollection(const Collection<T>& first, const Collection<T>& second)
      : Collection<T>(Collection<T>::template make<AppendDriver<T>>(first, second)) {}
};

// ---- Filtering kinds: they skip rejected elements on creation and after
// ---- every step, so a valid locator stands on an accepted element.

template <class T, class Accept>
class FilterLocator : public Cloneable<FilterLocator<T, Accept>, LocatorDriver<T>> {
 public:
  FilterLocator(Locator<T> inner, Accept accept)
      : _inner(std::move(inner)), _accept(std::move(accept)) {
    skip();
  }
  T getCurrent() const override { return _inner.getCurrent(); }
  bool isValid() const override { return _inner.isValid(); }
  void progress() override {
    _inner.progress();
    skip();
  }

 private:
  void skip() {
    while (_inner.isValid() && !_accept(_inner.getCurrent())) _inner.progress();
  }
  Locator<T> _inner;
  Accept _accept;
};

template <class T, class Accept>
class FilterDriver : public Cloneable<FilterDriver<T, Accept>, CollectionDriver<T>> {
 public:
  FilterDriver(Collection<T> inner, Accept accept)
      : _inner(std::move(inner)), _accept(std::move(accept)) {}
  Locator<T> getLocator() const override {
    return Locator<T>::template make<FilterLocator<T, Accept>>(_inner.getLocator(), _accept);
  }
  Locator<T> getReverseLocator() const override {
    return Locator<T>::template make<FilterLocator<T, Accept>>(_inner.getReverseLocator(), _accept);
  }

 private:
  Collection<T> _inner;
  Accept _accept;
};

// Accepts an element for an argument of type A.
template <class T, class A>
class Predicate {
 public:
  virtual ~Predicate() = default;
  virtual bool isAccepted(T element, const A& argument) const = 0;
};

// Calls a member function of the element returning bool and compares it
// with the argument.
template <class C, class A = bool>
class MemberPredicate : public Predicate<C*, A> {
 public:
  using Function = bool (C::*)() const;
  explicit MemberPredicate(Function function) : _function(function) {}
  bool isAccepted(C* element, const A& argument) const override {
    return (element->*_function)() == argument;
  }

 private:
  Function _function;
};

// Calls a member function of the element that takes the argument.
template <class C, class A>
class MemberDatumPredicate : public Predicate<C*, A> {
 public:
  using Function = bool (C::*)(const A&) const;
  explicit MemberDatumPredicate(Function function) : _function(function) {}
  bool isAccepted(C* element, const A& argument) const override {
    return (element->*_function)(argument);
  }

 private:
  Function _function;
};

template <class T, class A>
class NotPredicate : public Predicate<T, A> {
 public:
  explicit NotPredicate(const Predicate<T, A>& predicate) : _predicate(&predicate) {}
  bool isAccepted(T element, const A& argument) const override {
    return !_predicate->isAccepted(element, argument);
  }

 private:
  const Predicate<T, A>* _predicate;
};

template <class T, class A>
struct PredicateAccept {
  const Predicate<T, A>* predicate;
  A argument;
  bool operator()(const T& element) const { return predicate->isAccepted(element, argument); }
};

// The elements of a collection accepted by a predicate (which must outlive
// the view) with its argument.
template <class T, class A>
class SubsetCollection : public Collection<T> {
 public:
  SubsetCollection(const Collection<T>& collection, const Predicate<T, A>& predicate,
                   const A& argument)
      : Collection<T>(Collection<T>::template make<FilterDriver<T, PredicateAccept<T, A>>>(
            collection, PredicateAccept<T, A>{&predicate, argument})) {}
};

template <class T>
struct NotAccept {
  T excluded;
  bool operator()(const T& element) const { return !(element == excluded); }
};

// The elements of a collection other than one given element.
template <class T>
class NotCollection : public Collection<T> {
 public:
  NotCollection(const Collection<T>& collection, const T& excluded)
      : Collection<T>(Collection<T>::template make<FilterDriver<T, NotAccept<T>>>(
            collection, NotAccept<T>{excluded})) {}
};

// ---- From a given element to the end ------------------------------------

template <class T>
class FromDriver : public Cloneable<FromDriver<T>, CollectionDriver<T>> {
 public:
  FromDriver(Collection<T> inner, T from) : _inner(std::move(inner)), _from(from) {}
  Locator<T> getLocator() const override {
    auto locator = _inner.getLocator();
    while (locator.isValid() && !(locator.getCurrent() == _from)) locator.progress();
    return locator;
  }

 private:
  Collection<T> _inner;
  T _from;
};

template <class T>
class FromCollection : public Collection<T> {
 public:
  FromCollection(const Collection<T>& collection, const T& from)
      : Collection<T>(Collection<T>::template make<FromDriver<T>>(collection, from)) {}
};

// ---- Narrowing base pointers to a derived class -------------------------

template <class D, class B>
class TypeLocator : public Cloneable<TypeLocator<D, B>, LocatorDriver<D*>> {
 public:
  explicit TypeLocator(Locator<B*> inner) : _inner(std::move(inner)) { skip(); }
  D* getCurrent() const override { return dynamic_cast<D*>(_inner.getCurrent()); }
  bool isValid() const override { return _inner.isValid(); }
  void progress() override {
    _inner.progress();
    skip();
  }

 private:
  void skip() {
    while (_inner.isValid() && !dynamic_cast<D*>(_inner.getCurrent())) _inner.progress();
  }
  Locator<B*> _inner;
};

template <class D, class B>
class TypeDriver : public Cloneable<TypeDriver<D, B>, CollectionDriver<D*>> {
 public:
  explicit TypeDriver(Collection<B*> inner) : _inner(std::move(inner)) {}
  Locator<D*> getLocator() const override {
    return Locator<D*>::template make<TypeLocator<D, B>>(_inner.getLocator());
  }
  Locator<D*> getReverseLocator() const override {
    return Locator<D*>::template make<TypeLocator<D, B>>(_inner.getReverseLocator());
  }

 private:
  Collection<B*> _inner;
};

// The elements of a collection of B pointers whose dynamic type is D.
template <class D, class B>
class TypeCollection : public Collection<D*> {
 public:
  explicit TypeCollection(const Collection<B*>& collection)
      : Collection<D*>(Collection<D*>::template make<TypeDriver<D, B>>(collection)) {}
};

// ---- Collections of collections -----------------------------------------

// Walks, for each element of an outer collection, the inner collection that
// `open` gives for it.
template <class O, class T, class Open>
class NestLocator : public Cloneable<NestLocator<O, T, Open>, LocatorDriver<T>> {
 public:
  NestLocator(Locator<O> outer, Open open) : _outer(std::move(outer)), _open(std::move(open)) {
    settle();
  }
  T getCurrent() const override { return _inner.getCurrent(); }
  bool isValid() const override { return _inner.isValid(); }
  void progress() override {
    _inner.progress();
    settle();
  }

 private:
  void settle() {
    while (!_inner.isValid() && _outer.isValid()) {
      _inner = _open(_outer.getCurrent()).getLocator();
      _outer.progress();
    }
  }
  Locator<O> _outer;
  Locator<T> _inner;
  Open _open;
};

template <class O, class T, class Open>
class NestDriver : public Cloneable<NestDriver<O, T, Open>, CollectionDriver<T>> {
 public:
  NestDriver(Collection<O> outer, Open open) : _outer(std::move(outer)), _open(std::move(open)) {}
  Locator<T> getLocator() const override {
    return Locator<T>::template make<NestLocator<O, T, Open>>(_outer.getLocator(), _open);
  }

 private:
  Collection<O> _outer;
  Open _open;
};

// Maps an element to a collection.
template <class T, class U>
class Accessor {
 public:
  virtual ~Accessor() = default;
  virtual Collection<U> getCollection(T element) const = 0;
};

// Calls a member function of the element that returns a collection (or a
// class derived from one, such as an edge collection).
template <class C, class U, class R = Collection<U>>
class MemberAccessor : public Accessor<C*, U> {
 public:
  using Function = R (C::*)() const;
  explicit MemberAccessor(Function function) : _function(function) {}
  Collection<U> getCollection(C* element) const override { return (element->*_function)(); }

 private:
  Function _function;
};

template <class T, class U>
struct AccessorOpen {
  const Accessor<T, U>* accessor;
  Collection<U> operator()(const T& element) const { return accessor->getCollection(element); }
};

// For each element, the collection its accessor (which must outlive the
// view) returns, one after another.
template <class T, class U>
class AssociatesCollection : public Collection<U> {
 public:
  AssociatesCollection(const Collection<T>& collection, const Accessor<T, U>& accessor)
      : Collection<U>(Collection<U>::template make<NestDriver<T, U, AccessorOpen<T, U>>>(
            collection, AccessorOpen<T, U>{&accessor})) {}
};

template <class T>
struct IdentityOpen {
  Collection<T> operator()(const Collection<T>& inner) const { return inner; }
};

// The elements of each collection of a collection of collections.
template <class T>
class FlattenCollection : public Collection<T> {
 public:
  explicit FlattenCollection(const Collection<Collection<T>>& collections)
      : Collection<T>(Collection<T>::template make<NestDriver<Collection<T>, T, IdentityOpen<T>>>(
            collections, IdentityOpen<T>{})) {}
};

}  // namespace Orvek
