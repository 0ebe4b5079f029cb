#pragma once
// Owning pointers for the C libraries' objects: Owned<T, Free> releases its object with the
// library's own call, e.g. Owned<heif_context, heif_context_free>.

#include <memory>

namespace pictorra::image {

template <auto Free>
struct FreeWith {
    template <typename T>
    void operator()(T* p) const {
        Free(p);
    }
};

template <typename T, auto Free>
using Owned = std::unique_ptr<T, FreeWith<Free>>;

}  // namespace pictorra::image
