// A process-wide object that is never destroyed, so that code running from
// a library destructor or after exit() started can still use it.
#pragma once

#include <new>
#include <utility>

namespace tallowmere::provider {

template <typename T>
class NoDestructor {
 public:
  template <typename... Args>
  explicit NoDestructor(Args&&... args) {
    ::new (static_cast<void*>(storage_)) T(std::forward<Args>(args)...);
  }
  T& get() { return *std::launder(reinterpret_cast<T*>(storage_)); }

 private:
  alignas(T) unsigned char storage_[sizeof(T)];
};

}  // namespace tallowmere::provider
