#pragma once

#include <stdexcept>

namespace kr4720 {

// A failure of the channel or emergency store (no current record, a field
// index out of range, the database refusing a change).
class DataError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace kr4720
