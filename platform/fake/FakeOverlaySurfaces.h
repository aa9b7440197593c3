#pragma once

#include "platform/OverlaySurfaces.h"

#include <memory>
#include <vector>

namespace mirl {

/// Screens the test sets and surfaces that record their opacities. Shared state lets a test
/// look at surfaces the controller owns.
class FakeOverlaySurfaces final : public OverlaySurfaces {
public:
    struct SurfaceState {
        Frame frame;
        float orange = 0, dark = 0;
        bool hidden = false;
    };

    std::vector<Frame> screens() override { return screenFrames; }
    bool translucencyAvailable() override { return translucency; }
    std::unique_ptr<OverlaySurface> create(std::size_t, const Frame& frame) override {
        auto state = std::make_shared<SurfaceState>();
        state->frame = frame;
        created.push_back(state);
        return std::make_unique<Surface>(state);
    }
    int windowLevel() const override { return 1; }
    Handle onScreensChanged(std::function<void()> changed) override {
        screensChanged = std::move(changed);
        return Handle([this] { screensChanged = nullptr; });
    }

    /// Surfaces created and not hidden.
    std::vector<std::shared_ptr<SurfaceState>> shown() const {
        std::vector<std::shared_ptr<SurfaceState>> out;
        for (const auto& s : created)
            if (!s->hidden)
                out.push_back(s);
        return out;
    }

    std::vector<Frame> screenFrames{{0, 0, 1920, 1080}};
    bool translucency = true;
    std::vector<std::shared_ptr<SurfaceState>> created;
    std::function<void()> screensChanged;

private:
    class Surface final : public OverlaySurface {
    public:
        explicit Surface(std::shared_ptr<SurfaceState> state) : state_(std::move(state)) {}
        Frame frame() const override { return state_->frame; }
        void setOpacities(float orange, float dark) override {
            state_->orange = orange;
            state_->dark = dark;
        }
        void hide() override { state_->hidden = true; }

    private:
        std::shared_ptr<SurfaceState> state_;
    };
};

} // namespace mirl
