#pragma once

#include <utility>
#include <variant>

namespace quendle2 {

/// Either a value or the error that prevented it. Portal operations hand failures back as values:
/// nothing in the portal layer throws or stops the program. A result cannot be dropped unread.
template <typename T, typename E>
class [[nodiscard]] Result {
public:
    static Result success(T value) { return Result(std::in_place_index<0>, std::move(value)); }
    static Result failure(E error) { return Result(std::in_place_index<1>, std::move(error)); }

    bool ok() const { return m_state.index() == 0; }
    const T& value() const { return std::get<0>(m_state); }
    /// Moves the value out, e.g. to take ownership of what a successful call produced.
    T takeValue() { return std::move(std::get<0>(m_state)); }
    const E& error() const { return std::get<1>(m_state); }

private:
    template <std::size_t I, typename V>
    Result(std::in_place_index_t<I> index, V&& v)
        : m_state(index, std::forward<V>(v)) {}

    std::variant<T, E> m_state;
};

} // namespace quendle2
