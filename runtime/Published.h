#pragma once

#include "runtime/Handle.h"

#include <concepts>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace mirl {

/// A value that tells subscribers when it changes.
///
/// Thread rule: get() is safe from any thread. set() and subscribe() belong to the owner's
/// thread (the main thread unless the owning class says otherwise); subscribers run on the
/// thread that called set(), after the new value is visible, in subscription order. A
/// subscriber that must act after the operation that caused the change posts its reaction
/// to the scheduler.
template <typename T> class Published {
public:
    using Callback = std::function<void(const T&)>;

    Published() = default;
    explicit Published(T initial) : value_(std::move(initial)) {}
    Published(const Published&) = delete;
    Published& operator=(const Published&) = delete;

    T get() const {
        std::lock_guard lock(mutex_);
        return value_;
    }
    T operator()() const { return get(); }

    /// Stores v; notifies only when it differs from the current value (for types that can
    /// be compared), always otherwise.
    void set(T v) {
        {
            std::lock_guard lock(mutex_);
            if constexpr (std::equality_comparable<T>) {
                if (value_ == v)
                    return;
            }
            value_ = std::move(v);
        }
        notify();
    }

    /// Calls callback after each change until the handle goes.
    [[nodiscard]] Handle subscribe(Callback callback) {
        auto id = subscribers_->next++;
        subscribers_->callbacks.emplace(id, std::move(callback));
        return Handle([weak = std::weak_ptr<Subscribers>(subscribers_), id] {
            if (auto s = weak.lock())
                s->callbacks.erase(id);
        });
    }

private:
    struct Subscribers {
        std::uint64_t next = 0;
        std::map<std::uint64_t, Callback> callbacks;
    };

    void notify() {
        T current = get();
        // Copy the ids first: a subscriber may unsubscribe itself or others.
        std::vector<std::uint64_t> ids;
        for (const auto& [id, cb] : subscribers_->callbacks)
            ids.push_back(id);
        for (auto id : ids) {
            auto it = subscribers_->callbacks.find(id);
            if (it != subscribers_->callbacks.end()) {
                Callback cb = it->second;
                cb(current);
            }
        }
    }

    mutable std::mutex mutex_;
    T value_{};
    std::shared_ptr<Subscribers> subscribers_ = std::make_shared<Subscribers>();
};

} // namespace mirl
