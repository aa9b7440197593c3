#pragma once

#include <memory>
#include <utility>

namespace mirl {

/// Lets a callback that may run after its owner is gone do nothing instead. The owner keeps a
/// Lifetime member (declared last, so it dies first) and wraps its asynchronous callbacks with
/// guard(). The guarded call must run on the thread that destroys the owner (the main thread).
class Lifetime {
public:
    Lifetime() = default;
    Lifetime(const Lifetime&) = delete;
    Lifetime& operator=(const Lifetime&) = delete;

    template <typename F> auto guard(F f) const {
        return [weak = std::weak_ptr<const int>(token_), f = std::move(f)](auto&&... args) mutable {
            if (weak.lock())
                f(std::forward<decltype(args)>(args)...);
        };
    }

private:
    std::shared_ptr<const int> token_ = std::make_shared<const int>(0);
};

} // namespace mirl
