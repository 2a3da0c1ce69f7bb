// Tables of texts indexed by an enum: a row per enumerator, in its order,
// each naming the enumerator it is for, so that the order can be checked
// when the program is built.
#ifndef VELMORA_RUNNER_JOB_ENUM_TABLE_H
#define VELMORA_RUNNER_JOB_ENUM_TABLE_H

#include <cstddef>

// True when row i of `rows` is the row of the enumerator of value i, as
// its member `key` names it.
template <typename Row, typename Enum, std::size_t Count>
constexpr bool RowsInEnumOrder(const Row (&rows)[Count], Enum Row::*key) {
    for (std::size_t i = 0; i < Count; ++i) {
        if (static_cast<std::size_t>(rows[i].*key) != i) {
            return false;
        }
    }
    return true;
}

#endif
