#include <Morva/detail/ObjectPool.h>

#include <new>

#if defined(__SANITIZE_ADDRESS__)
#define MORVA_PLAIN_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define MORVA_PLAIN_HEAP 1
#endif
#endif

namespace Morva {

namespace {

constexpr std::size_t kBlockAlignment = alignof(std::max_align_t);

}  // namespace

#ifdef MORVA_PLAIN_HEAP
ObjectPool::ObjectPool(std::size_t) : _resource(std::pmr::new_delete_resource()) {}
#else
// Deliberately never deleted (see the class comment).
ObjectPool::ObjectPool(std::size_t size)
    : _resource(new std::pmr::unsynchronized_pool_resource(std::pmr::pool_options{0, size})) {}
#endif

void* ObjectPool::allocate(std::size_t size) {
  return _resource->allocate(size, kBlockAlignment);
}

void ObjectPool::deallocate(void* block, std::size_t size) {
  _resource->deallocate(block, size, kBlockAlignment);
}

}  // namespace Morva
