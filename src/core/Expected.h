#pragma once

#include <utility>
#include <variant>

namespace vmk::core {

// A value or the typed reason there is none, for operations whose failures carry user-facing texts.
template <typename T, typename E>
class Expected {
public:
    Expected(T value) : m_state(std::in_place_index<0>, std::move(value)) {}
    Expected(E error) : m_state(std::in_place_index<1>, std::move(error)) {}

    bool ok() const { return m_state.index() == 0; }
    explicit operator bool() const { return ok(); }
    const T& value() const { return std::get<0>(m_state); }
    T& value() { return std::get<0>(m_state); }
    const E& error() const { return std::get<1>(m_state); }
    const T& operator*() const { return value(); }
    T& operator*() { return value(); }
    const T* operator->() const { return &value(); }
    T* operator->() { return &value(); }

private:
    std::variant<T, E> m_state;
};

} // namespace vmk::core
