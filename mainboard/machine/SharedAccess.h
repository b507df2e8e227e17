#pragma once
// Atomic access to words of the shared machine state, which several processes map at once.

#include <atomic>

namespace simboard {

template <typename T>
std::atomic_ref<T> atomic(T& value) {
    return std::atomic_ref<T>(value);
}
template <typename T>
std::atomic_ref<T> atomic(const T& value) {
    return std::atomic_ref<T>(const_cast<T&>(value));
}

}  // namespace simboard
