#pragma once

#include <cstddef>
#include <new>
#include <utility>

namespace Orvek {

// Holds one polymorphic object of a Base hierarchy inside its own buffer
// when it fits there, on the heap otherwise. Copies clone the object
// through Base::getClone(place, size), which builds the copy in `place`
// when it fits in `size` bytes.
template <class Base, std::size_t Size>
class Holder {
 public:
  // User-provided, so that a const holder (and a const empty collection)
  // needs no initializer for its raw buffer.
  Holder() {}
  Holder(const Holder& other) { copyFrom(other); }
  Holder& operator=(const Holder& other) {
    if (this != &other) {
      reset();
      copyFrom(other);
    }
    return *this;
  }
  ~Holder() { reset(); }

  template <class Derived, class... Arguments>
  void emplace(Arguments&&... arguments) {
    reset();
    if constexpr (fits<Derived>())
      _object = new (_buffer) Derived(std::forward<Arguments>(arguments)...);
    else
      _object = new Derived(std::forward<Arguments>(arguments)...);
    _inline = fits<Derived>();
  }

  // Where the object lives is kept as a flag rather than found by comparing
  // addresses, so that the compiler sees which way an emplaced object goes.
  void reset() {
    if (!_object) return;
    if (_inline)
      _object->~Base();
    else
      delete _object;
    _object = nullptr;
    _inline = false;
  }

  Base* get() const { return _object; }
  bool isInline() const { return _object && _inline; }

  template <class Derived>
  static constexpr bool fits() {
    return sizeof(Derived) <= Size && alignof(Derived) <= alignof(std::max_align_t);
  }

 private:
  void copyFrom(const Holder& other) {
    if (!other._object) return;
    _object = other._object->getClone(_buffer, Size);
    _inline = static_cast<const void*>(_object) == _buffer;
  }

  alignas(std::max_align_t) unsigned char _buffer[Size];
  Base* _object = nullptr;
  bool _inline = false;
};

// Implements getClone for a concrete class D of the hierarchy Base.
template <class D, class Base>
class Cloneable : public Base {
 public:
  using Base::Base;
  Base* getClone(void* place, std::size_t size) const override {
    const auto& self = static_cast<const D&>(*this);
    if (sizeof(D) <= size && alignof(D) <= alignof(std::max_align_t)) return new (place) D(self);
    return new D(self);
  }
};

}  // namespace Orvek
