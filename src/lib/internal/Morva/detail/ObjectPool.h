#pragma once

#include <cstddef>
#include <memory_resource>

namespace Morva {

// Storage for the objects of one class that a design holds by the million
// (poles, edges): blocks carved from large chunks, without a heap header
// each, laid out in creation order, and reused as objects are destroyed.
// The chunks are never given back, so objects destroyed late at exit stay
// valid to free. Builds with AddressSanitizer use the plain heap, so that
// it can still catch uses of destroyed objects.
class ObjectPool {
 public:
  explicit ObjectPool(std::size_t size);
  ObjectPool(const ObjectPool&) = delete;
  ObjectPool& operator=(const ObjectPool&) = delete;

  void* allocate(std::size_t size);
  void deallocate(void* block, std::size_t size);

 private:
  std::pmr::memory_resource* _resource;
};

}  // namespace Morva
