#pragma once

#include <memory>

struct SDL_Renderer;
struct SDL_Surface;
struct SDL_Texture;
struct SDL_Window;

// Single owners for SDL objects, each freed by SDL's own destroy call. The deleters are
// defined out of line to keep SDL's headers (and its main() macro) out of our headers.
namespace sdl {
struct WindowDeleter {
    void operator()(SDL_Window* window) const;
};
struct RendererDeleter {
    void operator()(SDL_Renderer* renderer) const;
};
struct TextureDeleter {
    void operator()(SDL_Texture* texture) const;
};
struct SurfaceDeleter {
    void operator()(SDL_Surface* surface) const;
};

using WindowPtr = std::unique_ptr<SDL_Window, WindowDeleter>;
using RendererPtr = std::unique_ptr<SDL_Renderer, RendererDeleter>;
using TexturePtr = std::unique_ptr<SDL_Texture, TextureDeleter>;
using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceDeleter>;

// Holds SDL's video subsystem for its lifetime. SDL counts these itself, so every holder
// may come and go independently; the subsystem shuts down with the last one.
class VideoSubsystem
{
public:
    VideoSubsystem();
    ~VideoSubsystem();
    VideoSubsystem(const VideoSubsystem&) = delete;
    VideoSubsystem& operator=(const VideoSubsystem&) = delete;
    bool isUp() const { return m_up; }

private:
    bool m_up = false;
};
} // namespace sdl
